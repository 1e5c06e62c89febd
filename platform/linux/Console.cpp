#include "platform/Console.h"

#include "platform/linux/RegFileStore.h"

namespace voldrane::platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return {argv + 1, argv + argc};
}

// Linux consoles take the bytes as they are; the program's texts are UTF-8 already.
void UseUtf8Console() {}

// exit() is safe beside a stuck thread: libcups' is abandoned outside any lock exit needs.
int FinishProcess(int code) {
    return code;
}

std::string SettingsLocation() {
    return linux_os::RegFileStore::DefaultPath();
}

}  // namespace voldrane::platform
