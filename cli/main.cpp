// voldranectl: the office switcher's command-line tool. It works on the same settings store
// and printers as the tray program, for scripts, tests and machines without a desktop.
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliCommon.h"

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
    {"set", "set auto-detect on|off  |  set default-office KEY|--clear  |  set autostart on|off",
     RunSet},
    {"match", "match [--explain]", RunMatch},
    {"export", "export [FILE]", RunExport},
    {"import", "import FILE", RunImport},
    {"printers", "printers [--json]", RunPrinters},
    {"apply", "apply OFFICE", RunApply},
    {"auto", "auto", RunAuto},
};

// For the programs of this package only, hence not in the usage text.
const Command kInternalCommands[] = {
    {"spooler", "spooler list|default|set-default NAME", RunSpooler},
};

void PrintUsage(std::ostream& os) {
    os << "usage: voldranectl COMMAND [ARGS]\n\ncommands:\n";
    for (const auto& c : kCommands) os << "  voldranectl " << c.synopsis << '\n';
    os << "\n  voldranectl --help | --version\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
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
        if (name == c.name) {
            const std::vector<std::string> rest(args.begin() + 1, args.end());
            for (const auto& a : rest) {
                if (a == "--help" || a == "-h") {
                    std::cout << "usage: voldranectl " << c.synopsis << '\n';
                    return kExitOk;
                }
            }
            return c.run(c, rest, std::cout, std::cerr);
        }
    }
    std::cerr << "voldranectl: unknown command '" << name << "'\n";
    PrintUsage(std::cerr);
    return kExitUsage;
}
