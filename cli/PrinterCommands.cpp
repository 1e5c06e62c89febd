#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/CliCommon.h"
#include "platform/Platform.h"

namespace voldrane::cli {

int RunPrinters(const Command& self, const std::vector<std::string>& args, std::ostream& out,
                std::ostream& err) {
    const auto parsed = ParseArgs(self.name, args, {{"json", false}}, err);
    if (!parsed) return UsageError(self, err, "");
    if (!parsed->positionals.empty()) return UsageError(self, err, "unexpected argument");

    const auto spooler = platform::CreateSpooler();
    std::string error;
    const auto names = spooler->EnumPrinters(&error);
    if (!names) {
        err << "voldranectl " << self.name << ": " << error << '\n';
        return kExitFailure;
    }
    const auto defaultPrinter = spooler->GetDefaultPrinter(&error);
    if (!defaultPrinter && !error.empty()) {
        err << "voldranectl " << self.name << ": " << error << '\n';
        return kExitFailure;
    }

    if (parsed->Has("json")) {
        auto j = nlohmann::ordered_json::array();
        for (const auto& name : *names)
            j.push_back({{"name", name}, {"default", defaultPrinter && name == *defaultPrinter}});
        out << j.dump(2) << '\n';
    } else {
        for (const auto& name : *names)
            out << (defaultPrinter && name == *defaultPrinter ? "* " : "  ") << name << '\n';
    }
    return kExitOk;
}

}  // namespace voldrane::cli
