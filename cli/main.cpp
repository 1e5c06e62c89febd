// voldranectl: the office switcher's command-line tool. It works on the same settings store
// and printers as the tray program, for scripts, tests and machines without a desktop.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliCommon.h"
#include "platform/Console.h"

using namespace voldrane::cli;

namespace {

const Command kCommands[] = {
    {"detect", "detect [--json]", RunDetect},
    {"list", "list [--json]", RunList},
    {"add",
     "add --name NAME [--printer P] [--current] [--ip A] [--mask M] [--gateway G] [--dhcp D] "
     "[--dns1 A] [--dns2 A] [--wins A]",
     RunAdd},
    {"edit",
     "edit KEY [--name NAME] [--printer P] [--current] [--ip A] [--mask M] [--gateway G] "
     "[--dhcp D] [--dns1 A] [--dns2 A] [--wins A]",
     RunEdit},
    {"remove", "remove KEY", RunRemove},
    {"set",
     "set auto-detect on|off  |  set follow-network on|off  |  set notify on|off  |  "
     "set autostart on|off  |  set default-office KEY|--clear",
     RunSet},
    {"match", "match [--explain]", RunMatch},
    {"export", "export [FILE]", RunExport},
    {"import", "import FILE", RunImport},
    {"printers", "printers [--json]", RunPrinters},
    {"apply", "apply OFFICE", RunApply},
    {"auto", "auto", RunAuto},
    {"watch", "watch", RunWatch},
};

// For the programs of this package only, hence not in the usage text.
const Command kInternalCommands[] = {
    {"spooler", "spooler list|default|set-default NAME", RunSpooler},
};

void PrintUsage(std::ostream& os) {
    os << "usage: voldranectl COMMAND [ARGS]\n\ncommands:\n";
    for (const auto& c : kCommands) os << "  voldranectl " << c.synopsis << '\n';
    os << "\n  voldranectl --help | --version\n";
    os << "\nsettings: " << voldrane::platform::SettingsLocation() << '\n';
}

// A write to standard output that failed (a full disk, a closed file) fails the command
// whatever it did: a script must not take a cut-off listing for a whole one. A command that
// failed already (exit 3) has said why.
int CheckStandardOutput(int code) {
    errno = 0;
    std::cout.flush();
    const bool failed = !std::cout || std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
    if (!failed || code == kExitFailure) return code;
    const int err = errno;
    std::cerr << "voldranectl: cannot write to standard output";
    if (err != 0) std::cerr << ": " << std::strerror(err);
    std::cerr << '\n';
    return kExitFailure;
}

int Run(const std::vector<std::string>& args) {
    if (args.empty()) {
        PrintUsage(std::cerr);
        return kExitUsage;
    }
    const std::string& name = args[0];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(std::cout);
        return kExitOk;
    }
    if (name == "--version") {
        std::cout << "voldranectl " << VOLDRANE_VERSION << '\n';
        return kExitOk;
    }
    for (const auto& c : kInternalCommands)
        if (name == c.name) return c.run(c, {args.begin() + 1, args.end()}, std::cout, std::cerr);
    for (const auto& c : kCommands) {
        if (name != c.name) continue;
        try {
            return c.run(c, {args.begin() + 1, args.end()}, std::cout, std::cerr);
        } catch (const HelpRequested&) {
            std::cout << "usage: voldranectl " << c.synopsis << '\n';
            return kExitOk;
        }
    }
    std::cerr << "voldranectl: unknown command '" << name << "'\n";
    PrintUsage(std::cerr);
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    voldrane::platform::UseUtf8Console();
    const int code = CheckStandardOutput(Run(voldrane::platform::ProgramArguments(argc, argv)));
    return voldrane::platform::FinishProcess(code);
}
