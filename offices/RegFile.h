#pragma once

// The settings store's contents in memory, and the registry editor's text format (.reg) that
// keeps them on disk. Plain C++: parsing works on bytes and serialising gives a string, so
// the file layer only moves bytes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegistryStore.h"

namespace voldrane {

using platform::RegOp;
using platform::RegValue;

// Names of keys and values compare like the registry compares them: without regard to case,
// with the registry's upper case of every letter (RegUpcase: "BÜRO" is "büro"). Ordering is by
// the upper-cased characters.
int CompareRegNames(std::string_view a, std::string_view b);
bool EqualRegNames(std::string_view a, std::string_view b);

struct RegNamedValue {
    std::string name;  // "" is the key's default value ("@" in the file)
    RegValue value;
};

// A key and everything below it. Copying and destroying work without recursion, so a file
// of any depth cannot exhaust the stack.
struct RegKey {
    std::string name;                   // as first created
    std::vector<RegNamedValue> values;  // in the order they were first written
    std::vector<RegKey> subkeys;        // sorted by CompareRegNames

    RegKey() = default;
    RegKey(const RegKey& other);
    RegKey(RegKey&&) noexcept = default;
    RegKey& operator=(const RegKey& other);
    RegKey& operator=(RegKey&& other) noexcept;
    ~RegKey();

    const RegKey* FindSubKey(std::string_view name) const;
    RegKey* FindSubKey(std::string_view name);
    RegKey& AddSubKey(std::string_view name);  // returns the existing one when present
    const RegNamedValue* FindValue(std::string_view name) const;
};

// A whole store: the hive roots ("HKEY_CURRENT_USER", ...) are the subkeys of `root`. Paths
// are split into their components; the first is the hive.
class RegTree {
  public:
    RegTree() = default;
    explicit RegTree(RegKey root) : m_root(std::move(root)) {}

    const RegKey& Root() const { return m_root; }

    const RegKey* Find(const std::vector<std::string>& path) const;
    RegKey* Find(const std::vector<std::string>& path);
    // Creates the key and any missing keys above it. nullptr for an empty path.
    RegKey* Create(const std::vector<std::string>& path);
    // Removes the key and everything below it; false when it does not exist.
    bool RemoveTree(const std::vector<std::string>& path);

  private:
    RegKey m_root;
};

// The registry's own limit on the depth of keys, the hive counted; deeper paths are refused.
inline constexpr size_t kMaxRegKeyDepth = 512;

// Splits "A\B\C" into its components; nullopt when a component is empty or holds a character
// that the file format cannot carry in a key name (control characters).
std::optional<std::vector<std::string>> SplitRegPath(std::string_view path);

// The hive's full name for the names and abbreviations the format allows ("HKCU" gives
// "HKEY_CURRENT_USER"); nullopt for anything else.
std::optional<std::string> CanonicalHiveName(std::string_view name);

inline constexpr const char* kCurrentUserHive = "HKEY_CURRENT_USER";

struct RegLineIssue {
    int line = 0;  // 1-based, in the file as given
    std::string reason;
};

enum class RegFileVersion { Regedit5, Regedit4 };

// How a file's text is stored: what the registry editor writes (UTF-16LE with its byte-order
// mark, CRLF) or what text tools on Linux read (UTF-8).
enum class RegFileEncoding { Utf8, Utf8WithBom, Utf16Le };

struct RegFileForm {
    RegFileEncoding encoding = RegFileEncoding::Utf8;
    bool crlf = false;
    bool operator==(const RegFileForm&) const = default;
};

// What `regedit /E` writes, and the only form every registry editor imports as it was meant:
// it reads a file without a UTF-16 byte-order mark in the ANSI code page, and ignores one
// with a UTF-8 byte-order mark.
inline constexpr RegFileForm kRegeditForm{RegFileEncoding::Utf16Le, true};

// Unreadable lines listed in a parse result; the rest are only counted.
inline constexpr size_t kMaxListedRegIssues = 100;

struct RegParseResult {
    RegTree tree;
    std::vector<RegLineIssue> issues;  // the first lines that could not be read; the rest was kept
    size_t issueCount = 0;             // all lines that could not be read
    int firstDeletionLine = 0;         // of the first "[-KEY]" or "NAME"=- line; 0: none
    bool hasHeader = false;            // the first line names a registry editor format
    RegFileVersion version = RegFileVersion::Regedit5;
    // The form the file was found in, for writing it back the same way. A REGEDIT4 file in the
    // ANSI code page gets the registry editor's form: the ANSI code page cannot hold every
    // text.
    RegFileForm form;
};

// Reads a .reg file as the registry editor and other tools write it: UTF-8 (with or without
// BOM) or UTF-16 with BOM; "Windows Registry Editor Version 5.00" or "REGEDIT4" (whose texts,
// unless the file is UTF-16, are in the ANSI code page: Windows-1252); ';' comments; "@"
// default values; quoted texts with the escapes \\, \", \n and \r; dword: and hex(N): data
// with '\' line continuations; "[-KEY]" and "NAME"=- deletions. A byte that is not UTF-8 in a
// UTF-8 file is taken as Windows-1252: no text read holds bytes that are not UTF-8. Never
// fails: lines it cannot read are listed (the first kMaxListedRegIssues), counted and skipped.
// Time is linear in the size of the file, whatever the order of its keys or the number of
// values in one key, and memory a small multiple of it.
RegParseResult ParseRegFile(std::string_view bytes);

// The unreadable lines of a parse as "FILE:LINE: reason" lines: the listed ones, then how
// many more there are.
std::string DescribeRegIssues(std::string_view file, const RegParseResult& result);

// The tree as a .reg file in `form` (version 5.00 header, a blank line after each section).
// Parents come before their children; hive roots get a section only when they hold values.
// Texts with control characters other than tab are written as hex(1), which every registry
// editor reads back as they were; bytes that are not UTF-8 are taken as Windows-1252.
std::string SerializeRegFile(const RegTree& tree, RegFileForm form = {});

// A .reg file that SerializeRegFile wrote in the default form (UTF-8, LF), converted to `form`.
std::string ConvertRegFile(std::string_view text, RegFileForm form);

// Applies `ops` to the current user's hive of `tree`, with the rules of
// IRegistryStore::Apply. `changed` tells whether the tree differs afterwards.
std::vector<bool> ApplyRegOps(RegTree& tree, const std::vector<RegOp>& ops, bool& changed);

// An IRegistryStore held only in memory: for reading .reg files that are not the store
// (import), and for logic tests.
class MemoryRegistryStore final : public platform::IRegistryStore {
  public:
    MemoryRegistryStore() = default;
    explicit MemoryRegistryStore(RegTree tree) : m_tree(std::move(tree)) {}

    std::optional<RegValue> QueryValue(const std::string& key, const std::string& name) override;
    bool KeyExists(const std::string& key) override;
    std::optional<std::vector<std::string>> EnumSubKeys(const std::string& key) override;
    platform::RegApplyResult Apply(const std::vector<RegOp>& ops) override;
    bool Export(std::string& text, std::string* error) override;

    const RegTree& Tree() const { return m_tree; }
    // From now on every Apply that would change something fails with this text (tests).
    void FailWritesWith(std::string error) { m_failWrites = std::move(error); }

  private:
    RegTree m_tree;
    std::string m_failWrites;
};

// Lookups in the current user's hive of a tree, shared by the stores. `key` is relative to
// the hive; "" is the hive itself, which always exists.
const RegKey* FindUserKey(const RegTree& tree, const std::string& key);
bool UserKeyExists(const RegTree& tree, const std::string& key);
std::optional<std::vector<std::string>> ListUserSubKeys(const RegTree& tree,
                                                        const std::string& key);

}  // namespace voldrane
