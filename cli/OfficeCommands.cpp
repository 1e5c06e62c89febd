// The office commands: they read and change the same settings store as the tray program.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>

#include "cli/CliCommon.h"
#include "network/Detection.h"
#include "network/Matching.h"
#include "offices/CRegistry.h"
#include "offices/OfficeStore.h"
#include "offices/RegFile.h"
#include "platform/Platform.h"

namespace voldrane::cli {

namespace {

using platform::RegOp;

constexpr const char* kOfficeValueNames[9] = {"Office Name",     "IP Address",  "Subnet Mask",
                                              "Default Gateway", "DHCP Server", "DNS Server 1",
                                              "DNS Server 2",    "WINS Server", "Default Printer"};

const std::string& OfficeText(const COfficeNetwork& o, int i) {
    if (i == 0) return o.m_strOfficeName;
    if (i == 8) return o.m_strDefaultPrinter;
    return NetworkField(o.m_network, i - 1);
}

// The address options of add and edit, in the order of the seven network fields.
constexpr const char* kAddressOptions[7] = {"ip",   "mask", "gateway", "dhcp",
                                            "dns1", "dns2", "wins"};

const std::vector<OptionSpec> kOfficeOptions = {
    {"name", true},    {"printer", true}, {"current", false}, {"ip", true},   {"mask", true},
    {"gateway", true}, {"dhcp", true},    {"dns1", true},     {"dns2", true}, {"wins", true},
};

int Fail(const Command& self, std::ostream& err, const std::string& message, int code) {
    err << "voldranectl " << self.name << ": " << message << '\n';
    return code;
}

// Four decimal numbers 0-255 without leading zeros: the form the office dialog stores, and
// one that the matcher's conversion cannot read as octal.
bool IsDottedDecimal(const std::string& text) {
    int parts = 0;
    size_t i = 0;
    while (true) {
        const size_t start = i;
        unsigned value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3)
            value = value * 10 + static_cast<unsigned>(text[i++] - '0');
        const size_t len = i - start;
        if (len == 0 || value > 255 || (len > 1 && text[start] == '0')) return false;
        if (++parts == 4) return i == text.size();
        if (i >= text.size() || text[i] != '.') return false;
        ++i;
    }
}

// What the office dialog's address control makes of a detected text: its 32-bit value in
// dotted decimal ("N/A" and other non-addresses become 255.255.255.255).
std::string AsAddressControlText(const std::string& text) {
    const uint32_t a = InetAddr(text);
    return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 0xFF) + "." +
           std::to_string((a >> 8) & 0xFF) + "." + std::to_string(a & 0xFF);
}

struct Session {
    std::unique_ptr<platform::IRegistryStore> store = platform::CreateRegistryStore();
    CRegistry registry{*store};
    COfficeList offices;

    // Loads the offices; false with `error` when the store cannot be read.
    bool Load(std::string& error) {
        LoadOffices(registry, offices);
        error = store->ReadError();
        return error.empty();
    }

    // The office whose key name is `key`, compared as the store compares key names; -1 if none.
    int Find(const std::string& key) const {
        for (int i = 0; i < offices.GetSize(); ++i)
            if (EqualRegNames(offices.ElementAt(i).m_strKeyName, key)) return i;
        return -1;
    }
};

// Applies the add/edit options to `office`. Returns an error message, empty when all is well.
std::string ApplyOfficeOptions(const ParsedArgs& args, COfficeNetwork& office) {
    if (args.Has("current")) {
        const auto source = platform::CreateNetworkSource();
        const CNetworkSettings detected = DetectNetworkSettings(*source);
        for (int i = 0; i < 7; ++i)
            NetworkField(office.m_network, i) = AsAddressControlText(NetworkField(detected, i));
    }
    for (int i = 0; i < 7; ++i) {
        const auto value = args.Get(kAddressOptions[i]);
        if (!value) continue;
        if (!IsDottedDecimal(*value))
            return std::string("--") + kAddressOptions[i] + ": \"" + *value +
                   "\" is not a dotted-decimal IPv4 address (such as 192.168.1.20)";
        NetworkField(office.m_network, i) = *value;
    }
    // A longer text would be stored, but read back as empty: the office would lose it.
    for (const char* option : {"name", "printer"}) {
        const auto text = args.Get(option);
        if (text && text->size() > kMaxTextBytes)
            return std::string("--") + option + ": at most " + std::to_string(kMaxTextBytes) +
                   " bytes (this one has " + std::to_string(text->size()) + ")";
    }
    if (const auto name = args.Get("name")) {
        if (name->empty()) return "--name: the office name must not be empty";
        office.m_strOfficeName = *name;
    }
    if (const auto printer = args.Get("printer")) office.m_strDefaultPrinter = *printer;
    return {};
}

std::string Plural(long long n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

int RunList(const Command& self, const std::vector<std::string>& args, std::ostream& out,
            std::ostream& err) {
    const auto parsed = ParseArgs(self.name, args, {{"json", false}}, err);
    if (!parsed) return UsageError(self, err, "");
    if (!parsed->positionals.empty()) return UsageError(self, err, "unexpected argument");
    Session s;
    std::string error;
    if (!s.Load(error)) return Fail(self, err, error, kExitFailure);

    if (parsed->Has("json")) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (int i = 0; i < s.offices.GetSize(); ++i) {
            const COfficeNetwork& o = s.offices.ElementAt(i);
            nlohmann::ordered_json j;
            j["Key"] = o.m_strKeyName;
            for (int v = 0; v < 9; ++v) j[kOfficeValueNames[v]] = OfficeText(o, v);
            list.push_back(std::move(j));
        }
        // Texts read from a hand-edited store need not be UTF-8: replace what is not.
        out << list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        return kExitOk;
    }
    for (int i = 0; i < s.offices.GetSize(); ++i) {
        const COfficeNetwork& o = s.offices.ElementAt(i);
        if (i > 0) out << '\n';
        out << o.m_strKeyName << "  " << o.m_strOfficeName << '\n';
        for (int v = 1; v < 9; ++v) {
            const std::string label = kOfficeValueNames[v];
            out << "    " << label << std::string(17 - label.size(), ' ') << OfficeText(o, v)
                << '\n';
        }
    }
    return kExitOk;
}

int RunAdd(const Command& self, const std::vector<std::string>& args, std::ostream& out,
           std::ostream& err) {
    const auto parsed = ParseArgs(self.name, args, kOfficeOptions, err);
    if (!parsed) return UsageError(self, err, "");
    if (!parsed->positionals.empty()) return UsageError(self, err, "unexpected argument");
    if (!parsed->Has("name")) return UsageError(self, err, "--name is required");

    COfficeNetwork office;
    for (int i = 0; i < 7; ++i) NetworkField(office.m_network, i) = "0.0.0.0";
    if (const std::string problem = ApplyOfficeOptions(*parsed, office); !problem.empty())
        return Fail(self, err, problem, kExitUsage);

    Session s;
    std::string error;
    if (!AddOffice(s.registry, office, &error)) return Fail(self, err, error, kExitFailure);
    out << office.m_strKeyName << '\n';
    return kExitOk;
}

int RunEdit(const Command& self, const std::vector<std::string>& args, std::ostream&,
            std::ostream& err) {
    const auto parsed = ParseArgs(self.name, args, kOfficeOptions, err);
    if (!parsed) return UsageError(self, err, "");
    if (parsed->positionals.size() != 1) return UsageError(self, err, "give the key of one office");

    Session s;
    std::string error;
    if (!s.Load(error)) return Fail(self, err, error, kExitFailure);
    const int position = s.Find(parsed->positionals[0]);
    if (position < 0)
        return Fail(self, err, "no office has the key \"" + parsed->positionals[0] + "\"",
                    kExitUsage);
    COfficeNetwork office = s.offices.ElementAt(position);
    if (const std::string problem = ApplyOfficeOptions(*parsed, office); !problem.empty())
        return Fail(self, err, problem, kExitUsage);
    // Only the values asked for are written: another program may have changed the others, or
    // removed the office, since it was read.
    std::array<bool, 9> fields{};
    fields[0] = parsed->Has("name");
    fields[8] = parsed->Has("printer");
    for (int i = 0; i < 7; ++i)
        fields[static_cast<size_t>(i) + 1] =
            parsed->Has("current") || parsed->Has(kAddressOptions[i]);
    bool gone = false;
    if (!UpdateOffice(s.registry, office, fields, gone, &error))
        return Fail(self, err, error, gone ? kExitUsage : kExitFailure);
    return kExitOk;
}

int RunRemove(const Command& self, const std::vector<std::string>& args, std::ostream&,
              std::ostream& err) {
    const auto parsed = ParseArgs(self.name, args, {}, err);
    if (!parsed) return UsageError(self, err, "");
    if (parsed->positionals.size() != 1) return UsageError(self, err, "give the key of one office");

    Session s;
    std::string error;
    if (!s.Load(error)) return Fail(self, err, error, kExitFailure);
    const int position = s.Find(parsed->positionals[0]);
    if (position < 0)
        return Fail(self, err, "no office has the key \"" + parsed->positionals[0] + "\"",
                    kExitUsage);
    if (!DeleteOfficeKey(s.registry, s.offices.ElementAt(position).m_strKeyName, &error))
        return Fail(self, err, error, kExitFailure);
    return kExitOk;
}

int RunSet(const Command& self, const std::vector<std::string>& args, std::ostream&,
           std::ostream& err) {
    const auto parsed = ParseArgs(self.name, args, {{"clear", false}}, err);
    if (!parsed) return UsageError(self, err, "");
    const auto& pos = parsed->positionals;
    if (pos.empty())
        return UsageError(
            self, err, "name the setting: auto-detect, follow-network, notify or default-office");
    Session s;
    platform::RegApplyResult result;

    // The on/off switches, by their name here and in the store.
    static const std::pair<const char*, const char*> kSwitches[] = {
        {"auto-detect", kAutoDetectValue},
        {"follow-network", kFollowNetworkValue},
        {"notify", kNotifyValue},
    };
    const auto sw = std::find_if(std::begin(kSwitches), std::end(kSwitches),
                                 [&](const auto& e) { return pos[0] == e.first; });
    if (sw != std::end(kSwitches)) {
        if (pos.size() != 2 || (pos[1] != "on" && pos[1] != "off") || parsed->Has("clear"))
            return UsageError(self, err, pos[0] + " takes on or off");
        const uint8_t value = pos[1] == "on" ? 1 : 0;
        // Unlike the dialog's DWORD write, this creates the key when it is missing.
        result = s.registry.Apply(
            {{RegOp::CreateKey, kAppKey, {}, {}},
             {RegOp::SetValue, kAppKey, sw->second, {platform::kRegDword, {value, 0, 0, 0}}}});
    } else if (pos[0] == "default-office") {
        if (parsed->Has("clear")) {
            if (pos.size() != 1) return UsageError(self, err, "give either a key or --clear");
            result = s.registry.Apply({{RegOp::DeleteValue, kAppKey, kDefaultOfficeValue, {}}});
        } else {
            if (pos.size() != 2)
                return UsageError(self, err, "default-office takes an office's key or --clear");
            std::string error;
            if (!s.Load(error)) return Fail(self, err, error, kExitFailure);
            const int position = s.Find(pos[1]);
            if (position < 0)
                return Fail(self, err, "no office has the key \"" + pos[1] + "\"", kExitUsage);
            // The tray program compares this text with key names exactly: store the key as it is.
            const std::string& key = s.offices.ElementAt(position).m_strKeyName;
            result = s.registry.Apply({{RegOp::CreateKey, kAppKey, {}, {}},
                                       {RegOp::SetValue,
                                        kAppKey,
                                        kDefaultOfficeValue,
                                        {platform::kRegSz, {key.begin(), key.end()}}}});
        }
    } else {
        return UsageError(self, err, "unknown setting \"" + pos[0] + "\"");
    }
    if (!result.written) return Fail(self, err, result.error, kExitFailure);
    return kExitOk;
}

int RunMatch(const Command& self, const std::vector<std::string>& args, std::ostream& out,
             std::ostream& err) {
    const auto parsed = ParseArgs(self.name, args, {{"explain", false}}, err);
    if (!parsed) return UsageError(self, err, "");
    if (!parsed->positionals.empty()) return UsageError(self, err, "unexpected argument");

    const auto source = platform::CreateNetworkSource();
    const CNetworkSettings current = DetectNetworkSettings(*source);
    Session s;
    std::string error;
    if (!s.Load(error)) return Fail(self, err, error, kExitFailure);

    if (parsed->Has("explain")) {
        const std::vector<MatchScore> scores = ExplainMatch(s.offices, current);
        for (int i = 0; i < s.offices.GetSize(); ++i) {
            const COfficeNetwork& o = s.offices.ElementAt(i);
            const MatchScore& score = scores[static_cast<size_t>(i)];
            out << o.m_strOfficeName << " (" << o.m_strKeyName
                << "): " << Plural(score.count, "point", "points")
                << (score.Matches() ? ", matches" : "") << '\n';
            for (int t = 0; t < 7; ++t)
                out << "    "
                    << (score.tests[static_cast<size_t>(t)] ? "scored      " : "not scored  ")
                    << kMatchTestNames[t] << '\n';
        }
    }
    if (FindMatchingOffice(s.offices, current, out) < 0) {
        err << "Cannot Determine Office Network\n";
        return kExitNoMatch;
    }
    return kExitOk;
}

int RunExport(const Command& self, const std::vector<std::string>& args, std::ostream& out,
              std::ostream& err) {
    const auto parsed = ParseArgs(self.name, args, {}, err);
    if (!parsed) return UsageError(self, err, "");
    if (parsed->positionals.size() > 1) return UsageError(self, err, "at most one file");

    Session s;
    std::string text, error;
    if (!s.store->Export(text, &error)) return Fail(self, err, error, kExitFailure);
    if (parsed->positionals.empty()) {
        out << text;
        out.flush();
        return out ? kExitOk : Fail(self, err, "cannot write to standard output", kExitFailure);
    }
    const std::string& file = parsed->positionals[0];
    std::ofstream f(file, std::ios::binary | std::ios::trunc);
    if (f) f << text;
    if (f) f.close();
    if (!f)
        return Fail(self, err, "cannot write " + file + ": " + std::strerror(errno), kExitFailure);
    return kExitOk;
}

int RunImport(const Command& self, const std::vector<std::string>& args, std::ostream& out,
              std::ostream& err) {
    const auto parsed = ParseArgs(self.name, args, {}, err);
    if (!parsed) return UsageError(self, err, "");
    if (parsed->positionals.size() != 1) return UsageError(self, err, "give one .reg file");
    const std::string& file = parsed->positionals[0];

    std::ifstream f(file, std::ios::binary);
    std::ostringstream bytes;
    if (f) bytes << f.rdbuf();
    if (!f) return Fail(self, err, "cannot read " + file + ": " + std::strerror(errno), kExitUsage);

    RegParseResult result = ParseRegFile(bytes.str());
    if (!result.hasHeader)
        return Fail(self, err, file + " is not a registry editor (.reg) file; nothing imported",
                    kExitUsage);
    if (!result.issues.empty()) {
        for (const auto& issue : result.issues)
            err << file << ":" << issue.line << ": " << issue.reason << '\n';
        return Fail(self, err, file + " has lines that cannot be read; nothing imported",
                    kExitUsage);
    }
    MemoryRegistryStore source(std::move(result.tree));
    CRegistry sourceRegistry(source);
    COfficeList incoming;
    LoadOffices(sourceRegistry, incoming);
    if (incoming.IsEmpty())
        return Fail(self, err,
                    file + " holds no offices (no keys below HKEY_CURRENT_USER\\" + kOfficesKey +
                        "); nothing imported",
                    kExitUsage);

    std::vector<COfficeNetwork*> offices;
    for (int i = 0; i < incoming.GetSize(); ++i) offices.push_back(&incoming.ElementAt(i));
    Session s;
    std::string error;
    if (!AddOffices(s.registry, offices, std::time(nullptr), &error))
        return Fail(self, err, error, kExitFailure);
    out << "Added " << Plural(static_cast<long long>(offices.size()), "office", "offices") << '\n';
    return kExitOk;
}

}  // namespace voldrane::cli
