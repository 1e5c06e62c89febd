#include "offices/RegFile.h"

#include <algorithm>
#include <cstdio>

#include "offices/Utf8.h"

namespace voldrane {

using platform::kRegBinary;
using platform::kRegDword;
using platform::kRegSz;
using platform::RegApplyResult;

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";

char FoldUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    return s;
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (IsSpace(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// What may follow a complete value or section: nothing, or a comment.
bool IsEndOfLine(std::string_view rest) {
    rest = TrimLeft(rest);
    return rest.empty() || rest.front() == ';';
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (FoldUpper(s[i]) != FoldUpper(prefix[i])) return false;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// --- Text encodings ---------------------------------------------------------------------

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool IsValidUtf8(std::string_view s) {
    uint32_t cp;
    for (size_t i = 0; i < s.size();) {
        const size_t n = Utf8SequenceAt(s, i, cp);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

// Bytes that are not UTF-8 travel as the lone surrogates U+DC80..U+DCFF and come back as
// the same bytes, so any text survives the trip through UTF-16.
std::vector<uint8_t> Utf8ToUtf16Le(std::string_view s) {
    std::vector<uint8_t> out;
    out.reserve(s.size() * 2 + 2);
    const auto put = [&](uint32_t unit) {
        out.push_back(static_cast<uint8_t>(unit & 0xFF));
        out.push_back(static_cast<uint8_t>(unit >> 8));
    };
    uint32_t cp;
    for (size_t i = 0; i < s.size();) {
        const size_t n = Utf8SequenceAt(s, i, cp);
        if (n == 0) {
            put(0xDC00 | static_cast<unsigned char>(s[i]));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 | (cp >> 10));
            put(0xDC00 | (cp & 0x3FF));
        } else {
            put(cp);
        }
        i += n;
    }
    return out;
}

std::string Utf16ToUtf8(const uint8_t* p, size_t units, bool bigEndian) {
    const auto unit = [&](size_t k) -> uint32_t {
        const uint32_t lo = p[2 * k + (bigEndian ? 1 : 0)], hi = p[2 * k + (bigEndian ? 0 : 1)];
        return lo | (hi << 8);
    };
    std::string out;
    out.reserve(units);
    for (size_t k = 0; k < units; ++k) {
        const uint32_t u = unit(k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units) {
            const uint32_t v = unit(k + 1);
            if (v >= 0xDC00 && v <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
                ++k;
                continue;
            }
        }
        if (u >= 0xDC80 && u <= 0xDCFF) {
            out += static_cast<char>(u & 0xFF);  // a byte that was not UTF-8
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

// The file's text as UTF-8 (or, for REGEDIT4 files, the bytes as they are).
std::string DecodeFile(std::string_view bytes) {
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t n = bytes.size();
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) return Utf16ToUtf8(p + 2, (n - 2) / 2, false);
    if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) return Utf16ToUtf8(p + 2, (n - 2) / 2, true);
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return std::string(bytes.substr(3));
    // UTF-16LE without its BOM still shows as ASCII letters followed by zero bytes.
    if (n >= 4 && p[0] != 0 && p[1] == 0 && p[2] != 0 && p[3] == 0)
        return Utf16ToUtf8(p, n / 2, false);
    return std::string(bytes);
}

bool IsQuotable(std::string_view text) {
    for (char c : text)
        if (IsControl(static_cast<unsigned char>(c)) && c != '\t') return false;
    return IsValidUtf8(text);
}

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

// --- Parsing ----------------------------------------------------------------------------

// Reads a quoted text starting at s[pos] == '"'. Only \\ and \" are escapes, as the registry
// editor writes them; any other backslash stands for itself.
bool ReadQuoted(std::string_view s, size_t& pos, std::string& out) {
    out.clear();
    for (size_t i = pos + 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out += s[++i];
        } else if (c == '"') {
            pos = i + 1;
            return true;
        } else {
            out += c;
        }
    }
    return false;
}

void SetValueIn(RegKey& key, std::string name, RegValue value) {
    for (auto& v : key.values) {
        if (EqualRegNames(v.name, name)) {
            v.value = std::move(value);
            return;
        }
    }
    key.values.push_back({std::move(name), std::move(value)});
}

class Parser {
  public:
    explicit Parser(std::string_view bytes) : m_text(DecodeFile(bytes)) {
        std::string_view rest = m_text;
        while (!rest.empty() || m_lines.empty()) {
            const size_t nl = rest.find('\n');
            m_lines.push_back(TrimRight(rest.substr(0, nl)));
            if (nl == std::string_view::npos) break;
            rest.remove_prefix(nl + 1);
        }
    }

    RegParseResult Run() {
        bool first = true;
        for (m_index = 0; m_index < m_lines.size(); ++m_index) {
            const std::string_view line = TrimLeft(m_lines[m_index]);
            if (line.empty() || line.front() == ';') continue;
            if (first) {
                first = false;
                if (line == kHeader5 || line == kHeader4) {
                    m_result.hasHeader = true;
                    m_result.version =
                        line == kHeader4 ? RegFileVersion::Regedit4 : RegFileVersion::Regedit5;
                    continue;
                }
                Issue("not a registry editor file header");
                // Read on: a file that lost its first line still holds the user's settings.
            }
            if (line.front() == '[') {
                Section(line);
            } else if (line.front() == '"' || line.front() == '@') {
                Value(line);
            } else {
                Issue("neither a [key] line nor a value");
            }
        }
        return std::move(m_result);
    }

  private:
    void Issue(std::string reason) {
        m_result.issues.push_back({static_cast<int>(m_index) + 1, std::move(reason)});
    }

    void Section(std::string_view line) {
        m_key = nullptr;
        m_skipValues = false;
        const size_t close = line.rfind(']');
        if (close == std::string_view::npos || !IsEndOfLine(line.substr(close + 1))) {
            m_badKey = true;
            return Issue("key line without its closing ']'");
        }
        std::string_view inner = line.substr(1, close - 1);
        const bool remove = !inner.empty() && inner.front() == '-';
        if (remove) inner.remove_prefix(1);
        if (!inner.empty() && inner.back() == '\\') inner.remove_suffix(1);
        auto path = SplitRegPath(inner);
        std::optional<std::string> hive;
        if (path && !path->empty()) hive = CanonicalHiveName(path->front());
        if (!hive) {
            m_badKey = true;
            return Issue("not a key path below a registry root: " + std::string(inner));
        }
        path->front() = *hive;
        m_badKey = false;
        if (remove) {
            m_result.tree.RemoveTree(*path);
            m_skipValues = true;  // the registry editor ignores values of a removed key
            return;
        }
        m_key = m_result.tree.Create(*path);
    }

    // A hex value that is skipped still takes its continuation lines with it.
    void SkipContinuations(std::string_view line) {
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos || !StartsWithNoCase(TrimLeft(line.substr(eq + 1)), "hex"))
            return;
        while (m_index + 1 < m_lines.size()) {
            const std::string_view data = TrimRight(line.substr(0, line.find(';')));
            if (data.empty() || data.back() != '\\') return;
            line = m_lines[++m_index];
        }
    }

    void Value(std::string_view line) {
        if (m_skipValues) return SkipContinuations(line);
        std::string name;
        size_t pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else if (!ReadQuoted(line, pos, name)) {
            return Issue("value name without its closing quote");
        }
        std::string_view rest = TrimLeft(line.substr(pos));
        if (rest.empty() || rest.front() != '=') return Issue("value without '='");
        rest = TrimLeft(rest.substr(1));
        if (!m_key) {
            Issue(m_badKey ? "value of a key that could not be read"
                           : "value before any [key] line");
            return SkipContinuations(line);
        }
        if (!rest.empty() && rest.front() == '"') {
            std::string text;
            size_t end = 0;
            if (!ReadQuoted(rest, end, text)) return Issue("text without its closing quote");
            if (!IsEndOfLine(rest.substr(end)))
                return Issue("unexpected characters after the text");
            return SetValueIn(*m_key, std::move(name), {kRegSz, {text.begin(), text.end()}});
        }
        if (rest == "-") {
            std::erase_if(m_key->values,
                          [&](const RegNamedValue& v) { return EqualRegNames(v.name, name); });
            return;
        }
        if (StartsWithNoCase(rest, "dword:")) {
            std::string_view digits = rest.substr(6);
            const size_t comment = digits.find(';');
            digits = TrimRight(digits.substr(0, comment));
            uint32_t number = 0;
            if (digits.empty() || digits.size() > 8) return Issue("dword needs 1 to 8 hex digits");
            for (char c : digits) {
                const int d = HexDigit(c);
                if (d < 0) return Issue("dword needs 1 to 8 hex digits");
                number = number << 4 | static_cast<uint32_t>(d);
            }
            std::vector<uint8_t> data = {
                static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
            return SetValueIn(*m_key, std::move(name), {kRegDword, std::move(data)});
        }
        if (StartsWithNoCase(rest, "hex")) return Hex(std::move(name), rest.substr(3));
        Issue("unknown kind of value data");
    }

    void Hex(std::string name, std::string_view rest) {
        uint32_t type = kRegBinary;
        if (!rest.empty() && rest.front() == '(') {
            const size_t close = rest.find(')');
            const std::string_view digits =
                rest.substr(1, close == std::string_view::npos ? 0 : close - 1);
            if (close == std::string_view::npos || digits.empty() || digits.size() > 8)
                return Issue("hex(N) needs a hex type number");
            type = 0;
            for (char c : digits) {
                const int d = HexDigit(c);
                if (d < 0) return Issue("hex(N) needs a hex type number");
                type = type << 4 | static_cast<uint32_t>(d);
            }
            rest.remove_prefix(close + 1);
        }
        if (rest.empty() || rest.front() != ':') return Issue("hex data without ':'");
        rest.remove_prefix(1);

        // Gather the continuation lines: each line but the last ends with '\'.
        const size_t firstLine = m_index;
        std::string list;
        while (true) {
            std::string_view part = rest.substr(0, rest.find(';'));
            part = TrimRight(part);
            if (part.empty() || part.back() != '\\') {
                list += part;
                break;
            }
            part.remove_suffix(1);
            list += part;
            if (m_index + 1 >= m_lines.size()) {
                m_index = firstLine;
                return Issue("hex data continues past the end of the file");
            }
            rest = TrimLeft(m_lines[++m_index]);
        }

        std::vector<uint8_t> data;
        std::string_view items = list;
        while (true) {
            const size_t comma = items.find(',');
            const std::string_view item = TrimRight(TrimLeft(items.substr(0, comma)));
            const bool last = comma == std::string_view::npos;
            if (item.empty()) {
                // Only an empty list, or a comma at its very end, leaves an empty item.
                if (last && (data.empty() || list.find_last_not_of(" \t") == list.rfind(',')))
                    break;
                return IssueAt(firstLine, "empty byte in hex data");
            }
            if (item.size() > 2 || HexDigit(item[0]) < 0 ||
                (item.size() == 2 && HexDigit(item[1]) < 0))
                return IssueAt(firstLine, "not a hex byte: " + std::string(item));
            data.push_back(static_cast<uint8_t>(
                item.size() == 1 ? HexDigit(item[0]) : HexDigit(item[0]) * 16 + HexDigit(item[1])));
            if (last) break;
            items.remove_prefix(comma + 1);
        }

        if (type == kRegSz) {
            std::string text;
            if (m_result.version == RegFileVersion::Regedit4) {
                text.assign(data.begin(), data.end());
                if (!text.empty() && text.back() == '\0') text.pop_back();
            } else {
                if (data.size() % 2 != 0)
                    return IssueAt(firstLine, "hex(1) text of an odd number of bytes");
                size_t units = data.size() / 2;
                if (units > 0 && data[2 * units - 2] == 0 && data[2 * units - 1] == 0) --units;
                text = Utf16ToUtf8(data.data(), units, false);
            }
            data.assign(text.begin(), text.end());
        }
        SetValueIn(*m_key, std::move(name), {type, std::move(data)});
    }

    void IssueAt(size_t index, std::string reason) {
        m_result.issues.push_back({static_cast<int>(index) + 1, std::move(reason)});
    }

    std::string m_text;
    std::vector<std::string_view> m_lines;
    size_t m_index = 0;
    RegParseResult m_result;
    RegKey* m_key = nullptr;
    bool m_badKey = false;
    bool m_skipValues = false;
};

// --- Serialising ------------------------------------------------------------------------

void AppendHex(std::string& out, size_t lineStart, std::string_view prefix,
               const std::vector<uint8_t>& data) {
    out += prefix;
    static const char* kDigits = "0123456789abcdef";
    size_t column = out.size() - lineStart;
    for (size_t i = 0; i < data.size(); ++i) {
        if (column + 3 > 78) {  // keep lines within 80 columns, as the registry editor does
            out += "\\\n  ";
            column = 2;
        }
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 0xF];
        column += 2;
        if (i + 1 < data.size()) {
            out += ',';
            ++column;
        }
    }
}

void AppendValue(std::string& out, const RegNamedValue& v) {
    const size_t lineStart = out.size();
    if (v.name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, v.name);
    }
    out += '=';
    const RegValue& value = v.value;
    if (value.type == kRegSz) {
        const std::string_view text(reinterpret_cast<const char*>(value.data.data()),
                                    value.data.size());
        if (IsQuotable(text)) {
            AppendQuoted(out, text);
        } else {
            std::vector<uint8_t> utf16 = Utf8ToUtf16Le(text);
            utf16.push_back(0);
            utf16.push_back(0);
            AppendHex(out, lineStart, "hex(1):", utf16);
        }
    } else if (value.type == kRegDword && value.data.size() == 4) {
        char buf[16];
        const uint32_t n = value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                           static_cast<uint32_t>(value.data[3]) << 24;
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        out += buf;
    } else if (value.type == kRegBinary) {
        AppendHex(out, lineStart, "hex:", value.data);
    } else {
        char buf[24];
        std::snprintf(buf, sizeof buf, "hex(%x):", value.type);
        AppendHex(out, lineStart, buf, value.data);
    }
    out += '\n';
}

void AppendKey(std::string& out, const RegKey& key, std::string& path, bool hive) {
    const size_t mark = path.size();
    if (!hive) path += '\\';
    path += key.name;
    if (!hive || !key.values.empty()) {
        out += '[';
        out += path;
        out += "]\n";
        for (const auto& v : key.values) AppendValue(out, v);
        out += '\n';
    }
    for (const auto& sub : key.subkeys) AppendKey(out, sub, path, false);
    path.resize(mark);
}

struct NameLess {
    bool operator()(const RegKey& k, std::string_view name) const {
        return CompareRegNames(k.name, name) < 0;
    }
};

std::optional<std::vector<std::string>> UserPath(const std::string& key) {
    auto path = SplitRegPath(key);
    if (path) path->insert(path->begin(), kCurrentUserHive);
    return path;
}

}  // namespace

int CompareRegNames(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(FoldUpper(a[i]));
        const auto y = static_cast<unsigned char>(FoldUpper(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool EqualRegNames(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareRegNames(a, b) == 0;
}

const RegKey* RegKey::FindSubKey(std::string_view name) const {
    auto it = std::lower_bound(subkeys.begin(), subkeys.end(), name, NameLess{});
    return it != subkeys.end() && EqualRegNames(it->name, name) ? &*it : nullptr;
}

RegKey* RegKey::FindSubKey(std::string_view name) {
    return const_cast<RegKey*>(static_cast<const RegKey*>(this)->FindSubKey(name));
}

RegKey& RegKey::AddSubKey(std::string_view name) {
    auto it = std::lower_bound(subkeys.begin(), subkeys.end(), name, NameLess{});
    if (it != subkeys.end() && EqualRegNames(it->name, name)) return *it;
    RegKey key;
    key.name = std::string(name);
    return *subkeys.insert(it, std::move(key));
}

const RegNamedValue* RegKey::FindValue(std::string_view name) const {
    for (const auto& v : values)
        if (EqualRegNames(v.name, name)) return &v;
    return nullptr;
}

const RegKey* RegTree::Find(const std::vector<std::string>& path) const {
    const RegKey* key = &m_root;
    for (const auto& part : path) {
        key = key->FindSubKey(part);
        if (!key) return nullptr;
    }
    return key;
}

RegKey* RegTree::Find(const std::vector<std::string>& path) {
    return const_cast<RegKey*>(static_cast<const RegTree*>(this)->Find(path));
}

RegKey* RegTree::Create(const std::vector<std::string>& path) {
    if (path.empty()) return nullptr;
    RegKey* key = &m_root;
    for (const auto& part : path) key = &key->AddSubKey(part);
    return key;
}

bool RegTree::RemoveTree(const std::vector<std::string>& path) {
    if (path.empty()) return false;
    RegKey* parent = Find(std::vector<std::string>(path.begin(), path.end() - 1));
    if (!parent) return false;
    auto it =
        std::lower_bound(parent->subkeys.begin(), parent->subkeys.end(), path.back(), NameLess{});
    if (it == parent->subkeys.end() || !EqualRegNames(it->name, path.back())) return false;
    parent->subkeys.erase(it);
    return true;
}

std::optional<std::vector<std::string>> SplitRegPath(std::string_view path) {
    std::vector<std::string> parts;
    if (path.empty()) return parts;
    while (true) {
        const size_t sep = path.find('\\');
        const std::string_view part = path.substr(0, sep);
        if (part.empty()) return std::nullopt;
        for (char c : part)
            if (IsControl(static_cast<unsigned char>(c))) return std::nullopt;
        parts.emplace_back(part);
        if (sep == std::string_view::npos) return parts;
        path.remove_prefix(sep + 1);
    }
}

std::optional<std::string> CanonicalHiveName(std::string_view name) {
    static const char* const kHives[][2] = {{"HKEY_CURRENT_USER", "HKCU"},
                                            {"HKEY_LOCAL_MACHINE", "HKLM"},
                                            {"HKEY_CLASSES_ROOT", "HKCR"},
                                            {"HKEY_USERS", "HKU"},
                                            {"HKEY_CURRENT_CONFIG", "HKCC"}};
    for (const auto& hive : kHives)
        if (EqualRegNames(name, hive[0]) || EqualRegNames(name, hive[1]))
            return std::string(hive[0]);
    return std::nullopt;
}

RegParseResult ParseRegFile(std::string_view bytes) {
    return Parser(bytes).Run();
}

std::string SerializeRegFile(const RegTree& tree) {
    std::string out(kHeader5);
    out += "\n\n";
    std::string path;
    for (const auto& hive : tree.Root().subkeys) AppendKey(out, hive, path, true);
    return out;
}

std::vector<bool> ApplyRegOps(RegTree& tree, const std::vector<RegOp>& ops, bool& changed) {
    changed = false;
    std::vector<bool> results(ops.size(), false);
    const bool guarded = std::any_of(
        ops.begin(), ops.end(), [](const RegOp& op) { return op.kind == RegOp::CreateNewKey; });
    // A guarded batch works on a copy, so that a refused batch leaves no trace.
    RegTree copy;
    if (guarded) copy = tree;
    RegTree& target = guarded ? copy : tree;

    for (size_t i = 0; i < ops.size(); ++i) {
        const RegOp& op = ops[i];
        const auto path = UserPath(op.key);
        if (!path) {
            if (op.kind == RegOp::CreateNewKey) {
                changed = false;
                return std::vector<bool>(ops.size(), false);
            }
            continue;
        }
        switch (op.kind) {
            case RegOp::CreateKey:
            case RegOp::CreateNewKey:
                if (target.Find(*path)) {
                    if (op.kind == RegOp::CreateNewKey) {
                        changed = false;
                        return std::vector<bool>(ops.size(), false);
                    }
                } else {
                    target.Create(*path);
                    changed = true;
                }
                results[i] = true;
                break;
            case RegOp::DeleteKey: {
                const RegKey* key = target.Find(*path);
                if (path->size() > 1 && key && key->subkeys.empty()) {
                    target.RemoveTree(*path);
                    changed = results[i] = true;
                }
                break;
            }
            case RegOp::SetValue: {
                RegKey* key = target.Find(*path);
                const bool nameOk = std::none_of(op.name.begin(), op.name.end(), [](char c) {
                    return IsControl(static_cast<unsigned char>(c));
                });
                if (!key || !nameOk) break;
                const RegNamedValue* old = key->FindValue(op.name);
                if (!old || !(old->value == op.value)) {
                    SetValueIn(*key, op.name, op.value);
                    changed = true;
                }
                results[i] = true;
                break;
            }
            case RegOp::DeleteValue: {
                RegKey* key = target.Find(*path);
                if (!key) break;
                const auto erased = std::erase_if(key->values, [&](const RegNamedValue& v) {
                    return EqualRegNames(v.name, op.name);
                });
                if (erased > 0) changed = results[i] = true;
                break;
            }
        }
    }
    if (guarded && changed) tree = std::move(copy);
    return results;
}

const RegKey* FindUserKey(const RegTree& tree, const std::string& key) {
    const auto path = UserPath(key);
    return path ? tree.Find(*path) : nullptr;
}

bool UserKeyExists(const RegTree& tree, const std::string& key) {
    return key.empty() || FindUserKey(tree, key) != nullptr;  // the hive itself always exists
}

std::optional<std::vector<std::string>> ListUserSubKeys(const RegTree& tree,
                                                        const std::string& key) {
    const RegKey* k = FindUserKey(tree, key);
    if (!k) {
        if (key.empty()) return std::vector<std::string>{};
        return std::nullopt;
    }
    std::vector<std::string> names;
    names.reserve(k->subkeys.size());
    for (const auto& sub : k->subkeys) names.push_back(sub.name);
    return names;
}

std::optional<RegValue> MemoryRegistryStore::QueryValue(const std::string& key,
                                                        const std::string& name) {
    const RegKey* k = FindUserKey(m_tree, key);
    const RegNamedValue* v = k ? k->FindValue(name) : nullptr;
    if (!v) return std::nullopt;
    return v->value;
}

bool MemoryRegistryStore::KeyExists(const std::string& key) {
    return UserKeyExists(m_tree, key);
}

std::optional<std::vector<std::string>> MemoryRegistryStore::EnumSubKeys(const std::string& key) {
    return ListUserSubKeys(m_tree, key);
}

RegApplyResult MemoryRegistryStore::Apply(const std::vector<RegOp>& ops) {
    RegApplyResult result;
    bool changed = false;
    if (!m_failWrites.empty()) {
        RegTree trial = m_tree;
        result.succeeded = ApplyRegOps(trial, ops, changed);
        if (changed) {
            result.written = false;
            result.succeeded.assign(ops.size(), false);
            result.error = m_failWrites;
        }
        return result;
    }
    result.succeeded = ApplyRegOps(m_tree, ops, changed);
    return result;
}

bool MemoryRegistryStore::Export(std::string& text, std::string*) {
    text = SerializeRegFile(m_tree);
    return true;
}

}  // namespace voldrane
