#include "cli/CliCommon.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <ostream>

namespace voldrane::cli {

namespace {

// Marks the arguments CLI11 would read otherwise than getopt_long did (see ParseArgs); no
// one types it.
constexpr char kMark[] = "\x1f";

// What a flag's result is when it is given bare; anything else came as "--flag=value", which
// a flag does not take.
constexpr char kFlagSet[] =
    "\x1f"
    "set";

// Thrown by the --help flag as it is parsed, so that what comes before it decides first.
struct HelpSeen {};

// Thrown for an argument that CLI11 takes as a positional but getopt_long took as an unknown
// option ("-5", "---x"): anything else that starts with a dash before "--".
struct OptionLike {
    std::string arg;
};

// "--name" and every prefix of it that names no other option ("--na"): long options may be
// shortened as long as they stay unambiguous, as they always could. A flag's names carry the
// value it gets when given bare.
std::string LongNames(const std::string& name, const std::vector<std::string>& all, bool flag) {
    const std::string suffix = flag ? std::string("{") + kFlagSet + "}" : "";
    std::string names = "--" + name + suffix;
    for (size_t length = name.size() - 1; length > 0; --length) {
        const std::string prefix = name.substr(0, length);
        const bool unique = std::none_of(all.begin(), all.end(), [&](const std::string& other) {
            return other != name && other.compare(0, prefix.size(), prefix) == 0;
        });
        if (!unique) break;
        names += ",--" + prefix + suffix;
    }
    return names;
}

}  // namespace

std::optional<ParsedArgs> ParseArgs(const std::string& command,
                                    const std::vector<std::string>& args,
                                    const std::vector<OptionSpec>& wanted, std::ostream& err) {
    std::vector<std::string> all{"help"};
    for (const auto& want : wanted) all.emplace_back(want.name);

    CLI::App app;
    app.set_help_flag();
    app.allow_extras();  // unknown options are reported below, in getopt's words
    app.add_flag(LongNames("help", all, true) + ",-h{" + kFlagSet + "}")
        ->disable_flag_override()
        ->trigger_on_parse()
        ->each([](const std::string&) { throw HelpSeen{}; });
    std::vector<CLI::Option*> options;
    for (const auto& want : wanted) {
        const std::string names = LongNames(want.name, all, !want.hasValue);
        CLI::Option* option =
            want.hasValue ? app.add_option(names) : app.add_flag(names)->disable_flag_override();
        option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
        options.push_back(option);
    }
    std::vector<std::string> positionals;
    app.validate_positionals();  // checks each positional as it is read, before what follows
    app.add_option("positionals", positionals)
        ->allow_extra_args()
        ->check(CLI::Validator(
            [&app](std::string& arg) {
                const auto remaining = app.remaining();
                const bool afterMark =
                    std::find(remaining.begin(), remaining.end(), "--") != remaining.end();
                if (arg.size() > 1 && arg[0] == '-' && !afterMark) throw OptionLike{arg};
                return std::string();
            },
            ""));

    // CLI11 reads the arguments from the back and leaves unread what follows an error. Two
    // kinds of argument get a mark it does not know, taken off again below: "--name=", which
    // CLI11 takes as no value (and would eat the next argument) where the command means "set it
    // to nothing", and "[a,b]", which it would split into a list.
    std::vector<std::string> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
        const std::string& arg = *it;
        const bool emptyValue =
            arg.size() > 3 && arg.back() == '=' && arg.compare(0, 2, "--") == 0 &&
            std::any_of(wanted.begin(), wanted.end(), [&](const OptionSpec& want) {
                return want.hasValue && arg.compare(2, arg.size() - 3, want.name) == 0;
            });
        if (emptyValue)
            reversed.push_back(arg + kMark);
        else if (!arg.empty() && arg.front() == '[')
            reversed.push_back(kMark + arg);
        else
            reversed.push_back(arg);
    }
    const auto restore = [](std::string value) {
        if (value == kMark ||
            (value.size() > 1 && value.back() == kMark[0] && value[value.size() - 2] == '='))
            value.pop_back();
        else if (value.size() > 1 && value[0] == kMark[0] && value[1] == '[')
            value.erase(0, 1);
        return value;
    };

    const auto fail = [&](const char* what, const std::string& arg) {
        err << command << ": " << what << restore(arg) << '\n';
        return std::nullopt;
    };
    // Unknown options, in order; CLI11 keeps the "--" that ended the options among them.
    const auto unknown = [&app] {
        auto remaining = app.remaining();
        remaining.erase(std::remove(remaining.begin(), remaining.end(), "--"), remaining.end());
        return remaining;
    };
    try {
        app.parse(reversed);
    } catch (const HelpSeen&) {
        if (unknown().empty()) throw HelpRequested{};
    } catch (const OptionLike& optionLike) {
        if (unknown().empty()) return fail("unknown option: ", optionLike.arg);
    } catch (const CLI::ArgumentMismatch&) {
        // A value missing at the end, or a value given to a flag: the last argument read.
        if (unknown().empty()) {
            const std::string& arg = args[args.size() - reversed.size() - 1];
            const bool flag = arg.find('=') != std::string::npos;
            return fail(flag ? "unknown option: " : "option needs a value: ", arg);
        }
    }
    // The first unknown option stopped getopt_long before anything that followed it.
    if (const auto first = unknown(); !first.empty())
        return fail("unknown option: ", first.front());

    ParsedArgs parsed;
    for (size_t i = 0; i < wanted.size(); ++i) {
        if (options[i]->count() == 0) continue;
        parsed.options[wanted[i].name] =
            wanted[i].hasValue ? restore(options[i]->results().back()) : "";
    }
    for (auto& positional : positionals) parsed.positionals.push_back(restore(positional));
    return parsed;
}

int UsageError(const Command& command, std::ostream& err, const std::string& message) {
    if (!message.empty()) err << "voldranectl " << command.name << ": " << message << '\n';
    err << "usage: voldranectl " << command.synopsis << '\n';
    return kExitUsage;
}

}  // namespace voldrane::cli
