#include "platform/linux/LinuxInstanceLock.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace voldrane::platform::linux_os {

namespace {

void SetError(std::string* error, const std::string& what, int err) {
    if (error) *error = what + ": " + std::strerror(err);
}

}  // namespace

LinuxInstanceLock::~LinuxInstanceLock() {
    Release();
}

void LinuxInstanceLock::Release() {
    if (m_fd >= 0) {
        ::close(m_fd);  // closing the only descriptor drops the lock
        m_fd = -1;
    }
}

bool LinuxInstanceLock::EnsurePrivateDir(const std::string& path, std::string* error) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        SetError(error, "cannot create " + path, errno);
        return false;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        SetError(error, "cannot examine " + path, errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0) {
        if (error) {
            *error = path +
                     " is not a private folder of this user (another user's, a link, "
                     "or open to others); refusing to use it";
        }
        return false;
    }
    return true;
}

std::string LinuxInstanceLock::RuntimeDir(std::string* error) {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg && xdg[0] == '/') return xdg;
    // Without one: a private folder in the user's cache folder. A fixed name in /tmp could be
    // made first by another user, and then no copy could take the lock there and each would
    // run unguarded; nobody else can make folders in the user's home. One folder per machine,
    // since a home shared over NFS carries its locks to every machine that mounts it.
    std::string cache;
    size_t made = 1;  // folders of `cache` ending past this are made when missing
    const char* xdgCache = std::getenv("XDG_CACHE_HOME");
    if (xdgCache && xdgCache[0] == '/') {  // a relative value is invalid and ignored
        cache = xdgCache;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') {
            const passwd* pw = ::getpwuid(::getuid());
            home = pw ? pw->pw_dir : nullptr;
        }
        if (!home || home[0] != '/') {
            if (error) *error = "no runtime folder (XDG_RUNTIME_DIR) and no home folder";
            return {};
        }
        cache = std::string(home) + "/.cache";
        made = cache.size();  // never the home folder itself
    }
    // The cache folder itself, if missing, is made private as well.
    for (size_t pos = made; pos <= cache.size(); ++pos) {
        if (pos != cache.size() && cache[pos] != '/') continue;
        const std::string part = cache.substr(0, pos);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            SetError(error, "cannot create " + part, errno);
            return {};
        }
    }
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || host[0] == '\0' || host[0] == '.' ||
        std::strchr(host, '/') != nullptr)
        std::strcpy(host, "localhost");
    const std::string base = cache + "/voldrane";
    const std::string dir = base + "/" + host;
    if (!EnsurePrivateDir(base, error) || !EnsurePrivateDir(dir, error)) return {};
    return dir;
}

IInstanceLock::Result LinuxInstanceLock::Acquire(const std::string& name, std::string* error) {
    const std::string dir = RuntimeDir(error);
    if (dir.empty()) return Result::Failed;
    return AcquireIn(dir, name, error);
}

IInstanceLock::Result LinuxInstanceLock::AcquireIn(const std::string& dir, const std::string& name,
                                                   std::string* error) {
    Release();
    const std::string path = dir + "/" + name;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        SetError(error, "cannot open the lock file " + path, errno);
        return Result::Failed;
    }
    // flock belongs to the open file description: it goes when the process ends, however.
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK) return Result::HeldElsewhere;
        SetError(error, "cannot lock " + path, err);
        return Result::Failed;
    }
    m_fd = fd;
    return Result::Acquired;
}

}  // namespace voldrane::platform::linux_os

namespace voldrane::platform {

std::unique_ptr<IInstanceLock> CreateInstanceLock() {
    return std::make_unique<linux_os::LinuxInstanceLock>();
}

}  // namespace voldrane::platform
