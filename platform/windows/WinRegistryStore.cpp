#include "platform/windows/WinRegistryStore.h"

#include <cstring>
#include <memory>

#include "offices/OfficeStore.h"
#include "platform/Platform.h"
#include "platform/windows/WinText.h"

namespace voldrane::platform {

std::unique_ptr<IRegistryStore> CreateRegistryStore(std::ostream* /*diagnostics*/) {
    return std::make_unique<windows_os::WinRegistryStore>();
}

namespace windows_os {

namespace {

constexpr const char* kJournalKey = "SOFTWARE\\Kestamor\\Voldrane Pending";
constexpr const wchar_t* kJournalValue = L"Writes";

// One change of the registry, as the journal lists it. Each can be made again without harm,
// so a journal is finished from its start whatever part of it was made before.
struct Change {
    enum Kind : char { CreateKey = 'K', DeleteKey = 'D', SetValue = 'S', DeleteValue = 'X' };
    Kind kind;
    std::string key;
    std::string name;
    RegValue value;
};

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using KeyHandle = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

std::string Join(const std::string& parent, const std::string& child) {
    return parent.empty() ? child : parent + "\\" + child;
}

// The value as the program holds it: REG_SZ as UTF-8 without its terminator, anything else
// as stored.
RegValue FromRegistry(DWORD type, const std::vector<uint8_t>& bytes) {
    RegValue v;
    v.type = type;
    if (type != REG_SZ) {
        v.data = bytes;
        return v;
    }
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    const std::string utf8 = Narrow(text);
    v.data.assign(utf8.begin(), utf8.end());
    return v;
}

std::vector<uint8_t> ToRegistry(const RegValue& v) {
    if (v.type != REG_SZ) return v.data;
    std::wstring text = Widen(std::string(v.data.begin(), v.data.end()));
    text.push_back(L'\0');
    std::vector<uint8_t> bytes(text.size() * sizeof(wchar_t));
    std::memcpy(bytes.data(), text.data(), bytes.size());
    return bytes;
}

// A value's type and bytes; nullopt when it is absent (or the key cannot be read).
std::optional<std::pair<DWORD, std::vector<uint8_t>>> ReadRaw(HKEY key, const std::wstring& name) {
    for (int attempt = 0; attempt < 4; ++attempt) {  // the value may grow between the calls
        DWORD type = 0, size = 0;
        if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return std::nullopt;
        std::vector<uint8_t> bytes(size);
        const LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, bytes.data(), &size);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) return std::nullopt;
        bytes.resize(size);
        return std::make_pair(type, std::move(bytes));
    }
    return std::nullopt;
}

std::vector<std::wstring> SubKeyNames(HKEY key) {
    std::vector<std::wstring> names;
    wchar_t name[256];  // key names are at most 255 characters
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        const LONG rc = RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

std::vector<RegNamedValue> AllValues(HKEY key) {
    std::vector<RegNamedValue> values;
    DWORD longest = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &longest, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return values;
    std::vector<wchar_t> name(longest + 1);
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        const LONG rc =
            RegEnumValueW(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) break;
        const std::wstring wname(name.data(), length);
        if (auto raw = ReadRaw(key, wname))
            values.push_back({Narrow(wname), FromRegistry(raw->first, raw->second)});
    }
    return values;
}

// Every key and value below `key`, into `into`.
void LoadSubtree(HKEY key, RegKey& into) {
    into.values = AllValues(key);
    for (const auto& name : SubKeyNames(key)) {
        HKEY sub = nullptr;
        if (RegOpenKeyExW(key, name.c_str(), 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
        KeyHandle closer(sub);
        LoadSubtree(sub, into.AddSubKey(Narrow(name)));
    }
}

// The changes that turn `before` into `after`: keys and values made or changed top down,
// then values and keys that went, the deepest keys first.
void Diff(const RegKey* before, const RegKey& after, const std::string& path,
          std::vector<Change>& out) {
    if (!before) out.push_back({Change::CreateKey, path, {}, {}});
    for (const auto& v : after.values) {
        const RegNamedValue* old = before ? before->FindValue(v.name) : nullptr;
        if (!old || !(old->value == v.value))
            out.push_back({Change::SetValue, path, v.name, v.value});
    }
    if (before)
        for (const auto& v : before->values)
            if (!after.FindValue(v.name)) out.push_back({Change::DeleteValue, path, v.name, {}});
    for (const auto& sub : after.subkeys)
        Diff(before ? before->FindSubKey(sub.name) : nullptr, sub, Join(path, sub.name), out);
    if (!before) return;
    std::vector<const RegKey*> gone;
    for (const auto& sub : before->subkeys)
        if (!after.FindSubKey(sub.name)) gone.push_back(&sub);
    // A key goes only when it has no subkeys left; below it, the same holds.
    for (const RegKey* key : gone) {
        std::vector<std::pair<const RegKey*, std::string>> stack{{key, Join(path, key->name)}};
        std::vector<std::string> order;
        while (!stack.empty()) {
            auto [k, p] = stack.back();
            stack.pop_back();
            order.push_back(p);
            for (const auto& s : k->subkeys) stack.push_back({&s, Join(p, s.name)});
        }
        for (auto it = order.rbegin(); it != order.rend(); ++it)
            out.push_back({Change::DeleteKey, *it, {}, {}});
    }
}

void PutU32(std::string& s, uint32_t n) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
}

void PutBytes(std::string& s, const void* data, size_t size) {
    PutU32(s, static_cast<uint32_t>(size));
    s.append(static_cast<const char*>(data), size);
}

std::string Serialize(const std::vector<Change>& changes) {
    std::string s;
    for (const auto& c : changes) {
        s.push_back(c.kind);
        PutBytes(s, c.key.data(), c.key.size());
        PutBytes(s, c.name.data(), c.name.size());
        PutU32(s, c.value.type);
        PutBytes(s, c.value.data.data(), c.value.data.size());
    }
    return s;
}

// nullopt for a journal that is not one (never written by this program).
std::optional<std::vector<Change>> Deserialize(const std::string& s) {
    std::vector<Change> changes;
    size_t at = 0;
    const auto u32 = [&](uint32_t& n) {
        if (s.size() - at < 4) return false;
        n = 0;
        for (int i = 0; i < 4; ++i) n |= uint32_t{static_cast<unsigned char>(s[at + i])} << (8 * i);
        at += 4;
        return true;
    };
    const auto bytes = [&](std::string& out) {
        uint32_t n = 0;
        if (!u32(n) || s.size() - at < n) return false;
        out.assign(s, at, n);
        at += n;
        return true;
    };
    while (at < s.size()) {
        Change c{static_cast<Change::Kind>(s[at++]), {}, {}, {}};
        std::string data;
        if (c.kind != Change::CreateKey && c.kind != Change::DeleteKey &&
            c.kind != Change::SetValue && c.kind != Change::DeleteValue)
            return std::nullopt;
        if (!bytes(c.key) || !bytes(c.name) || !u32(c.value.type) || !bytes(data))
            return std::nullopt;
        c.value.data.assign(data.begin(), data.end());
        changes.push_back(std::move(c));
    }
    return changes;
}

}  // namespace

// The store's turn for one call, unless a read session holds it already.
class WinRegistryStore::Turn {
  public:
    Turn(WinRegistryStore& store, std::string* error) : m_store(store) {
        if (store.m_sessionDepth > 0) {
            m_ok = store.m_sessionLocked;
            if (!m_ok && error) *error = store.m_readError;
            return;
        }
        m_ok = m_owned = store.Lock(error);
    }
    ~Turn() {
        if (m_owned) m_store.Unlock();
    }
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;
    bool Ok() const { return m_ok; }

  private:
    WinRegistryStore& m_store;
    bool m_ok = false;
    bool m_owned = false;
};

WinRegistryStore::WinRegistryStore(std::string base) : m_base(std::move(base)) {
    if (m_base.empty()) {
        m_root = HKEY_CURRENT_USER;
    } else if (RegCreateKeyExW(HKEY_CURRENT_USER, Widen(m_base).c_str(), 0, nullptr, 0,
                               KEY_ALL_ACCESS, nullptr, &m_root, nullptr) != ERROR_SUCCESS) {
        m_root = nullptr;
    }
    // One mutex per store root, in the session's namespace, as the registry is per user.
    std::wstring name = L"Local\\Voldrane Settings";
    if (!m_base.empty()) {
        std::wstring base = Widen(m_base);
        for (auto& c : base)
            if (c == L'\\') c = L'/';
        name += L" " + base;
    }
    m_mutex = CreateMutexW(nullptr, FALSE, name.c_str());
}

WinRegistryStore::~WinRegistryStore() {
    if (m_mutex) CloseHandle(m_mutex);
    if (m_root && m_root != HKEY_CURRENT_USER) RegCloseKey(m_root);
}

bool WinRegistryStore::Lock(std::string* error) {
    if (!m_root || !m_mutex) {
        if (error) *error = "the settings cannot be opened: " + LastErrorText();
        return false;
    }
    const DWORD rc = WaitForSingleObject(m_mutex, m_lockWait);
    if (rc == WAIT_TIMEOUT) {
        if (error)
            *error = "another program has been using the settings for more than " +
                     std::to_string(m_lockWait / 1000) + " s";
        return false;
    }
    if (rc != WAIT_OBJECT_0 && rc != WAIT_ABANDONED) {
        if (error) *error = "the settings cannot be locked: " + LastErrorText();
        return false;
    }
    if (!FinishJournal(error)) {
        ReleaseMutex(m_mutex);
        return false;
    }
    return true;
}

void WinRegistryStore::Unlock() {
    ReleaseMutex(m_mutex);
}

HKEY WinRegistryStore::OpenKey(const std::string& key, REGSAM access, LONG* status) {
    HKEY h = nullptr;
    const LONG rc = RegOpenKeyExW(m_root, Widen(key).c_str(), 0, access, &h);
    if (status) *status = rc;
    return rc == ERROR_SUCCESS ? h : nullptr;
}

bool WinRegistryStore::FinishJournal(std::string* error) {
    KeyHandle key(OpenKey(kJournalKey, KEY_READ));
    if (!key) return true;
    const auto raw = ReadRaw(key.get(), kJournalValue);
    key.reset();
    if (raw && !Replay(std::string(raw->second.begin(), raw->second.end()), error)) return false;
    RegDeleteKeyW(m_root, Widen(kJournalKey).c_str());
    return true;
}

bool WinRegistryStore::Replay(const std::string& journal, std::string* error) {
    const auto changes = Deserialize(journal);
    if (!changes) return true;  // not ours to finish
    size_t step = 0;
    for (const auto& c : *changes) {
        const std::wstring key = Widen(c.key);
        LONG rc = ERROR_SUCCESS;
        switch (c.kind) {
            case Change::CreateKey: {
                HKEY h = nullptr;
                rc = RegCreateKeyExW(m_root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h,
                                     nullptr);
                if (rc == ERROR_SUCCESS) RegCloseKey(h);
                break;
            }
            case Change::DeleteKey:
                rc = RegDeleteKeyW(m_root, key.c_str());
                if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
                break;
            case Change::SetValue: {
                const std::vector<uint8_t> bytes = ToRegistry(c.value);
                rc = RegSetKeyValueW(m_root, key.c_str(), Widen(c.name).c_str(), c.value.type,
                                     bytes.data(), static_cast<DWORD>(bytes.size()));
                break;
            }
            case Change::DeleteValue:
                rc = RegDeleteKeyValueW(m_root, key.c_str(), Widen(c.name).c_str());
                if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
                break;
        }
        if (rc != ERROR_SUCCESS) {
            if (error)
                *error = "the settings cannot be written: " + ErrorText(static_cast<DWORD>(rc));
            return false;
        }
        if (m_stepHook) m_stepHook(++step);
    }
    return true;
}

std::optional<RegValue> WinRegistryStore::QueryValue(const std::string& key,
                                                     const std::string& name) {
    Turn turn(*this, &m_readError);
    if (!turn.Ok()) return std::nullopt;
    m_readError.clear();
    KeyHandle h(OpenKey(key, KEY_QUERY_VALUE));
    if (!h) return std::nullopt;
    const auto raw = ReadRaw(h.get(), Widen(name));
    if (!raw) return std::nullopt;
    return FromRegistry(raw->first, raw->second);
}

bool WinRegistryStore::KeyExists(const std::string& key) {
    Turn turn(*this, &m_readError);
    if (!turn.Ok()) return false;
    m_readError.clear();
    return KeyHandle(OpenKey(key, KEY_READ)) != nullptr;
}

std::optional<std::vector<std::string>> WinRegistryStore::EnumSubKeys(const std::string& key) {
    Turn turn(*this, &m_readError);
    if (!turn.Ok()) return std::nullopt;
    m_readError.clear();
    KeyHandle h(OpenKey(key, KEY_READ));
    if (!h) return std::nullopt;
    std::vector<std::string> names;
    for (const auto& name : SubKeyNames(h.get())) names.push_back(Narrow(name));
    return names;
}

void WinRegistryStore::BeginReadSession() {
    if (m_sessionDepth++ > 0) return;
    m_readError.clear();
    m_sessionLocked = Lock(&m_readError);
}

void WinRegistryStore::EndReadSession() {
    if (--m_sessionDepth > 0) return;
    if (m_sessionLocked) Unlock();
    m_sessionLocked = false;
}

RegTree WinRegistryStore::LoadTouched(const std::vector<RegOp>& ops) {
    RegTree tree;
    RegKey* hive = tree.Create({kCurrentUserHive});
    std::vector<std::string> loaded;
    for (const auto& op : ops) {
        const auto parts = SplitRegPath(op.key);
        if (!parts) continue;
        // The keys on the way, as far as they exist.
        RegKey* at = hive;
        std::string path;
        bool exists = true;
        for (const auto& part : *parts) {
            path = Join(path, part);
            KeyHandle h(OpenKey(path, KEY_READ));
            if (!h) {
                exists = false;
                break;
            }
            at = &at->AddSubKey(part);
        }
        if (!exists) continue;
        bool done = false;
        for (const auto& l : loaded) done = done || EqualRegNames(l, path);
        if (done) continue;
        loaded.push_back(path);
        // The key the operation names: its values, and its subkeys by name (enough to refuse
        // the deletion of a key that has some).
        KeyHandle h(OpenKey(path, KEY_READ));
        if (!h) continue;
        at->values = AllValues(h.get());
        for (const auto& name : SubKeyNames(h.get())) at->AddSubKey(Narrow(name));
    }
    return tree;
}

RegApplyResult WinRegistryStore::Apply(const std::vector<RegOp>& ops) {
    RegApplyResult result;
    Turn turn(*this, &result.error);
    if (!turn.Ok()) {
        result.written = false;
        result.succeeded.assign(ops.size(), false);
        return result;
    }
    const RegTree before = LoadTouched(ops);
    RegTree after = before;
    bool changed = false;
    result.succeeded = ApplyRegOps(after, ops, changed);
    if (!changed) return result;

    std::vector<Change> changes;
    Diff(before.Root().FindSubKey(kCurrentUserHive), *after.Root().FindSubKey(kCurrentUserHive), "",
         changes);
    // The hive itself is never made or removed.
    std::erase_if(changes, [](const Change& c) {
        return c.key.empty() && c.kind != Change::SetValue && c.kind != Change::DeleteValue;
    });
    if (changes.empty()) return result;

    const std::string journal = Serialize(changes);
    const LONG rc = RegSetKeyValueW(m_root, Widen(kJournalKey).c_str(), kJournalValue, REG_BINARY,
                                    journal.data(), static_cast<DWORD>(journal.size()));
    if (rc != ERROR_SUCCESS) {
        result.written = false;
        result.succeeded.assign(ops.size(), false);
        result.error = "the settings cannot be written: " + ErrorText(static_cast<DWORD>(rc));
        return result;
    }
    if (m_stepHook) m_stepHook(0);
    if (!Replay(journal, &result.error)) {
        // Left for the next turn to finish; what is in the registry now is not whole.
        result.written = false;
        return result;
    }
    RegDeleteKeyW(m_root, Widen(kJournalKey).c_str());
    return result;
}

bool WinRegistryStore::Export(std::string& text, std::string* error) {
    text.clear();
    Turn turn(*this, error);
    if (!turn.Ok()) return false;
    RegTree tree;
    const auto parts = SplitRegPath(kAppKey);
    std::vector<std::string> path{kCurrentUserHive};
    path.insert(path.end(), parts->begin(), parts->end());
    LONG status = ERROR_SUCCESS;
    KeyHandle h(OpenKey(kAppKey, KEY_READ, &status));
    if (h) {
        LoadSubtree(h.get(), *tree.Create(path));
    } else if (status != ERROR_FILE_NOT_FOUND) {
        if (error) *error = "the settings cannot be read: " + ErrorText(static_cast<DWORD>(status));
        return false;
    }
    text = SerializeRegFile(tree);
    return true;
}

}  // namespace windows_os

}  // namespace voldrane::platform
