#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace voldrane::platform {

std::optional<std::string> ReadWholeFile(const std::string& path, std::string* error) {
    const auto fail = [&](int err) -> std::optional<std::string> {
        if (error) *error = std::strerror(err);
        return std::nullopt;
    };
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fail(errno);
    std::string bytes;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        return fail(EISDIR);
    }
    if (st.st_size > 0) bytes.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    while (true) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int err = errno;
            close(fd);
            if (n < 0) return fail(err);
            return bytes;
        }
        bytes.append(buf, static_cast<size_t>(n));
    }
}

bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string* error) {
    errno = 0;
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (f) f << bytes;
    if (f) f.close();
    if (f) return true;
    if (error) *error = std::strerror(errno != 0 ? errno : EIO);
    return false;
}

bool IsRunnableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

}  // namespace voldrane::platform
