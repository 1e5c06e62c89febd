#pragma once

#include <sys/types.h>

#include <chrono>
#include <ctime>
#include <iosfwd>
#include <string>

#include "offices/RegFile.h"
#include "platform/RegistryStore.h"

namespace voldrane::platform::linux_os {

// The current user's settings store as one registry editor (.reg) file.
//
// Every change is one durable replacement of the file (temp file in the same folder, fsync,
// rename, fsync of the folder), made under an exclusive flock on "<file>.lock" beside it;
// reads take the same lock shared. The file is written back in the form it was found in (a
// file copied from Windows stays UTF-16LE with CRLF line ends); a new one is UTF-8. The
// parsed file is kept while its size, modification time and inode stay the same, so reads
// cost a stat, not a parse. A file with lines that cannot be read is used for what can be
// read; those lines are reported once (to `diagnostics`), and the original is kept as
// "<file>.bak-<UTC time>" before it is first rewritten. When the file cannot be written the
// operation fails with the OS's reason and the file stays as it was. A store that is a link
// is replaced where the link leads. Neither reads nor writes wait longer than the lock wait
// for another process's lock: then they fail and name that process.
class RegFileStore final : public IRegistryStore {
  public:
    // Long enough for any other writer's fsync on a slow disk; short enough not to look hung.
    static constexpr std::chrono::milliseconds kDefaultLockWait{5000};

    // `diagnostics`: where unreadable lines are reported; nullptr: standard error.
    explicit RegFileStore(std::string path, std::ostream* diagnostics = nullptr);
    ~RegFileStore() override;
    RegFileStore(const RegFileStore&) = delete;
    RegFileStore& operator=(const RegFileStore&) = delete;

    // $XDG_CONFIG_HOME/Kestamor/Voldrane.reg, or $HOME/.config/Kestamor/Voldrane.reg.
    static std::string DefaultPath();

    std::optional<RegValue> QueryValue(const std::string& key, const std::string& name) override;
    bool KeyExists(const std::string& key) override;
    std::optional<std::vector<std::string>> EnumSubKeys(const std::string& key) override;
    RegApplyResult Apply(const std::vector<RegOp>& ops) override;
    void BeginReadSession() override;
    void EndReadSession() override;
    std::string ReadError() override { return m_readError; }
    bool Export(std::string& text, std::string* error) override;
    std::string FilePath() const override { return m_path; }

    const std::string& Path() const { return m_path; }
    void SetLockWait(std::chrono::milliseconds wait) { m_lockWait = wait; }
    // How often the file has been parsed by this object (for benchmarks and tests).
    int ParseCount() const { return m_parseCount; }

  private:
    struct Identity {
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = -1;
        timespec mtime{};
        bool operator==(const Identity& o) const;
    };

    bool OpenLock(bool forWrite, std::string* error);
    // Takes the lock (LOCK_SH or LOCK_EX) within the lock wait; true without a lock file.
    bool Lock(int operation, std::string* error);
    bool EnsureFolder(std::string* error);
    // Brings the cached tree up to date with the file; the caller holds the lock.
    bool Refresh(std::string* error);
    // Starts a read: shared lock and an up-to-date tree. Releases the lock itself.
    const RegTree* BeginRead();
    bool WriteFile(const std::string& text, std::string* error);
    bool KeepBackup(std::string* error);
    // Removes the temp files that writers of `file` (the store, its links followed) left.
    void RemoveStaleTemps(const std::string& file);
    void Report(const voldrane::RegParseResult& parsed);

    std::string m_path;
    std::string m_folder;
    std::string m_lockPath;
    std::ostream* m_diagnostics;

    int m_lockFd = -1;
    std::chrono::milliseconds m_lockWait = kDefaultLockWait;
    bool m_lockWritable = false;

    bool m_cacheValid = false;
    bool m_fileExists = false;
    int m_cacheFd = -1;  // kept open so that its inode number cannot be reused meanwhile
    Identity m_identity;
    voldrane::RegTree m_tree;
    voldrane::RegFileForm m_form;  // the file's, kept for writing it back
    bool m_hasIssues = false;
    std::string m_original;  // the file's bytes while it has unreadable lines
    Identity m_reported;     // the file whose unreadable lines were reported last
    Identity m_backedUp;     // the file kept as a backup last
    int m_parseCount = 0;
    std::string m_tempsRemovedFor;  // the file whose stale temp files were removed
    std::string m_readError;
    int m_sessionDepth = 0;
    bool m_sessionReadable = false;  // the state the open session sees could be read
};

}  // namespace voldrane::platform::linux_os
