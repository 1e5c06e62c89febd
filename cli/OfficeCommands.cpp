// The office commands: they read and change the same settings store as the tray program.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <sstream>

#include "cli/CliCommon.h"
#include "network/Detection.h"
#include "network/Matching.h"
#include "offices/CRegistry.h"
#include "offices/OfficeLookup.h"
#include "offices/OfficeStore.h"
#include "offices/OfficeValues.h"
#include "offices/RegFile.h"
#include "platform/Autostart.h"
#include "platform/Files.h"
#include "platform/Platform.h"

namespace voldrane::cli {

namespace {

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

    int Find(const std::string& key) const { return FindOfficeByKey(offices, key); }
};

// At most `limit` bytes of `text`, for a message.
std::string Shown(const std::string& text, size_t limit = 40) {
    return text.size() > limit ? text.substr(0, limit) + "..." : text;
}

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
        if (const std::string problem = OfficeValueProblem(i + 1, *value); !problem.empty())
            return std::string("--") + kAddressOptions[i] + ": " + problem;
        NetworkField(office.m_network, i) = *value;
    }
    for (const auto& [option, place] :
         {std::pair{"name", kOfficeNamePlace}, std::pair{"printer", kDefaultPrinterPlace}}) {
        const auto text = args.Get(option);
        if (!text) continue;
        if (const std::string problem = OfficeValueProblem(place, *text); !problem.empty())
            return std::string("--") + option + ": " + problem;
        OfficeValue(office, place) = *text;
    }
    return {};
}

std::string ValueKind(const platform::RegValue& v) {
    if (v.type == platform::kRegDword) return "dword";
    if (v.type == platform::kRegBinary) return "hex";
    char buf[24];
    std::snprintf(buf, sizeof buf, "hex(%x)", v.type);
    return buf;
}

struct Problems {
    static constexpr size_t kListed = 100;
    std::vector<std::string> listed;  // the first kListed
    size_t count = 0;

    void Add(std::string problem) {
        if (count++ < kListed) listed.push_back(std::move(problem));
    }
};

// The offices of an imported file, each checked as add checks its options. Every value that
// cannot be taken is named in `problems`.
std::vector<COfficeNetwork> ReadImportedOffices(const RegKey& officesKey, Problems& problems) {
    std::vector<COfficeNetwork> offices;
    offices.reserve(officesKey.subkeys.size());
    for (const RegKey& key : officesKey.subkeys) {
        COfficeNetwork& office = offices.emplace_back();
        office.m_strKeyName = key.name;
        for (int i = 0; i < kOfficeValueCount; ++i) {
            const std::string where =
                "office " + Shown(key.name) + ", \"" + kOfficeValues[i].name + "\": ";
            const RegNamedValue* v = key.FindValue(kOfficeValues[i].name);
            if (!v) {
                problems.Add(where + "missing");
                continue;
            }
            if (v->value.type != platform::kRegSz) {
                problems.Add(where + "a " + ValueKind(v->value) + " value, not a text");
                continue;
            }
            const std::string text(v->value.data.begin(), v->value.data.end());
            if (std::string problem = OfficeValueProblem(i, text); !problem.empty()) {
                problems.Add(where + problem);
                continue;
            }
            OfficeValue(office, i) = text;
        }
    }
    return offices;
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
            for (int v = 0; v < kOfficeValueCount; ++v)
                j[kOfficeValues[v].name] = OfficeValue(o, v);
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
        for (int v = 1; v < kOfficeValueCount; ++v) {
            const std::string label = kOfficeValues[v].name;
            out << "    " << label << std::string(17 - label.size(), ' ') << OfficeValue(o, v)
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

namespace {

// The login entry lives outside the settings store; it starts the tray program installed
// beside this tool, so an entry that would start nothing is refused.
int SetAutostart(const Command& self, const ParsedArgs& parsed, std::ostream& err) {
    const auto& pos = parsed.positionals;
    if (pos.size() != 2 || (pos[1] != "on" && pos[1] != "off") || parsed.Has("clear"))
        return UsageError(self, err, "autostart takes on or off");
    const bool on = pos[1] == "on";
    const std::string program = platform::TrayProgramBesideSelf();
    if (on && !platform::IsRunnableFile(program))
        return Fail(self, err, "the tray program is not installed beside voldranectl: " + program,
                    kExitFailure);
    std::string error;
    if (!platform::SetAutostart(on, program, &error)) return Fail(self, err, error, kExitFailure);
    return kExitOk;
}

}  // namespace

int RunSet(const Command& self, const std::vector<std::string>& args, std::ostream&,
           std::ostream& err) {
    const auto parsed = ParseArgs(self.name, args, {{"clear", false}}, err);
    if (!parsed) return UsageError(self, err, "");
    const auto& pos = parsed->positionals;
    if (pos.empty())
        return UsageError(self, err,
                          "name the setting: auto-detect, follow-network, notify, default-office "
                          "or autostart");
    if (pos[0] == "autostart") return SetAutostart(self, *parsed, err);
    Session s;
    platform::RegApplyResult result;

    // The on/off switches, by their name here, with the store's one writer of each.
    using SwitchWriter = bool (*)(CRegistry&, bool, std::string*);
    static const std::pair<const char*, SwitchWriter> kSwitches[] = {
        {"auto-detect", WriteAutoDetect},
        {"follow-network", WriteFollowNetwork},
        {"notify", WriteNotify},
    };
    const auto sw = std::find_if(std::begin(kSwitches), std::end(kSwitches),
                                 [&](const auto& e) { return pos[0] == e.first; });
    if (sw != std::end(kSwitches)) {
        if (pos.size() != 2 || (pos[1] != "on" && pos[1] != "off") || parsed->Has("clear"))
            return UsageError(self, err, pos[0] + " takes on or off");
        std::string error;
        if (!sw->second(s.registry, pos[1] == "on", &error))
            return Fail(self, err, error, kExitFailure);
        return kExitOk;
    } else if (pos[0] == "default-office") {
        if (parsed->Has("clear")) {
            if (pos.size() != 1) return UsageError(self, err, "give either a key or --clear");
            std::string error;
            if (!WriteDefaultOffice(s.registry, std::nullopt, &error))
                return Fail(self, err, error, kExitFailure);
            return kExitOk;
        } else {
            if (pos.size() != 2)
                return UsageError(self, err, "default-office takes an office's key or --clear");
            std::string error;
            if (!s.Load(error)) return Fail(self, err, error, kExitFailure);
            const int position = s.Find(pos[1]);
            if (position < 0)
                return Fail(self, err, "no office has the key \"" + pos[1] + "\"", kExitUsage);
            // The key as it is stored, not as it was typed.
            if (!WriteDefaultOffice(s.registry, s.offices.ElementAt(position).m_strKeyName, &error))
                return Fail(self, err, error, kExitFailure);
            return kExitOk;
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
    if (!platform::WriteWholeFile(file, text, &error))
        return Fail(self, err, "cannot write " + file + ": " + error, kExitFailure);
    return kExitOk;
}

int RunImport(const Command& self, const std::vector<std::string>& args, std::ostream& out,
              std::ostream& err) {
    const auto parsed = ParseArgs(self.name, args, {}, err);
    if (!parsed) return UsageError(self, err, "");
    if (parsed->positionals.size() != 1) return UsageError(self, err, "give one .reg file");
    const std::string& file = parsed->positionals[0];

    // The whole file is read and checked before anything is written: an import adds all of
    // its offices or none.
    RegParseResult result;
    {
        std::string error;
        const std::optional<std::string> bytes = platform::ReadWholeFile(file, &error);
        if (!bytes) return Fail(self, err, "cannot read " + file + ": " + error, kExitUsage);
        result = ParseRegFile(*bytes);
    }
    if (!result.hasHeader)
        return Fail(self, err, file + " is not a registry editor (.reg) file; nothing imported",
                    kExitUsage);
    if (result.issueCount > 0) {
        err << DescribeRegIssues(file, result);
        return Fail(self, err, file + " has lines that cannot be read; nothing imported",
                    kExitUsage);
    }
    if (result.firstDeletionLine > 0)
        return Fail(self, err,
                    file + ":" + std::to_string(result.firstDeletionLine) +
                        ": the file deletes keys or values ([-KEY] or \"NAME\"=-), which import "
                        "does not do; nothing imported",
                    kExitUsage);
    const RegKey* officesKey = FindUserKey(result.tree, kOfficesKey);
    if (!officesKey || officesKey->subkeys.empty())
        return Fail(self, err,
                    file + " holds no offices (no keys below HKEY_CURRENT_USER\\" + kOfficesKey +
                        "); nothing imported",
                    kExitUsage);

    Problems problems;
    std::vector<COfficeNetwork> incoming = ReadImportedOffices(*officesKey, problems);
    result = RegParseResult();
    if (problems.count > 0) {
        for (const auto& problem : problems.listed) err << file << ": " << problem << '\n';
        if (problems.count > problems.listed.size())
            err << file << ": ... and "
                << Plural(static_cast<long long>(problems.count - problems.listed.size()),
                          "more value", "more values")
                << " that cannot be taken\n";
        return Fail(self, err, file + " has office values that cannot be taken; nothing imported",
                    kExitUsage);
    }

    std::vector<COfficeNetwork*> offices;
    offices.reserve(incoming.size());
    for (auto& office : incoming) offices.push_back(&office);
    Session s;
    std::string error;
    if (!AddOffices(s.registry, offices, std::time(nullptr), &error))
        return Fail(self, err, error, kExitFailure);
    out << "Added " << Plural(static_cast<long long>(offices.size()), "office", "offices") << '\n';
    return kExitOk;
}

}  // namespace voldrane::cli
