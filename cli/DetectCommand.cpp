#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/CliCommon.h"
#include "network/Detection.h"
#include "platform/Platform.h"

namespace voldrane::cli {

int RunDetect(const Command& self, const std::vector<std::string>& args, std::ostream& out,
              std::ostream& err) {
    const auto parsed = ParseArgs(self.name, args, {{"json", false}}, err);
    if (!parsed) return UsageError(self, err, "");
    if (!parsed->positionals.empty()) return UsageError(self, err, "unexpected argument");

    const auto source = platform::CreateNetworkSource();
    const CNetworkSettings current = DetectNetworkSettings(*source);
    if (parsed->Has("json")) {
        nlohmann::ordered_json j;
        for (int i = 0; i < 7; ++i) j[kNetworkValueNames[i]] = NetworkField(current, i);
        out << j.dump(2) << '\n';
    } else {
        for (int i = 0; i < 7; ++i)
            out << kNetworkValueNames[i] << ": " << NetworkField(current, i) << '\n';
    }
    return kExitOk;
}

}  // namespace voldrane::cli
