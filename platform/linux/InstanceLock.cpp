#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace voldrane::platform {

namespace {

void SetError(std::string* error, const std::string& what, int err) {
    if (error) *error = what + ": " + std::strerror(err);
}

}  // namespace

InstanceLock::~InstanceLock() {
    Release();
}

void InstanceLock::Release() {
    if (m_fd >= 0) {
        ::close(m_fd);  // closing the only descriptor drops the lock
        m_fd = -1;
    }
}

bool InstanceLock::EnsurePrivateDir(const std::string& path, std::string* error) {
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

std::string InstanceLock::RuntimeDir(std::string* error) {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg && xdg[0] == '/') return xdg;
    std::string dir = "/tmp/voldrane-" + std::to_string(::getuid());
    if (!EnsurePrivateDir(dir, error)) return {};
    return dir;
}

InstanceLock::Result InstanceLock::Acquire(const std::string& name, std::string* error) {
    const std::string dir = RuntimeDir(error);
    if (dir.empty()) return Result::Failed;
    return AcquireIn(dir, name, error);
}

InstanceLock::Result InstanceLock::AcquireIn(const std::string& dir, const std::string& name,
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

}  // namespace voldrane::platform
