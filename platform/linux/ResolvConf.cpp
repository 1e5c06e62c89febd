#include "platform/linux/ResolvConf.h"

#include "platform/linux/Ipv4Text.h"

namespace voldrane::platform::linux_os {

std::vector<std::string> ParseResolvConfNameservers(std::string_view text) {
    std::vector<std::string> servers;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        // Like the resolver: the keyword starts the line, words are separated by blanks, and
        // '#' or ';' start a comment.
        constexpr std::string_view kKeyword = "nameserver";
        if (line.substr(0, kKeyword.size()) != kKeyword) continue;
        line.remove_prefix(kKeyword.size());
        if (line.empty() || (line[0] != ' ' && line[0] != '\t')) continue;
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string_view::npos) continue;
        line.remove_prefix(start);
        const size_t stop = line.find_first_of(" \t\r#;");
        if (auto a = CanonicalIPv4(line.substr(0, stop))) servers.push_back(*a);
    }
    return servers;
}

bool OnlyResolvedStub(const std::vector<std::string>& servers) {
    if (servers.empty()) return false;
    for (const auto& s : servers)
        if (s != "127.0.0.53" && s != "127.0.0.54") return false;
    return true;
}

bool OnlyLoopback(const std::vector<std::string>& servers) {
    if (servers.empty()) return false;
    for (const auto& s : servers)
        if (s.compare(0, 4, "127.") != 0) return false;
    return true;
}

}  // namespace voldrane::platform::linux_os
