#include "cli/CliCommon.h"

#include <getopt.h>

#include <ostream>

namespace voldrane::cli {

std::optional<ParsedArgs> ParseArgs(const std::string& command,
                                    const std::vector<std::string>& args,
                                    const std::vector<OptionSpec>& specs, std::ostream& err) {
    std::vector<option> longopts;
    for (size_t i = 0; i < specs.size(); ++i)
        longopts.push_back({specs[i].name, specs[i].hasValue ? required_argument : no_argument,
                            nullptr, static_cast<int>(1000 + i)});
    longopts.push_back({"help", no_argument, nullptr, 'h'});
    longopts.push_back({nullptr, 0, nullptr, 0});

    std::vector<std::string> storage;
    storage.reserve(args.size() + 1);
    storage.push_back(command);
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);

    ParsedArgs parsed;
    optind = 0;  // glibc: start a fresh scan
    opterr = 0;
    const int argc = static_cast<int>(storage.size());
    while (true) {
        // "+" stops at the first positional only when asked; "-" keeps order; neither here.
        const int c = getopt_long(argc, argv.data(), ":h", longopts.data(), nullptr);
        if (c == -1) break;
        if (c == 'h') throw HelpRequested{};
        if (c == '?' || c == ':') {
            const std::string arg = optind - 1 < argc ? argv[static_cast<size_t>(optind - 1)] : "";
            err << command << ": " << (c == ':' ? "option needs a value: " : "unknown option: ")
                << arg << '\n';
            return std::nullopt;
        }
        const auto& option = specs[static_cast<size_t>(c - 1000)];
        parsed.options[option.name] = option.hasValue && optarg ? optarg : "";
    }
    // getopt_long moves the positionals behind the options in argv (not in storage).
    for (int i = optind; i < argc; ++i) parsed.positionals.push_back(argv[static_cast<size_t>(i)]);
    return parsed;
}

int UsageError(const Command& command, std::ostream& err, const std::string& message) {
    if (!message.empty()) err << "voldranectl " << command.name << ": " << message << '\n';
    err << "usage: voldranectl " << command.synopsis << '\n';
    return kExitUsage;
}

}  // namespace voldrane::cli
