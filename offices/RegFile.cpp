#include "offices/RegFile.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "offices/RegText.h"
#include "offices/Utf8.h"

namespace voldrane {

using platform::kRegBinary;
using platform::kRegDword;
using platform::kRegExpandSz;
using platform::kRegMultiSz;
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

// The first line that is neither blank nor a comment: where the header is.
std::string_view FirstContentLine(std::string_view text) {
    for (size_t pos = 0; pos < text.size();) {
        const size_t nl = text.find('\n', pos);
        const size_t end = nl == std::string_view::npos ? text.size() : nl;
        const std::string_view line = TrimRight(TrimLeft(text.substr(pos, end - pos)));
        if (!line.empty() && line.front() != ';') return line;
        pos = end + 1;
    }
    return {};
}

// The file's text as UTF-8, and the form it was found in. A file that needs no conversion is
// used where it lies; `storage` holds a converted one.
std::string_view DecodeFile(std::string_view bytes, std::string& storage, RegFileForm& form) {
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t n = bytes.size();
    std::string_view text;
    form.encoding = RegFileEncoding::Utf16Le;
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        text = storage = Utf16ToUtf8(p + 2, (n - 2) / 2, false);
    } else if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) {
        text = storage = Utf16ToUtf8(p + 2, (n - 2) / 2, true);
    } else if (n >= 4 && p[0] != 0 && p[1] == 0 && p[2] != 0 && p[3] == 0) {
        // UTF-16LE without its BOM still shows as ASCII letters followed by zero bytes.
        text = storage = Utf16ToUtf8(p, n / 2, false);
    } else if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
        form.encoding = RegFileEncoding::Utf8WithBom;
        text = bytes.substr(3);
        if (!IsValidUtf8(text)) text = storage = ValidUtf8(text);
    } else if (FirstContentLine(bytes) == kHeader4) {
        // The registry editor wrote (and reads) REGEDIT4 files in the ANSI code page.
        form = kRegeditForm;
        return storage = Windows1252ToUtf8(bytes);
    } else {
        form.encoding = RegFileEncoding::Utf8;
        text = bytes;
        if (!IsValidUtf8(text)) text = storage = ValidUtf8(text);
    }
    const size_t nl = text.find('\n');
    form.crlf = nl == std::string_view::npos ? form.encoding == RegFileEncoding::Utf16Le
                                             : nl > 0 && text[nl - 1] == '\r';
    return text;
}

bool IsQuotable(std::string_view text) {
    for (char c : text)
        if (IsControl(static_cast<unsigned char>(c)) && c != '\t') return false;
    return true;
}

// Line breaks in a name (which has no hex form) are written as the registry editor writes
// them; a text that holds one is written as hex(1) instead (see AppendValue).
void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            if (c == '\\' || c == '"') out += '\\';
            out += c;
        }
    }
    out += '"';
}

// --- Parsing ----------------------------------------------------------------------------

// Reads a quoted text starting at s[pos] == '"'. The escapes are the registry editor's: \\,
// \", and \n and \r for line breaks; any other backslash stands for itself, as in a path
// written by hand ("C:\Program Files").
bool ReadQuoted(std::string_view s, size_t& pos, std::string& out) {
    out.clear();
    // Runs up to the next quote or backslash are taken whole: most texts have neither.
    for (size_t i = pos + 1;;) {
        const size_t quote = s.find('"', i);
        if (quote == std::string_view::npos) return false;
        const size_t slash = s.find('\\', i);
        if (slash == std::string_view::npos || slash > quote) {
            out.append(s.substr(i, quote - i));
            pos = quote + 1;
            return true;
        }
        out.append(s.substr(i, slash - i));
        const char next = slash + 1 < s.size() ? s[slash + 1] : '\0';
        if (next == '\\' || next == '"' || next == 'n' || next == 'r') {
            out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
            i = slash + 2;
        } else {
            out += '\\';
            i = slash + 1;
        }
    }
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

// The keys of a file while it is read: flat, found through hash tables, and put together into
// the tree only at the end, so that neither the order of the keys in the file nor the number
// of values in one key makes a parse slower than linear.
struct BuildKey {
    RegKey key;  // name and values; the subkeys are put in at the end
    uint32_t parent = 0;
    bool removed = false;           // by a "[-KEY]" line
    std::vector<uint8_t> erased;    // values removed by a "NAME"=- line, left out at the end
    std::vector<uint32_t> subkeys;  // as created, removed ones too
    // Names, folded, to subkeys and to values' places, once there are more than a few.
    std::unique_ptr<std::unordered_map<std::string, uint32_t>> subkeyIndex;
    std::unique_ptr<std::unordered_map<std::string, size_t>> valueIndex;
};

// Up to this many subkeys or values a key is searched from end to end.
constexpr size_t kIndexFrom = 16;

class Parser {
  public:
    explicit Parser(std::string_view bytes) {
        m_text = DecodeFile(bytes, m_decoded, m_result.form);
        m_nodes.emplace_back();  // the root above the hives
    }

    RegParseResult Run() {
        bool first = true;
        while (NextLine()) {
            const std::string_view line = TrimLeft(m_line);
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
        m_result.tree = Build();
        return std::move(m_result);
    }

  private:
    static constexpr uint32_t kNoKey = UINT32_MAX;

    struct Mark {
        size_t next;
        size_t lineNo;
        std::string_view line;
    };

    // Lines are found as the parse goes, never all kept: a file of blank lines costs no memory.
    bool HasNextLine() const {
        return m_next < m_text.size() || (m_next == m_text.size() && m_lineNo == 0);
    }
    bool NextLine() {
        if (!HasNextLine()) return false;
        const size_t nl = m_text.find('\n', m_next);
        const size_t end = nl == std::string_view::npos ? m_text.size() : nl;
        m_line = TrimRight(m_text.substr(m_next, end - m_next));
        m_next = end + 1;
        ++m_lineNo;
        return true;
    }
    Mark Save() const { return {m_next, m_lineNo, m_line}; }
    void Restore(const Mark& m) {
        m_next = m.next;
        m_lineNo = m.lineNo;
        m_line = m.line;
    }

    void Issue(std::string_view reason, std::string_view detail = {}) {
        IssueAt(m_lineNo, reason, detail);
    }
    void IssueAt(size_t lineNo, std::string_view reason, std::string_view detail = {}) {
        ++m_result.issueCount;
        if (m_result.issues.size() >= kMaxListedRegIssues) return;
        std::string text(reason);
        if (detail.size() > kMaxIssueDetail) {
            size_t cut = kMaxIssueDetail;  // not inside a UTF-8 sequence
            while (cut > 0 && (static_cast<unsigned char>(detail[cut]) & 0xC0) == 0x80) --cut;
            text.append(detail.substr(0, cut)).append("...");
        } else {
            text.append(detail);
        }
        m_result.issues.push_back(
            {static_cast<int>(std::min<size_t>(lineNo, INT_MAX)), std::move(text)});
    }

    void NoteDeletion() {
        if (m_result.firstDeletionLine == 0)
            m_result.firstDeletionLine = static_cast<int>(std::min<size_t>(m_lineNo, INT_MAX));
    }

    static std::string Folded(std::string_view name) { return RegFoldedName(name); }

    // A subkey of `at` by name; kNoKey when there is none.
    uint32_t FindSubKey(uint32_t at, std::string_view name) const {
        const BuildKey& node = m_nodes[at];
        if (node.subkeyIndex) {
            const auto it = node.subkeyIndex->find(Folded(name));
            return it == node.subkeyIndex->end() ? kNoKey : it->second;
        }
        for (uint32_t sub : node.subkeys)
            if (!m_nodes[sub].removed && EqualRegNames(m_nodes[sub].key.name, name)) return sub;
        return kNoKey;
    }

    uint32_t AddSubKey(uint32_t at, std::string name) {
        const auto sub = static_cast<uint32_t>(m_nodes.size());
        BuildKey& node = m_nodes.emplace_back();
        node.key.name = std::move(name);
        node.parent = at;
        BuildKey& parent = m_nodes[at];
        parent.subkeys.push_back(sub);
        if (parent.subkeyIndex) {
            parent.subkeyIndex->emplace(Folded(m_nodes[sub].key.name), sub);
        } else if (parent.subkeys.size() > kIndexFrom) {
            parent.subkeyIndex = std::make_unique<std::unordered_map<std::string, uint32_t>>();
            for (uint32_t s : parent.subkeys)
                if (!m_nodes[s].removed)
                    parent.subkeyIndex->emplace(Folded(m_nodes[s].key.name), s);
        }
        return sub;
    }

    uint32_t CreateKey(std::vector<std::string>& path) {
        // Sections mostly follow one another in the same parent: start below what the last
        // one shares with this one.
        size_t shared = 0;
        while (shared < path.size() && shared < m_lastPath.size() &&
               EqualRegNames(path[shared], m_nodes[m_lastPath[shared]].key.name))
            ++shared;
        m_lastPath.resize(shared);
        uint32_t at = shared > 0 ? m_lastPath.back() : 0;
        for (size_t i = shared; i < path.size(); ++i) {
            const uint32_t sub = FindSubKey(at, path[i]);
            at = sub != kNoKey ? sub : AddSubKey(at, std::move(path[i]));
            m_lastPath.push_back(at);
        }
        return at;
    }

    void RemoveKey(const std::vector<std::string>& path) {
        m_lastPath.clear();
        uint32_t at = 0;
        for (const auto& part : path) {
            at = FindSubKey(at, part);
            if (at == kNoKey) return;
        }
        // What is below it goes with it: its subkeys can no longer be reached.
        BuildKey& node = m_nodes[at];
        node.removed = true;
        BuildKey& parent = m_nodes[node.parent];
        if (parent.subkeyIndex) parent.subkeyIndex->erase(Folded(node.key.name));
    }

    bool IsErased(const BuildKey& node, size_t index) const {
        return index < node.erased.size() && node.erased[index];
    }

    // The place of a value of the current key by name; SIZE_MAX when there is none.
    size_t FindValue(std::string_view name) const {
        const BuildKey& node = m_nodes[m_key];
        if (node.valueIndex) {
            const auto it = node.valueIndex->find(Folded(name));
            return it == node.valueIndex->end() ? SIZE_MAX : it->second;
        }
        for (size_t i = 0; i < node.key.values.size(); ++i)
            if (!IsErased(node, i) && EqualRegNames(node.key.values[i].name, name)) return i;
        return SIZE_MAX;
    }

    void SetValue(std::string name, RegValue value) {
        const size_t found = FindValue(name);
        BuildKey& node = m_nodes[m_key];
        if (found != SIZE_MAX) {
            node.key.values[found].value = std::move(value);
            return;
        }
        node.key.values.push_back({std::move(name), std::move(value)});
        if (node.valueIndex) {
            node.valueIndex->emplace(Folded(node.key.values.back().name),
                                     node.key.values.size() - 1);
        } else if (node.key.values.size() > kIndexFrom) {
            node.valueIndex = std::make_unique<std::unordered_map<std::string, size_t>>();
            for (size_t i = 0; i < node.key.values.size(); ++i)
                if (!IsErased(node, i))
                    node.valueIndex->emplace(Folded(node.key.values[i].name), i);
        }
    }

    void EraseValue(std::string_view name) {
        const size_t index = FindValue(name);
        if (index == SIZE_MAX) return;
        BuildKey& node = m_nodes[m_key];
        if (node.valueIndex) node.valueIndex->erase(Folded(name));
        if (node.erased.size() < node.key.values.size()) node.erased.resize(node.key.values.size());
        node.erased[index] = 1;
        node.key.values[index] = {};
    }

    // The nested tree, made without recursion: a key's number is always above its parent's,
    // so going down the numbers meets every key after all of its subkeys are complete.
    RegTree Build() {
        std::vector<uint8_t> kept(m_nodes.size(), 0);
        kept[0] = 1;
        for (size_t i = 1; i < m_nodes.size(); ++i)
            kept[i] = !m_nodes[i].removed && kept[m_nodes[i].parent];
        const auto byName = [](const RegKey& a, const RegKey& b) {
            return CompareRegNames(a.name, b.name) < 0;
        };
        for (size_t i = m_nodes.size(); i-- > 0;) {
            if (!kept[i]) continue;
            BuildKey& node = m_nodes[i];
            node.subkeyIndex.reset();
            node.valueIndex.reset();
            if (!node.erased.empty()) {
                size_t out = 0;
                for (size_t v = 0; v < node.key.values.size(); ++v)
                    if (v >= node.erased.size() || !node.erased[v]) {
                        if (out != v) node.key.values[out] = std::move(node.key.values[v]);
                        ++out;
                    }
                node.key.values.resize(out);
            }
            // Its subkeys are complete by now; in the order they were made, which is mostly
            // already the sorted one.
            node.key.subkeys.reserve(node.subkeys.size());
            for (uint32_t sub : node.subkeys)
                if (kept[sub]) node.key.subkeys.push_back(std::move(m_nodes[sub].key));
            if (!std::is_sorted(node.key.subkeys.begin(), node.key.subkeys.end(), byName))
                std::sort(node.key.subkeys.begin(), node.key.subkeys.end(), byName);
        }
        RegTree tree(std::move(m_nodes[0].key));
        std::vector<BuildKey>().swap(m_nodes);
        return tree;
    }

    void Section(std::string_view line) {
        m_key = kNoKey;
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
        if (static_cast<size_t>(std::count(inner.begin(), inner.end(), '\\')) >= kMaxRegKeyDepth) {
            m_badKey = true;
            return Issue("key path deeper than the registry's 512 levels: ", inner);
        }
        auto path = SplitRegPath(inner);
        std::optional<std::string> hive;
        if (path && !path->empty()) hive = CanonicalHiveName(path->front());
        if (!hive) {
            m_badKey = true;
            return Issue("not a key path below a registry root: ", inner);
        }
        path->front() = *hive;
        m_badKey = false;
        if (remove) {
            NoteDeletion();
            RemoveKey(*path);
            m_skipValues = true;  // the registry editor ignores values of a removed key
            return;
        }
        m_key = CreateKey(*path);
    }

    // A hex value that is skipped still takes its continuation lines with it.
    void SkipContinuations(std::string_view line) {
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos || !StartsWithNoCase(TrimLeft(line.substr(eq + 1)), "hex"))
            return;
        while (HasNextLine()) {
            const std::string_view data = TrimRight(line.substr(0, line.find(';')));
            if (data.empty() || data.back() != '\\') return;
            NextLine();
            line = m_line;
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
        if (m_key == kNoKey) {
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
            return SetValue(std::move(name), {kRegSz, {text.begin(), text.end()}});
        }
        if (rest == "-") {
            NoteDeletion();
            return EraseValue(name);
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
            return SetValue(std::move(name), {kRegDword, std::move(data)});
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
        const Mark start = Save();
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
            // Once continuation lines were found to run to the end of the file from some line
            // on, any later value that reaches that line runs to the end too: it is not read
            // again, which would make such a file cost quadratic time.
            if (!HasNextLine() || m_lineNo + 1 >= m_continuesToEnd) {
                m_continuesToEnd = std::min(m_continuesToEnd, start.lineNo + 1);
                Restore(start);
                return Issue("hex data continues past the end of the file");
            }
            NextLine();
            rest = TrimLeft(m_line);
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
                return IssueAt(start.lineNo, "empty byte in hex data");
            }
            if (item.size() > 2 || HexDigit(item[0]) < 0 ||
                (item.size() == 2 && HexDigit(item[1]) < 0))
                return IssueAt(start.lineNo, "not a hex byte: ", item);
            data.push_back(static_cast<uint8_t>(
                item.size() == 1 ? HexDigit(item[0]) : HexDigit(item[0]) * 16 + HexDigit(item[1])));
            if (last) break;
            items.remove_prefix(comma + 1);
        }

        const bool ansi = m_result.version == RegFileVersion::Regedit4;
        if (ansi && (type == kRegExpandSz || type == kRegMultiSz)) {
            // Kept as the registry holds them, in UTF-16, as the registry editor imports them.
            std::vector<uint8_t> wide;
            wide.reserve(data.size() * 2);
            for (uint8_t byte : data) {
                const uint32_t unit = Windows1252Char(byte);
                wide.push_back(static_cast<uint8_t>(unit & 0xFF));
                wide.push_back(static_cast<uint8_t>(unit >> 8));
            }
            data = std::move(wide);
        }
        if (type == kRegSz) {
            std::string text;
            if (ansi) {
                text = Windows1252ToUtf8(
                    std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
                if (!text.empty() && text.back() == '\0') text.pop_back();
            } else {
                if (data.size() % 2 != 0)
                    return IssueAt(start.lineNo, "hex(1) text of an odd number of bytes");
                size_t units = data.size() / 2;
                if (units > 0 && data[2 * units - 2] == 0 && data[2 * units - 1] == 0) --units;
                text = Utf16ToUtf8(data.data(), units, false);
            }
            data.assign(text.begin(), text.end());
        }
        SetValue(std::move(name), {type, std::move(data)});
    }

    static constexpr size_t kMaxIssueDetail = 80;

    std::string m_decoded;  // the file's text when it had to be converted to UTF-8
    std::string_view m_text;
    size_t m_next = 0;    // where the next line starts
    size_t m_lineNo = 0;  // of m_line, 1-based
    std::string_view m_line;
    size_t m_continuesToEnd = SIZE_MAX;
    RegParseResult m_result;
    std::vector<BuildKey> m_nodes;
    std::vector<uint32_t> m_lastPath;  // the keys of the last section's path, from the hive
    uint32_t m_key = kNoKey;
    bool m_badKey = false;
    bool m_skipValues = false;
};

// --- Serialising ------------------------------------------------------------------------

// `text` as valid UTF-8 (see ValidUtf8); `storage` holds it when it had to be converted.
std::string_view AsUtf8(std::string_view text, std::string& storage) {
    if (IsValidUtf8(text)) return text;
    return storage = ValidUtf8(text);
}

std::string_view AsChars(const std::vector<uint8_t>& data) {
    return {reinterpret_cast<const char*>(data.data()), data.size()};
}

void AppendHex(std::string& out, size_t lineStart, std::string_view prefix, std::string_view data) {
    out += prefix;
    static const char* kDigits = "0123456789abcdef";
    size_t column = out.size() - lineStart;
    for (size_t i = 0; i < data.size(); ++i) {
        if (column + 3 > 78) {  // keep lines within 80 columns, as the registry editor does
            out += "\\\n  ";
            column = 2;
        }
        const auto byte = static_cast<unsigned char>(data[i]);
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0xF];
        column += 2;
        if (i + 1 < data.size()) {
            out += ',';
            ++column;
        }
    }
}

void AppendValue(std::string& out, const RegNamedValue& v) {
    const size_t lineStart = out.size();
    std::string storage;
    if (v.name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, AsUtf8(v.name, storage));
    }
    out += '=';
    const RegValue& value = v.value;
    if (value.type == kRegSz) {
        const std::string_view text = AsUtf8(AsChars(value.data), storage);
        if (IsQuotable(text)) {
            AppendQuoted(out, text);
        } else {
            std::string utf16 = Utf8ToUtf16Le(text);
            utf16.append(2, '\0');
            AppendHex(out, lineStart, "hex(1):", utf16);
        }
    } else if (value.type == kRegDword && value.data.size() == 4) {
        char buf[16];
        const uint32_t n = value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                           static_cast<uint32_t>(value.data[3]) << 24;
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        out += buf;
    } else if (value.type == kRegBinary) {
        AppendHex(out, lineStart, "hex:", AsChars(value.data));
    } else {
        char buf[24];
        std::snprintf(buf, sizeof buf, "hex(%x):", value.type);
        AppendHex(out, lineStart, buf, AsChars(value.data));
    }
    out += '\n';
}

// Parents before their children, each followed by its subkeys in order; an explicit stack
// instead of recursion, for trees of any depth.
void AppendKeys(std::string& out, const RegKey& root) {
    struct Pending {
        const RegKey* key;
        size_t parentPath;  // the length of the parent's path, which `path` still starts with
    };
    std::string path;
    std::vector<Pending> stack;
    for (auto it = root.subkeys.rbegin(); it != root.subkeys.rend(); ++it)
        stack.push_back({&*it, 0});
    while (!stack.empty()) {
        const Pending next = stack.back();
        stack.pop_back();
        const RegKey& key = *next.key;
        const bool hive = next.parentPath == 0;
        path.resize(next.parentPath);
        if (!hive) path += '\\';
        std::string storage;
        path += AsUtf8(key.name, storage);
        if (!hive || !key.values.empty()) {
            out += '[';
            out += path;
            out += "]\n";
            for (const auto& v : key.values) AppendValue(out, v);
            out += '\n';
        }
        for (auto it = key.subkeys.rbegin(); it != key.subkeys.rend(); ++it)
            stack.push_back({&*it, path.size()});
    }
}

struct NameLess {
    bool operator()(const RegKey& k, std::string_view name) const {
        return CompareRegNames(k.name, name) < 0;
    }
};

std::optional<std::vector<std::string>> UserPath(const std::string& key) {
    auto path = SplitRegPath(key);
    if (path && path->size() >= kMaxRegKeyDepth) return std::nullopt;
    if (path) path->insert(path->begin(), kCurrentUserHive);
    return path;
}

}  // namespace

int CompareRegNames(std::string_view a, std::string_view b) {
    // Names are mostly ASCII: compared a byte at a time until a byte that is not.
    const size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    for (; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x == y && x < 0x80) continue;
        if ((x | y) >= 0x80) break;
        const auto fx = static_cast<unsigned char>(FoldUpper(static_cast<char>(x)));
        const auto fy = static_cast<unsigned char>(FoldUpper(static_cast<char>(y)));
        if (fx != fy) return fx < fy ? -1 : 1;
    }
    // The rest a character at a time (upper-cased); a byte that is not UTF-8 after them all.
    const auto next = [](std::string_view s, size_t& at) -> uint32_t {
        uint32_t cp;
        const size_t len = Utf8SequenceAt(s, at, cp);
        if (len == 0) return 0x110000 + static_cast<unsigned char>(s[at++]);
        at += len;
        return RegUpcase(cp);
    };
    size_t j = i;
    while (i < a.size() && j < b.size()) {
        const uint32_t x = next(a, i), y = next(b, j);
        if (x != y) return x < y ? -1 : 1;
    }
    if (i < a.size()) return 1;
    return j < b.size() ? -1 : 0;
}

bool EqualRegNames(std::string_view a, std::string_view b) {
    return CompareRegNames(a, b) == 0;
}

RegKey::RegKey(const RegKey& other) : name(other.name), values(other.values) {
    std::vector<std::pair<const RegKey*, RegKey*>> pending = {{&other, this}};
    while (!pending.empty()) {
        const auto [from, to] = pending.back();
        pending.pop_back();
        to->subkeys.resize(from->subkeys.size());  // not resized again: the pointers stay valid
        for (size_t i = 0; i < from->subkeys.size(); ++i) {
            to->subkeys[i].name = from->subkeys[i].name;
            to->subkeys[i].values = from->subkeys[i].values;
            pending.push_back({&from->subkeys[i], &to->subkeys[i]});
        }
    }
}

RegKey& RegKey::operator=(const RegKey& other) {
    if (this != &other) *this = RegKey(other);
    return *this;
}

RegKey& RegKey::operator=(RegKey&& other) noexcept {
    if (this != &other) {
        RegKey old = std::move(*this);  // taken apart by its own destructor, without recursion
        name = std::move(other.name);
        values = std::move(other.values);
        subkeys = std::move(other.subkeys);
    }
    return *this;
}

RegKey::~RegKey() {
    // Every key that has subkeys of its own is moved out before its parent goes, so no
    // destructor meets a subkey with subkeys: the depth of the tree costs no stack.
    std::vector<RegKey> pending;
    const auto takeDeep = [&pending](std::vector<RegKey>& keys) {
        for (auto& key : keys)
            if (!key.subkeys.empty()) pending.push_back(std::move(key));
    };
    takeDeep(subkeys);
    while (!pending.empty()) {
        RegKey last = std::move(pending.back());
        pending.pop_back();
        takeDeep(last.subkeys);
    }
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

std::string DescribeRegIssues(std::string_view file, const RegParseResult& result) {
    std::string out;
    for (const auto& issue : result.issues) {
        out.append(file).append(":").append(std::to_string(issue.line)).append(": ");
        out.append(issue.reason).append("\n");
    }
    if (result.issueCount > result.issues.size()) {
        const size_t more = result.issueCount - result.issues.size();
        out.append(file).append(": ... and ").append(std::to_string(more));
        out.append(more == 1 ? " more line" : " more lines").append(" that cannot be read\n");
    }
    return out;
}

std::string SerializeRegFile(const RegTree& tree, RegFileForm form) {
    std::string out(kHeader5);
    out += "\n\n";
    AppendKeys(out, tree.Root());
    return form == RegFileForm{} ? out : ConvertRegFile(out, form);
}

std::string ConvertRegFile(std::string_view text, RegFileForm form) {
    // Every line break of a file SerializeRegFile wrote ends a line: texts that hold one are
    // written as hex(1), names that hold one with the \n escape.
    std::string lines;
    if (form.crlf) {
        lines.reserve(text.size() + text.size() / 16);
        for (char c : text) {
            if (c == '\n') lines += '\r';
            lines += c;
        }
        text = lines;
    }
    switch (form.encoding) {
        case RegFileEncoding::Utf8:
            return std::string(text);
        case RegFileEncoding::Utf8WithBom:
            return "\xEF\xBB\xBF" + std::string(text);
        case RegFileEncoding::Utf16Le:
            return "\xFF\xFE" + Utf8ToUtf16Le(text);
    }
    return std::string(text);
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
