#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "offices/RegFile.h"
#include "platform/RegistryStore.h"

namespace voldrane::platform::windows_os {

// The current user's settings in the registry (HKEY_CURRENT_USER\SOFTWARE\Kestamor\Voldrane,
// the layout the Linux .reg store mirrors).
//
// The registry writes one value at a time, with no transaction over several. A batch is
// therefore first worked out against the keys it touches (so each operation gets the result
// the registry would give it), reduced to the key and value changes it makes, and those are
// written as one binary value, the journal ("SOFTWARE\Kestamor\Voldrane Pending", "Writes"),
// before any of them is made; the journal goes once all are made. A process killed in between
// leaves the journal, and the next process that opens the store finishes the changes before
// it reads: a batch is seen whole or not at all. Readers and writers of all processes take
// turns through one named mutex; a mutex abandoned by a killed process is taken over.
class WinRegistryStore final : public IRegistryStore {
  public:
    // `base`: where under HKEY_CURRENT_USER the store's root lies; "" for HKEY_CURRENT_USER
    // itself (tests give each run a root of its own).
    explicit WinRegistryStore(std::string base = {});
    ~WinRegistryStore() override;
    WinRegistryStore(const WinRegistryStore&) = delete;
    WinRegistryStore& operator=(const WinRegistryStore&) = delete;

    std::optional<RegValue> QueryValue(const std::string& key, const std::string& name) override;
    bool KeyExists(const std::string& key) override;
    std::optional<std::vector<std::string>> EnumSubKeys(const std::string& key) override;
    RegApplyResult Apply(const std::vector<RegOp>& ops) override;
    void BeginReadSession() override;
    void EndReadSession() override;
    std::string ReadError() override { return m_readError; }
    bool Export(std::string& text, std::string* error) override;

    // How long a read or write waits for another process's turn.
    void SetLockWait(DWORD ms) { m_lockWait = ms; }
    // Called after the journal is written (step 0) and after each change it lists is made
    // (steps 1...), for the tests that kill a writer there.
    void SetStepHook(std::function<void(size_t step)> hook) { m_stepHook = std::move(hook); }

  private:
    class Turn;
    // Takes the store's turn within the lock wait and finishes a journal left behind.
    bool Lock(std::string* error);
    void Unlock();
    bool FinishJournal(std::string* error);
    // Makes the changes of a journal, in order; false with `error` at the first that fails.
    bool Replay(const std::string& journal, std::string* error);
    // What the registry holds of the keys the operations name, as a tree.
    RegTree LoadTouched(const std::vector<RegOp>& ops);
    HKEY OpenKey(const std::string& key, REGSAM access, LONG* status = nullptr);

    std::string m_base;
    HKEY m_root = nullptr;
    HANDLE m_mutex = nullptr;
    DWORD m_lockWait = 5000;
    int m_sessionDepth = 0;
    bool m_sessionLocked = false;
    std::string m_readError;
    std::function<void(size_t)> m_stepHook;
};

}  // namespace voldrane::platform::windows_os
