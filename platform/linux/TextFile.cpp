#include "platform/linux/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace voldrane::platform::linux_os {

std::optional<std::string> ReadTextFile(const std::string& path, size_t limit) {
    // O_NONBLOCK: a FIFO planted at one of these paths must not stall detection.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return std::nullopt;
    }
    off_t start = 0;
    if (st.st_size > 0 && static_cast<size_t>(st.st_size) > limit) start = st.st_size - limit;

    std::string text;
    char buf[8192];
    off_t pos = start;
    while (text.size() < limit) {
        const ssize_t n = pread(fd, buf, sizeof buf, pos);
        if (n < 0) {
            if (errno == EINTR) continue;
            close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        text.append(buf, static_cast<size_t>(n));
        pos += n;
    }
    close(fd);
    if (text.size() > limit) text.resize(limit);
    return text;
}

}  // namespace voldrane::platform::linux_os
