#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/RegistryStore.h"

namespace voldrane {

// The longest text, in bytes, that a read gives back (the registry's 1024-byte buffer holds
// it and its terminator). A longer one is stored but reads as absent: writers keep within it.
inline constexpr size_t kMaxTextBytes = 1023;

// The settings store's operations with the registry's results. Every path is relative to
// the current user's root. Reads give back texts of at most 1023 bytes; a value of another
// type, or a longer text, reads as absent and leaves the caller's variable unchanged.
class CRegistry {
  public:
    explicit CRegistry(platform::IRegistryStore& store) : m_store(store) {}

    bool CreateKey(const std::string& key);  // with missing parents; existing: unchanged
    bool DeleteKey(const std::string& key);  // fails when missing or when it has subkeys
    bool ReadDWORD(const std::string& key, const std::string& name, uint32_t& value);
    bool ReadString(const std::string& key, const std::string& name, std::string& value);
    bool WriteDWORD(const std::string& key, const std::string& name,
                    uint32_t value);  // key must exist
    bool WriteString(const std::string& key, const std::string& name, const std::string& value);
    // Number of direct subkeys, also stored in `count`; 0 when the key cannot be opened.
    uint32_t CountSubKeys(const std::string& key, uint32_t& count);
    // In: `count` is the capacity. Out: the names stored (at most capacity) and their count.
    // True when at least one name was stored.
    bool EnumSubKeys(const std::string& key, std::vector<std::string>& names, uint32_t& count);

    // Several operations as one unit (one durable write).
    platform::RegApplyResult Apply(const std::vector<platform::RegOp>& ops);

    // Reads between construction and destruction see one state of the store.
    class ReadSession {
      public:
        explicit ReadSession(CRegistry& registry) : m_store(registry.m_store) {
            m_store.BeginReadSession();
        }
        ~ReadSession() { m_store.EndReadSession(); }
        ReadSession(const ReadSession&) = delete;
        ReadSession& operator=(const ReadSession&) = delete;

      private:
        platform::IRegistryStore& m_store;
    };

    // Why the last write failed (the OS's text), for a message to the user.
    const std::string& LastError() const { return m_lastError; }
    platform::IRegistryStore& Store() { return m_store; }

  private:
    platform::IRegistryStore& m_store;
    std::string m_lastError;
};

}  // namespace voldrane
