#include "platform/linux/RegFileStore.h"

#include "platform/linux/FilePath.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "platform/Platform.h"

namespace voldrane::platform {

std::unique_ptr<IRegistryStore> CreateRegistryStore(std::ostream* diagnostics) {
    return std::make_unique<linux_os::RegFileStore>(linux_os::RegFileStore::DefaultPath(),
                                                    diagnostics);
}

namespace linux_os {

namespace {

std::string Errno(const std::string& what, const std::string& path, int err) {
    return what + " " + path + ": " + std::strerror(err);
}

// Releases a flock taken (RegFileStore::Lock) at the end of a scope; a store that has no lock
// file reads without one.
class FlockGuard {
  public:
    explicit FlockGuard(int fd) : m_fd(fd) {}
    ~FlockGuard() {
        if (m_fd >= 0) flock(m_fd, LOCK_UN);
    }
    FlockGuard(const FlockGuard&) = delete;
    FlockGuard& operator=(const FlockGuard&) = delete;

  private:
    int m_fd;
};

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, std::string& out) {
    out.clear();
    char buf[65536];
    while (true) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        out.append(buf, static_cast<size_t>(n));
    }
}

void SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The process that holds a flock on the file open as `fd`, from /proc/locks: "(process 123,
// voldranectl)", or empty when it cannot be told.
std::string LockHolder(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0) return {};
    std::ifstream locks("/proc/locks");
    std::string line;
    long long pid = -1;
    while (std::getline(locks, line)) {
        // "1: FLOCK  ADVISORY  WRITE 4321 fe:00:10952902 0 EOF"; waiters have "->" after the id.
        std::istringstream fields(line);
        std::string id, kind, mode, access, file;
        long long owner = 0;
        if (!(fields >> id >> kind) || kind != "FLOCK") continue;
        if (!(fields >> mode >> access >> owner >> file)) continue;
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(file.c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3) continue;
        if (inode != st.st_ino) continue;
        pid = owner;
        if (major == major(st.st_dev) && minor == minor(st.st_dev)) break;  // certainly ours
    }
    if (pid <= 0) return {};
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return " (process " + std::to_string(pid) + (name.empty() ? "" : ", " + name) + ")";
}

}  // namespace

bool RegFileStore::Identity::operator==(const Identity& o) const {
    return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
           mtime.tv_nsec == o.mtime.tv_nsec;
}

RegFileStore::RegFileStore(std::string path, std::ostream* diagnostics)
    : m_path(std::move(path)),
      m_folder(FolderOf(m_path)),
      m_lockPath(m_path + ".lock"),
      m_diagnostics(diagnostics ? diagnostics : &std::cerr) {}

RegFileStore::~RegFileStore() {
    if (m_lockFd >= 0) close(m_lockFd);
    if (m_cacheFd >= 0) close(m_cacheFd);
}

std::string RegFileStore::DefaultPath() {
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {  // a relative value is invalid and ignored
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* pw = getpwuid(getuid());
            home = pw ? pw->pw_dir : "/";
        }
        base = std::string(home) + "/.config";
    }
    return base + "/Kestamor/Voldrane.reg";
}

bool RegFileStore::EnsureFolder(std::string* error) {
    struct stat st;
    if (stat(m_folder.c_str(), &st) == 0) return true;
    // Create the missing folders from the top down, private to the user.
    for (size_t pos = 1; pos <= m_folder.size(); ++pos) {
        if (pos != m_folder.size() && m_folder[pos] != '/') continue;
        const std::string part = m_folder.substr(0, pos);
        if (stat(part.c_str(), &st) == 0) continue;
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            if (error) *error = Errno("cannot create the folder", part, errno);
            return false;
        }
    }
    return true;
}

bool RegFileStore::OpenLock(bool forWrite, std::string* error) {
    if (m_lockFd >= 0 && (m_lockWritable || !forWrite)) return true;
    const int fd = open(m_lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        if (m_lockFd >= 0) close(m_lockFd);
        m_lockFd = fd;
        m_lockWritable = true;
        return true;
    }
    if (forWrite) {
        // A lock file that exists but is not the user's (left by a run as root) is what is in
        // the way, not the store: name it.
        const int err = errno;
        struct stat st;
        if (error && (err == EACCES || err == EPERM) && stat(m_lockPath.c_str(), &st) == 0)
            *error = "cannot write " + m_path + ": its lock file " + m_lockPath + ": " +
                     std::strerror(err);
        else if (error)
            *error = Errno("cannot write", m_path, err);
        return false;
    }
    // A store in a read-only place is still read, under a lock where one can be had.
    if (m_lockFd < 0) m_lockFd = open(m_lockPath.c_str(), O_RDONLY | O_CLOEXEC);
    return true;
}

bool RegFileStore::Lock(int operation, std::string* error) {
    if (m_lockFd < 0) return true;
    // Polled, so that a process that keeps the lock (stopped, or hung on a slow disk) costs
    // this one a bounded wait and a message that names it, not a hang.
    const auto deadline = std::chrono::steady_clock::now() + m_lockWait;
    auto pause = std::chrono::milliseconds(1);
    while (flock(m_lockFd, operation | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) return true;  // a lock that cannot be had at all: go on without
        if (std::chrono::steady_clock::now() >= deadline) {
            if (error) {
                const long long ms = m_lockWait.count();
                *error = std::string(operation == LOCK_EX ? "cannot write " : "cannot read ") +
                         m_path + ": its lock file " + m_lockPath + " is held by another program" +
                         LockHolder(m_lockFd) + "; gave up after " +
                         (ms % 1000 == 0 ? std::to_string(ms / 1000) + " s"
                                         : std::to_string(ms) + " ms");
            }
            return false;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(16));
    }
    return true;
}

bool RegFileStore::Refresh(std::string* error) {
    struct stat st;
    if (stat(m_path.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            m_cacheValid = false;
            if (error) *error = Errno("cannot read", m_path, errno);
            return false;
        }
        if (!m_cacheValid || m_fileExists) {  // no file yet: an empty store
            if (m_cacheFd >= 0) close(m_cacheFd);
            m_cacheFd = -1;
            m_tree = RegTree();
            m_form = RegFileForm();
            m_fileExists = false;
            m_hasIssues = false;
            m_original.clear();
            m_identity = Identity();
            m_cacheValid = true;
        }
        return true;
    }
    const Identity now{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
    if (m_cacheValid && m_fileExists && now == m_identity) return true;

    // Not blocking: a FIFO in the file's place must not stop the program, and neither may a
    // device that never ends (a link to /dev/zero): only a regular file is read.
    const int fd = open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    std::string bytes;
    int err = 0;
    if (fd < 0 || fstat(fd, &st) != 0) {
        err = errno;
    } else if (S_ISDIR(st.st_mode)) {
        err = EISDIR;
    } else if (!S_ISREG(st.st_mode)) {
        close(fd);
        m_cacheValid = false;
        if (error) *error = "cannot read " + m_path + ": not a regular file";
        return false;
    } else if (!ReadAll(fd, bytes)) {
        err = errno;
    }
    if (err != 0) {
        if (fd >= 0) close(fd);
        m_cacheValid = false;
        if (error) *error = Errno("cannot read", m_path, err);
        return false;
    }

    RegParseResult parsed = ParseRegFile(bytes);
    ++m_parseCount;
    if (m_cacheFd >= 0) close(m_cacheFd);
    m_cacheFd = fd;
    m_identity = Identity{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
    m_tree = std::move(parsed.tree);
    m_form = parsed.form;
    m_fileExists = true;
    m_hasIssues = !parsed.issues.empty();
    if (m_hasIssues) {
        m_original = std::move(bytes);
        if (!(m_reported == m_identity)) {
            Report(parsed);
            m_reported = m_identity;
        }
    } else {
        m_original.clear();
    }
    m_cacheValid = true;
    return true;
}

void RegFileStore::Report(const RegParseResult& parsed) {
    std::ostream& os = *m_diagnostics;
    os << m_path << ": " << parsed.issueCount << (parsed.issueCount == 1 ? " line" : " lines")
       << " could not be read and are left out; the file will be kept as a backup before it is "
          "next written\n"
       << DescribeRegIssues(m_path, parsed);
    os.flush();
}

void RegFileStore::BeginReadSession() {
    if (m_sessionDepth++ > 0) return;
    OpenLock(false, nullptr);
    std::string error;
    m_sessionReadable = Lock(LOCK_SH, &error) && Refresh(&error);
    m_readError = m_sessionReadable ? std::string() : error;
}

void RegFileStore::EndReadSession() {
    if (m_sessionDepth == 0 || --m_sessionDepth > 0) return;
    if (m_lockFd >= 0) flock(m_lockFd, LOCK_UN);
}

const RegTree* RegFileStore::BeginRead() {
    // Inside a session the lock is held and the tree is the state it started with.
    if (m_sessionDepth > 0) return m_sessionReadable ? &m_tree : nullptr;
    OpenLock(false, nullptr);
    std::string error;
    if (!Lock(LOCK_SH, &error)) {
        m_readError = error;
        return nullptr;
    }
    FlockGuard lock(m_lockFd);
    if (!Refresh(&error)) {
        m_readError = error;
        return nullptr;
    }
    m_readError.clear();
    return &m_tree;
}

std::optional<RegValue> RegFileStore::QueryValue(const std::string& key, const std::string& name) {
    const RegTree* tree = BeginRead();
    if (!tree) return std::nullopt;
    const RegKey* k = FindUserKey(*tree, key);
    const RegNamedValue* v = k ? k->FindValue(name) : nullptr;
    if (!v) return std::nullopt;
    return v->value;
}

bool RegFileStore::KeyExists(const std::string& key) {
    const RegTree* tree = BeginRead();
    return tree && UserKeyExists(*tree, key);
}

std::optional<std::vector<std::string>> RegFileStore::EnumSubKeys(const std::string& key) {
    const RegTree* tree = BeginRead();
    if (!tree) return std::nullopt;
    return ListUserSubKeys(*tree, key);
}

bool RegFileStore::Export(std::string& text, std::string* error) {
    OpenLock(false, nullptr);
    if (!Lock(LOCK_SH, error)) return false;
    FlockGuard lock(m_lockFd);
    if (!Refresh(error)) return false;
    text = SerializeRegFile(m_tree);
    return true;
}

RegApplyResult RegFileStore::Apply(const std::vector<RegOp>& ops) {
    RegApplyResult result;
    const auto fail = [&](std::string error) {
        result.written = false;
        result.succeeded.assign(ops.size(), false);
        result.error = std::move(error);
        return result;
    };
    std::string error;
    bool changed = false;

    if (m_sessionDepth > 0) {
        // The session's shared lock cannot become an exclusive one without letting another
        // writer in between; only a batch that changes nothing can be answered here.
        RegTree trial = m_tree;
        result.succeeded = ApplyRegOps(trial, ops, changed);
        return changed ? fail(m_path + ": cannot write while a read of it is in progress") : result;
    }

    if (!EnsureFolder(&error) || !OpenLock(true, &error)) {
        // Nowhere to write: a batch that changes nothing still succeeds.
        const RegTree* tree = BeginRead();
        if (!tree) return fail(m_readError);
        RegTree trial = *tree;
        result.succeeded = ApplyRegOps(trial, ops, changed);
        return changed ? fail(error) : result;
    }

    if (!Lock(LOCK_EX, &error)) return fail(error);
    FlockGuard lock(m_lockFd);
    if (!Refresh(&error)) return fail(error);
    // The cached tree takes the changes directly; if they cannot be written it is dropped
    // and read again from the untouched file.
    result.succeeded = ApplyRegOps(m_tree, ops, changed);
    if (!changed) return result;
    if ((m_hasIssues && !KeepBackup(&error)) ||
        !WriteFile(SerializeRegFile(m_tree, m_form), &error)) {
        m_cacheValid = false;
        return fail(error);
    }
    return result;
}

void RegFileStore::RemoveStaleTemps(const std::string& file) {
    // Temp files exist only while a writer holds the exclusive lock, which the caller now
    // holds: any that are left belong to writers that died.
    m_tempsRemovedFor = file;
    DIR* dir = opendir(FolderOf(file).c_str());
    if (!dir) return;
    const std::string prefix = "." + BaseName(file) + ".tmp-";
    while (const dirent* entry = readdir(dir)) {
        if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
            unlinkat(dirfd(dir), entry->d_name, 0);
    }
    closedir(dir);
}

bool RegFileStore::WriteFile(const std::string& text, std::string* error) {
    std::string file = m_path;
    // A store kept elsewhere and linked into place (a dotfiles set-up) is replaced where the
    // link leads, and the link stays.
    if (std::string linked; const int err = FollowLinks(file, linked)) {
        if (error) *error = Errno("cannot write", linked, err);
        return false;
    } else {
        file = linked;
    }
    const std::string folder = FolderOf(file);
    if (m_tempsRemovedFor != file) RemoveStaleTemps(file);
    std::string temp = folder + "/." + BaseName(file) + ".tmp-XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        if (error) *error = Errno("cannot write", m_path, errno);
        return false;
    }
    struct stat st;
    if (fchmod(fd, 0600) != 0 || !WriteAll(fd, text.data(), text.size()) || fsync(fd) != 0 ||
        fstat(fd, &st) != 0 || rename(temp.c_str(), file.c_str()) != 0) {
        const int err = errno;
        close(fd);
        unlink(temp.c_str());
        if (error) *error = Errno("cannot write", m_path, err);
        return false;
    }
    SyncFolder(folder);
    if (m_cacheFd >= 0) close(m_cacheFd);
    m_cacheFd = fd;
    m_identity = Identity{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
    m_fileExists = true;
    m_hasIssues = false;
    m_original.clear();
    m_cacheValid = true;
    return true;
}

bool RegFileStore::KeepBackup(std::string* error) {
    if (m_backedUp == m_identity) return true;
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &tm);

    std::string temp = m_folder + "/." + BaseName(m_path) + ".tmp-XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        if (error) *error = Errno("cannot keep a backup of", m_path, errno);
        return false;
    }
    int err = 0;
    if (!WriteAll(fd, m_original.data(), m_original.size()) || fsync(fd) != 0) err = errno;
    close(fd);
    // link() never replaces: a backup made in the same second gets a numbered name.
    std::string backup;
    for (int n = 1; err == 0; ++n) {
        backup = m_path + ".bak-" + stamp + (n > 1 ? "-" + std::to_string(n) : "");
        if (link(temp.c_str(), backup.c_str()) == 0) break;
        if (errno != EEXIST || n >= 1000) err = errno;
    }
    unlink(temp.c_str());
    if (err != 0) {
        if (error) *error = Errno("cannot keep a backup of", m_path, err);
        return false;
    }
    SyncFolder(m_folder);
    *m_diagnostics << m_path << ": the unreadable file is kept as " << backup << '\n';
    m_backedUp = m_identity;
    return true;
}

}  // namespace linux_os
}  // namespace voldrane::platform
