#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace voldrane::platform {

// Value types, numbered as the registry numbers them.
enum RegType : uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegMultiSz = 7,
    kRegQword = 11,
};

struct RegValue {
    uint32_t type = kRegNone;
    // kRegSz: the text's UTF-8 bytes, no terminator; kRegDword: 4 bytes LE; any other type:
    // the bytes as stored (kept and written back unchanged).
    std::vector<uint8_t> data;

    bool operator==(const RegValue&) const = default;
};

// One step of a batch. Paths are backslash-separated and relative to the current user's root.
struct RegOp {
    // CreateNewKey: like CreateKey, but the key must not exist yet; when it does, the whole
    // batch is refused: nothing is applied and every operation reports false. It lets a
    // process claim a fresh key name without racing another process.
    enum Kind { CreateKey, DeleteKey, SetValue, DeleteValue, CreateNewKey } kind = CreateKey;
    std::string key;
    std::string name;  // SetValue, DeleteValue
    RegValue value;    // SetValue
};

struct RegApplyResult {
    bool written = true;          // false: the store could not be written; nothing changed
    std::vector<bool> succeeded;  // per operation, as the registry would have answered it
    std::string error;            // why it could not be written (OS error text)
};

// The current user's hierarchical settings store, with the registry's rules: key names
// compare without regard to case and keep their case; subkeys list in a stable order.
class IRegistryStore {
  public:
    virtual ~IRegistryStore() = default;

    // nullopt: the key does not exist (or the store cannot be read).
    virtual std::optional<RegValue> QueryValue(const std::string& key, const std::string& name) = 0;
    virtual bool KeyExists(const std::string& key) = 0;
    // Direct subkeys in enumeration order; nullopt: the key cannot be opened.
    virtual std::optional<std::vector<std::string>> EnumSubKeys(const std::string& key) = 0;

    // Applies the operations in order as one unit: all of them reach the store in one
    // durable write, or none does. Each operation succeeds or fails on its own, as it would
    // alone (a DeleteKey of a key with subkeys fails, a SetValue needs an existing key).
    virtual RegApplyResult Apply(const std::vector<RegOp>& ops) = 0;

    // Between these two calls the reads see one state of the store, and another process's
    // write waits until the end, so a series of reads cannot mix two versions. Sessions
    // nest; no writes inside one.
    virtual void BeginReadSession() {}
    virtual void EndReadSession() {}

    // Why the last read found the store unreadable (the OS's text); empty when it was read.
    // Reads of an unreadable store answer as if it were empty.
    virtual std::string ReadError() { return {}; }

    // The file that holds the store, for a program that watches it for other programs'
    // changes; empty when the store is not one file.
    virtual std::string FilePath() const { return {}; }

    // The whole store as a registry editor (.reg) file, in UTF-8 with LF line ends (as
    // SerializeRegFile writes it by default; `voldranectl export` converts it to the registry
    // editor's own form). False with `error` when it cannot be read.
    virtual bool Export(std::string& text, std::string* error) {
        text.clear();
        if (error) *error = "this store cannot be exported";
        return false;
    }
};

}  // namespace voldrane::platform
