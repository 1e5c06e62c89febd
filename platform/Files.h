#pragma once

#include <optional>
#include <string>

namespace voldrane::platform {

// Whole files named by UTF-8 paths, for the command-line tool's import and export. Failures
// give the OS's reason as text in `error`.

// The whole of a file; nullopt when it cannot be read (also when it is a folder).
std::optional<std::string> ReadWholeFile(const std::string& path, std::string* error);

// Replaces the file's contents with `bytes`; false when it cannot be written.
bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string* error);

// True for a regular file the user may run (on Windows: any regular file).
bool IsRunnableFile(const std::string& path);

}  // namespace voldrane::platform
