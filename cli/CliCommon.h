#pragma once

#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace voldrane::cli {

// Exit statuses shared by every command.
enum ExitCode : int {
    kExitOk = 0,
    kExitNoMatch = 1,
    kExitUsage = 2,
    kExitFailure = 3,  // the store, the print server or the OS could not do what was asked
};

struct OptionSpec {
    const char* name;  // long option without dashes
    bool hasValue;
};

// A subcommand's arguments once parsed: options by name ("" for flags), positionals.
struct ParsedArgs {
    std::map<std::string, std::string> options;
    std::vector<std::string> positionals;
    bool Has(const std::string& name) const { return options.count(name) != 0; }
    std::optional<std::string> Get(const std::string& name) const {
        auto it = options.find(name);
        if (it == options.end()) return std::nullopt;
        return it->second;
    }
};

// Thrown by ParseArgs when the arguments ask for the command's usage (--help or -h where an
// option may stand, not as an option's value nor after "--"). main() prints the usage and
// exits 0: every command parses its arguments before it does anything.
struct HelpRequested {};

// Parses args (the subcommand's own, without its name) as getopt_long did: options and
// positionals in any order, "--" ends the options, --opt=V or --opt V, long options shortened
// while unambiguous. On a wrong option writes a message to err and returns nullopt; --help and
// -h throw HelpRequested.
std::optional<ParsedArgs> ParseArgs(const std::string& command,
                                    const std::vector<std::string>& args,
                                    const std::vector<OptionSpec>& specs, std::ostream& err);

struct Command {
    const char* name;
    const char* synopsis;  // one usage line, without the program name
    int (*run)(const Command& self, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err);
};

// Writes "usage: ..." for one command to err and returns kExitUsage.
int UsageError(const Command& command, std::ostream& err, const std::string& message);

// Commands, one group per file.
int RunDetect(const Command& self, const std::vector<std::string>& args, std::ostream& out,
              std::ostream& err);
// OfficeCommands.cpp: the offices and settings in the store.
int RunList(const Command& self, const std::vector<std::string>& args, std::ostream& out,
            std::ostream& err);
int RunAdd(const Command& self, const std::vector<std::string>& args, std::ostream& out,
           std::ostream& err);
int RunEdit(const Command& self, const std::vector<std::string>& args, std::ostream& out,
            std::ostream& err);
int RunRemove(const Command& self, const std::vector<std::string>& args, std::ostream& out,
              std::ostream& err);
int RunSet(const Command& self, const std::vector<std::string>& args, std::ostream& out,
           std::ostream& err);
int RunMatch(const Command& self, const std::vector<std::string>& args, std::ostream& out,
             std::ostream& err);
int RunExport(const Command& self, const std::vector<std::string>& args, std::ostream& out,
              std::ostream& err);
int RunImport(const Command& self, const std::vector<std::string>& args, std::ostream& out,
              std::ostream& err);
// PrinterCommands.cpp: the printers, and applying offices.
int RunPrinters(const Command& self, const std::vector<std::string>& args, std::ostream& out,
                std::ostream& err);
int RunApply(const Command& self, const std::vector<std::string>& args, std::ostream& out,
             std::ostream& err);
int RunAuto(const Command& self, const std::vector<std::string>& args, std::ostream& out,
            std::ostream& err);
// SpoolerCommand.cpp: the print spooler for the tray program (internal, not in the usage).
int RunWatch(const Command& self, const std::vector<std::string>& args, std::ostream& out,
             std::ostream& err);
int RunSpooler(const Command& self, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err);

}  // namespace voldrane::cli
