#pragma once

#include <string>
#include <vector>

namespace voldrane::platform {

// The program's arguments as UTF-8, whatever the system's code page (Windows passes main()
// its arguments in the ANSI code page; the UTF-16 command line is asked for instead).
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Makes std::cout and std::cerr write UTF-8 text so that a console shows it whatever its code
// page, and files and pipes receive UTF-8. Nothing to do where the console takes UTF-8.
void UseUtf8Console();

// What main() returns with `code`. Where a bounded call was abandoned (platform/Bounded.h) and
// the OS cannot end the process normally while that thread is stuck (Windows: a thread stuck
// while a DLL loads holds the loader lock that ExitProcess needs), the output is flushed and
// the process ends here at once with `code`.
int FinishProcess(int code);

// Where the current user's settings are kept, for the usage text: the .reg file on Linux, the
// registry key on Windows.
std::string SettingsLocation();

}  // namespace voldrane::platform
