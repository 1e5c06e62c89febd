#include "platform/linux/DhcpLeaseParsers.h"

#include "platform/linux/Ipv4Text.h"

namespace voldrane::platform::linux_os {

namespace {

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

// dhclient's lease syntax: words, quoted strings, and the punctuation { } ; , with
// comments from '#' to the end of the line.
struct Token {
    enum Kind { kWord, kString, kPunct } kind;
    std::string text;
};

std::vector<Token> Tokenize(std::string_view s) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
        } else if (c == '#') {
            while (i < s.size() && s[i] != '\n') ++i;
        } else if (c == '{' || c == '}' || c == ';' || c == ',') {
            tokens.push_back({Token::kPunct, std::string(1, c)});
            ++i;
        } else if (c == '"') {
            // dhclient writes newlines in strings as \012, so a string never spans lines:
            // one left open by damage in the file ends with its line, and the leases written
            // after the damage still count.
            std::string text;
            for (++i; i < s.size() && s[i] != '"' && s[i] != '\n'; ++i) {
                if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] != '\n') ++i;
                text += s[i];
            }
            if (i < s.size() && s[i] == '"') ++i;  // the closing quote
            tokens.push_back({Token::kString, std::move(text)});
        } else {
            const size_t start = i;
            while (i < s.size() &&
                   std::string_view(" \t\r\n#{};,\"").find(s[i]) == std::string_view::npos)
                ++i;
            tokens.push_back({Token::kWord, std::string(s.substr(start, i - start))});
        }
    }
    return tokens;
}

bool Is(const Token& t, const char* punct) {
    return t.kind == Token::kPunct && t.text == punct;
}

struct LeaseBlock {
    std::string ifname;
    DhcpLease lease;
};

// One statement of a lease block, without its ';'.
void ApplyStatement(const std::vector<Token>& st, LeaseBlock* block) {
    if (st.empty() || st[0].kind != Token::kWord) return;
    if (st[0].text == "interface" && st.size() >= 2) {
        block->ifname = st[1].text;
    } else if (st[0].text == "fixed-address" && st.size() >= 2) {
        if (auto a = CanonicalIPv4(st[1].text)) block->lease.address = *a;
    } else if (st[0].text == "option" && st.size() >= 3) {
        if (st[1].text == "dhcp-server-identifier") {
            if (auto a = CanonicalIPv4(st[2].text)) block->lease.server = *a;
        } else if (st[1].text == "netbios-name-servers") {
            block->lease.winsServers.clear();
            for (size_t i = 2; i < st.size(); ++i)
                if (auto a = CanonicalIPv4(st[i].text)) block->lease.winsServers.push_back(*a);
        }
    }
}

}  // namespace

std::optional<DhcpLease> ParseNetworkdLease(std::string_view text) {
    DhcpLease lease;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == '#') continue;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = Trim(line.substr(0, eq));
        const std::string_view value = Trim(line.substr(eq + 1));
        if (key == "ADDRESS") {
            if (auto a = CanonicalIPv4(value)) lease.address = *a;
        } else if (key == "SERVER_ADDRESS") {
            if (auto a = CanonicalIPv4(value)) lease.server = *a;
        }
    }
    if (lease.address.empty() && lease.server.empty()) return std::nullopt;
    return lease;
}

std::optional<DhcpLease> ParseDhclientLeases(std::string_view text, std::string_view ifname,
                                             std::string_view address) {
    const std::vector<Token> tokens = Tokenize(text);
    std::optional<DhcpLease> found;
    size_t i = 0;
    while (i < tokens.size()) {
        // Top level: look for `lease {`; everything else (lease6, default-duid, or the tail
        // of a block cut off at the start of a long file) is skipped.
        if (!(tokens[i].kind == Token::kWord && tokens[i].text == "lease" &&
              i + 1 < tokens.size() && Is(tokens[i + 1], "{"))) {
            ++i;
            continue;
        }
        i += 2;
        LeaseBlock block;
        std::vector<Token> statement;
        int depth = 1;
        bool complete = false, cutOff = false;
        for (; i < tokens.size(); ++i) {
            const Token& t = tokens[i];
            // A new lease inside this one: this block was cut off (dhclient stopped while
            // writing it), and the lease after it is whole.
            if (depth == 1 && t.kind == Token::kWord && t.text == "lease" &&
                i + 1 < tokens.size() && Is(tokens[i + 1], "{")) {
                cutOff = true;
                break;
            }
            if (Is(t, "{")) {
                ++depth;
            } else if (Is(t, "}")) {
                if (--depth == 0) {
                    complete = true;
                    ++i;
                    break;
                }
            } else if (depth == 1 && Is(t, ";")) {
                ApplyStatement(statement, &block);
                statement.clear();
            } else if (depth == 1 && !Is(t, ",")) {
                statement.push_back(t);
            }
        }
        if (cutOff) continue;
        if (!complete) break;  // a block still being written counts for nothing
        if (!block.ifname.empty() && !ifname.empty() && block.ifname != ifname) continue;
        if (!address.empty() && block.lease.address != address) continue;
        found = std::move(block.lease);
    }
    return found;
}

}  // namespace voldrane::platform::linux_os
