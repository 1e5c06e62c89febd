#include "offices/OfficeStore.h"

#include <cstdio>

#include "offices/OfficeValues.h"

namespace voldrane {

using platform::kRegDword;
using platform::kRegSz;
using platform::RegApplyResult;
using platform::RegOp;

namespace {

std::string OfficePath(const std::string& keyName) {
    return std::string(kOfficesKey) + "\\" + keyName;
}

const char* OfficeValueName(int place) {
    return kOfficeValues[place].name;
}

// The nine value writes of one office.
void AppendValueOps(std::vector<RegOp>& ops, const COfficeNetwork& office,
                    const std::string& path) {
    for (int i = 0; i < kOfficeValueCount; ++i) {
        const std::string& text = OfficeValue(office, i);
        ops.push_back(
            {RegOp::SetValue, path, OfficeValueName(i), {kRegSz, {text.begin(), text.end()}}});
    }
}

// True when the store was written and every operation from `first` on succeeded; otherwise
// sets `error` to why not.
bool Outcome(const RegApplyResult& r, size_t first, const std::string& keyName,
             std::string* error) {
    if (!r.written) {
        if (error) *error = r.error;
        return false;
    }
    for (size_t i = first; i < r.succeeded.size(); ++i) {
        if (!r.succeeded[i]) {
            if (error) *error = "\"" + keyName + "\" cannot be used as an office key name";
            return false;
        }
    }
    return true;
}

// True when the store was written; otherwise sets `error` to why not.
bool Written(const RegApplyResult& r, std::string* error) {
    if (!r.written && error) *error = r.error;
    return r.written;
}

std::string HexName(std::time_t t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(t));
    return buf;
}

}  // namespace

void LoadOffices(CRegistry& registry, COfficeList& offices) {
    registry.CreateKey(kOfficesKey);
    // One state of the file for the whole load: an office another process rewrites meanwhile
    // comes in whole, old or new, never mixed.
    CRegistry::ReadSession session(registry);
    uint32_t count = 0;
    registry.CountSubKeys(kOfficesKey, count);
    // Every office key is loaded: the collection grows with the store.
    std::vector<std::string> names;
    registry.EnumSubKeys(kOfficesKey, names, count);
    for (const auto& name : names) {
        auto office = std::make_unique<COfficeNetwork>();
        office->m_strKeyName = name;
        const std::string path = OfficePath(name);
        for (int i = 0; i < kOfficeValueCount; ++i) {
            std::string text;  // stays empty when the value cannot be read
            registry.ReadString(path, OfficeValueName(i), text);
            OfficeValue(*office, i) = std::move(text);
        }
        offices.Append(std::move(office));
    }
}

bool ReadOffice(CRegistry& registry, COfficeNetwork& office) {
    CRegistry::ReadSession session(registry);
    const std::string path = OfficePath(office.m_strKeyName);
    if (!registry.Store().KeyExists(path)) return false;
    for (int i = 0; i < kOfficeValueCount; ++i)
        registry.ReadString(path, OfficeValueName(i), OfficeValue(office, i));
    return true;
}

bool SaveOffice(CRegistry& registry, const COfficeNetwork& office, std::string* error) {
    const std::string path = OfficePath(office.m_strKeyName);
    std::vector<RegOp> ops = {{RegOp::CreateKey, kOfficesKey, {}, {}},
                              {RegOp::CreateKey, path, {}, {}}};
    AppendValueOps(ops, office, path);
    return Outcome(registry.Apply(ops), 0, office.m_strKeyName, error);
}

bool DeleteOfficeKey(CRegistry& registry, const std::string& keyName, std::string* error) {
    const std::string path = OfficePath(keyName);
    const auto r = registry.Apply({{RegOp::DeleteKey, path, {}, {}}});
    if (!r.written) {
        if (error) *error = r.error;
        return false;
    }
    // A key that is already gone (removed by another program) is what was asked for.
    if (!r.succeeded.at(0) && registry.Store().KeyExists(path)) {
        if (error) *error = "the office key \"" + keyName + "\" has subkeys of its own";
        return false;
    }
    return true;
}

bool RewriteOffice(CRegistry& registry, const COfficeNetwork& office, std::string* error) {
    const std::string path = OfficePath(office.m_strKeyName);
    std::vector<RegOp> ops = {{RegOp::DeleteKey, path, {}, {}},
                              {RegOp::CreateKey, kOfficesKey, {}, {}},
                              {RegOp::CreateKey, path, {}, {}}};
    AppendValueOps(ops, office, path);
    // The delete may find no key (another process removed it): the save still stands.
    return Outcome(registry.Apply(ops), 1, office.m_strKeyName, error);
}

bool UpdateOffice(CRegistry& registry, const COfficeNetwork& office,
                  const std::array<bool, 9>& fields, bool& gone, std::string* error) {
    gone = false;
    const std::string path = OfficePath(office.m_strKeyName);
    std::vector<RegOp> ops;
    for (int i = 0; i < kOfficeValueCount; ++i) {
        const auto stored = registry.Store().QueryValue(path, OfficeValueName(i));
        if (!fields[static_cast<size_t>(i)] && stored && stored->type == kRegSz) continue;
        const std::string& text = OfficeValue(office, i);
        ops.push_back(
            {RegOp::SetValue, path, OfficeValueName(i), {kRegSz, {text.begin(), text.end()}}});
    }
    RegApplyResult r;
    if (ops.empty()) {  // nothing to change
        r.succeeded = {registry.Store().KeyExists(path)};
    } else {
        r = registry.Apply(ops);
    }
    if (!r.written) {
        if (error) *error = r.error;
        return false;
    }
    // A value is set only in a key that exists: the office was removed meanwhile.
    if (!r.succeeded.at(0)) {
        gone = true;
        if (error) *error = "no office has the key \"" + office.m_strKeyName + "\"";
        return false;
    }
    return true;
}

std::array<bool, 9> DifferentValues(const COfficeNetwork& a, const COfficeNetwork& b) {
    std::array<bool, 9> differ{};
    for (int i = 0; i < kOfficeValueCount; ++i)
        differ[static_cast<size_t>(i)] = OfficeValue(a, i) != OfficeValue(b, i);
    return differ;
}

std::string MakeOfficeKeyName(CRegistry& registry, std::time_t now) {
    // Two offices made within one second must not share a key: take the next free second.
    while (registry.Store().KeyExists(OfficePath(HexName(now)))) ++now;
    return HexName(now);
}

std::string MakeOfficeKeyName(CRegistry& registry) {
    return MakeOfficeKeyName(registry, std::time(nullptr));
}

bool AddOffices(CRegistry& registry, const std::vector<COfficeNetwork*>& offices, std::time_t now,
                std::string* error) {
    if (offices.empty()) return true;
    // Each try takes names that were free when looked at; the store refuses the whole batch
    // if another process took one of them since, and the names are made again.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::vector<RegOp> ops = {{RegOp::CreateKey, kOfficesKey, {}, {}}};
        std::vector<std::string> names;
        std::time_t t = now;
        for (const COfficeNetwork* office : offices) {
            names.push_back(MakeOfficeKeyName(registry, t));
            t = static_cast<std::time_t>(std::stoull(names.back(), nullptr, 16)) + 1;
            const std::string path = OfficePath(names.back());
            ops.push_back({RegOp::CreateNewKey, path, {}, {}});
            AppendValueOps(ops, *office, path);
        }
        const RegApplyResult r = registry.Apply(ops);
        if (!r.written) {
            if (error) *error = r.error;
            return false;
        }
        if (r.succeeded.at(1)) {  // the first claim of a new key
            for (size_t i = 0; i < offices.size(); ++i) offices[i]->m_strKeyName = names[i];
            return true;
        }
    }
    if (error) *error = "no free office key name was found";
    return false;
}

bool AddOffice(CRegistry& registry, COfficeNetwork& office, std::string* error) {
    return AddOffices(registry, {&office}, std::time(nullptr), error);
}

namespace {

bool ReadSwitch(CRegistry& registry, const char* name, bool absent) {
    uint32_t value = absent ? 1 : 0;  // absent, or not a number
    registry.ReadDWORD(kAppKey, name, value);
    return value != 0;
}

bool WriteSwitch(CRegistry& registry, const char* name, bool on, std::string* error) {
    const uint8_t n = on ? 1 : 0;
    return Written(registry.Apply({{RegOp::CreateKey, kAppKey, {}, {}},
                                   {RegOp::SetValue, kAppKey, name, {kRegDword, {n, 0, 0, 0}}}}),
                   error);
}

}  // namespace

bool ReadAutoDetect(CRegistry& registry) {
    return ReadSwitch(registry, kAutoDetectValue, true);
}

bool WriteAutoDetect(CRegistry& registry, bool on, std::string* error) {
    return WriteSwitch(registry, kAutoDetectValue, on, error);
}

bool ReadFollowNetwork(CRegistry& registry) {
    return ReadSwitch(registry, kFollowNetworkValue, false);
}

bool WriteFollowNetwork(CRegistry& registry, bool on, std::string* error) {
    return WriteSwitch(registry, kFollowNetworkValue, on, error);
}

bool ReadNotify(CRegistry& registry) {
    return ReadSwitch(registry, kNotifyValue, true);
}

bool WriteNotify(CRegistry& registry, bool on, std::string* error) {
    return WriteSwitch(registry, kNotifyValue, on, error);
}

std::string ReadDefaultOffice(CRegistry& registry) {
    std::string value;
    registry.ReadString(kAppKey, kDefaultOfficeValue, value);
    return value;
}

bool WriteDefaultOffice(CRegistry& registry, const std::optional<std::string>& key,
                        std::string* error) {
    // Removing a value that is not there (any more) is what was asked for.
    if (!key)
        return Written(registry.Apply({{RegOp::DeleteValue, kAppKey, kDefaultOfficeValue, {}}}),
                       error);
    return Written(registry.Apply({{RegOp::CreateKey, kAppKey, {}, {}},
                                   {RegOp::SetValue,
                                    kAppKey,
                                    kDefaultOfficeValue,
                                    {kRegSz, {key->begin(), key->end()}}}}),
                   error);
}

}  // namespace voldrane
