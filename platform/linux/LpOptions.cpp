#include "platform/linux/LpOptions.h"

#include "platform/linux/FilePath.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace voldrane::platform::linux_os {
namespace {

void SetError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

// isspace() of the C locale, as libcups splits the lines.
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

struct Line {
    enum Kind { kOther, kDest, kDefault };
    size_t begin = 0;    // in the text
    size_t end = 0;      // before its newline
    size_t keyword = 0;  // length of "Dest" or "Default" as written
    Kind kind = kOther;
    std::string_view queue, instance;
    bool options = false;  // anything after the name

    bool Names(std::string_view q, std::string_view i) const {
        return kind != kOther && EqualNoCase(queue, q) && EqualNoCase(instance, i);
    }
};

Line ParseLine(std::string_view text, size_t begin, size_t end) {
    Line line;
    line.begin = begin;
    line.end = end;
    const std::string_view l = text.substr(begin, end - begin);
    if (l.size() > 4 && EqualNoCase(l.substr(0, 4), "dest") && IsSpace(l[4])) {
        line.kind = Line::kDest;
        line.keyword = 4;
    } else if (l.size() > 7 && EqualNoCase(l.substr(0, 7), "default") && IsSpace(l[7])) {
        line.kind = Line::kDefault;
        line.keyword = 7;
    } else {
        return line;
    }
    size_t p = line.keyword;
    while (p < l.size() && IsSpace(l[p])) ++p;
    const size_t name = p;
    while (p < l.size() && !IsSpace(l[p]) && l[p] != '/') ++p;
    line.queue = l.substr(name, p - name);
    if (p < l.size() && l[p] == '/') {
        const size_t inst = ++p;
        while (p < l.size() && !IsSpace(l[p])) ++p;
        line.instance = l.substr(inst, p - inst);
    }
    while (p < l.size() && IsSpace(l[p])) ++p;
    line.options = p < l.size();
    if (line.queue.empty()) line.kind = Line::kOther;  // libcups skips such lines
    return line;
}

std::vector<Line> ParseLines(std::string_view text) {
    std::vector<Line> lines;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(ParseLine(text, begin, end));
        begin = end + 1;
    }
    return lines;
}

std::string Basename(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Temp files of writers that were killed before their rename: ".<name>.voldrane-<pid>" of
// a process that no longer exists. A live writer's file is left alone.
void RemoveStaleTempFiles(const std::string& dir, const std::string& prefix) {
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (const dirent* e = readdir(d)) {
        const std::string_view name = e->d_name;
        if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) continue;
        const std::string digits(name.substr(prefix.size()));
        char* end = nullptr;
        const long pid = std::strtol(digits.c_str(), &end, 10);
        if (*end || pid <= 0 || pid == getpid()) continue;
        if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            unlinkat(dirfd(d), e->d_name, 0);
    }
    closedir(d);
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Holds back the signals that end a process politely (the tray program's cut-off, Ctrl-C)
// until the new file is in place, so that such an end never leaves a temp file behind.
class DeferTermination {
  public:
    DeferTermination() {
        sigset_t set;
        sigemptyset(&set);
        for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) sigaddset(&set, sig);
        pthread_sigmask(SIG_BLOCK, &set, &m_old);
    }
    ~DeferTermination() { pthread_sigmask(SIG_SETMASK, &m_old, nullptr); }
    DeferTermination(const DeferTermination&) = delete;
    DeferTermination& operator=(const DeferTermination&) = delete;

  private:
    sigset_t m_old;
};

}  // namespace

bool HasDestLine(std::string_view text, std::string_view queue, std::string_view instance) {
    for (const Line& line : ParseLines(text))
        if (line.Names(queue, instance)) return true;
    return false;
}

std::optional<std::string> WithDefaultLine(std::string_view text, std::string_view queue,
                                           std::string_view instance) {
    const std::vector<Line> lines = ParseLines(text);
    // The line that becomes the Default line: a Default line of that name, else its Dest line.
    int target = -1;
    int defaults = 0;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        if (lines[i].kind != Line::kDefault) continue;
        ++defaults;
        if (target < 0 && lines[i].Names(queue, instance)) target = i;
    }
    for (int i = 0; i < static_cast<int>(lines.size()) && target < 0; ++i)
        if (lines[i].kind == Line::kDest && lines[i].Names(queue, instance)) target = i;
    if (target >= 0 && lines[target].kind == Line::kDefault && defaults == 1) return std::nullopt;

    std::string newLine = "Default " + std::string(queue);
    if (!instance.empty()) newLine += "/" + std::string(instance);

    std::string out;
    out.reserve(text.size() + newLine.size() + 2);
    bool placed = target >= 0;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        const Line& line = lines[i];
        const bool newline = line.end < text.size();
        const std::string_view rest =
            text.substr(line.begin + line.keyword, line.end - line.begin - line.keyword);
        if (i == target) {
            if (line.kind == Line::kDest) {
                out += "Default";
                out += rest;
            } else {
                out += text.substr(line.begin, line.end - line.begin);
            }
        } else if (line.kind == Line::kDefault) {
            if (line.options || !line.instance.empty()) {
                out += "Dest";  // its options stay, as the options of that printer
                out += rest;
            } else if (!placed) {
                out += newLine;  // a bare queue name: the new default takes its place
                placed = true;
            } else {
                continue;  // nothing but a name: it goes, with its newline
            }
        } else {
            out += text.substr(line.begin, line.end - line.begin);
        }
        if (newline) out += '\n';
    }
    if (!placed) {
        if (!out.empty() && out.back() != '\n') out += '\n';
        out += newLine;
        out += '\n';
    }
    return out;
}

std::string UserLpOptionsPath(std::string* error) {
    std::string home;
    if (const char* env = std::getenv("HOME"); env && *env) {
        home = env;
    } else {
        passwd pw{};
        passwd* result = nullptr;
        std::vector<char> buf(16384);
        if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result &&
            result->pw_dir && *result->pw_dir)
            home = result->pw_dir;
    }
    if (home.empty()) {
        SetError(error, "no home folder for the user's printer options (HOME is not set)");
        return "";
    }
    return home + "/.cups/lpoptions";
}

std::string SystemLpOptionsPath() {
    // As libcups: CUPS_SERVERROOT, unless the process runs with privileges it was given.
    const char* root = secure_getenv("CUPS_SERVERROOT");
    return std::string(root && *root ? root : "/etc/cups") + "/lpoptions";
}

bool ReadLpOptions(const std::string& path, std::string& text, std::string* error) {
    text.clear();
    // O_NONBLOCK: a FIFO in the file's place must not hang the call.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        SetError(error,
                 "cannot read the user's printer options: " + path + ": " + std::strerror(errno));
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        SetError(error,
                 "cannot read the user's printer options: " + path + " is not a regular file");
        return false;
    }
    char buf[8192];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int e = errno;
            close(fd);
            SetError(error,
                     "cannot read the user's printer options: " + path + ": " + std::strerror(e));
            return false;
        }
        if (n == 0) break;
        text.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return true;
}

bool ReplaceLpOptions(const std::string& path, const std::string& text, std::string* error) {
    const std::string failure = "cannot save the user's default printer: ";
    std::string final;
    if (const int err = FollowLinks(path, final)) {
        SetError(error, failure + final + ": " + std::strerror(err));
        return false;
    }
    const std::string dir = FolderOf(final);
    // libcups makes ~/.cups when it is missing; a link's target folder is the user's business.
    if (final == path && mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        SetError(error, failure + dir + ": " + std::strerror(errno));
        return false;
    }

    // The file's permissions and owner carry over; a new file is readable by all, as the
    // one libcups makes.
    mode_t mode = 0644;
    struct stat old;
    const bool existed = stat(final.c_str(), &old) == 0;
    if (existed) mode = old.st_mode & 07777;

    const std::string prefix = "." + Basename(final) + ".voldrane-";
    RemoveStaleTempFiles(dir, prefix);
    const std::string temp = dir + "/" + prefix + std::to_string(getpid());

    DeferTermination defer;
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        SetError(error, failure + temp + ": " + std::strerror(errno));
        return false;
    }
    bool ok = fchmod(fd, mode) == 0;
    if (ok && existed && (old.st_uid != geteuid() || old.st_gid != getegid())) {
        // Only root can give the file back to its owner; anyone else keeps it as theirs.
        if (fchown(fd, old.st_uid, old.st_gid) != 0 && geteuid() == 0) ok = false;
    }
    // No fsync: what is guarded against here is a writer killed midway, which the rename
    // makes harmless. Against a power cut, ext4 (by default) and btrfs write out a file that
    // is renamed over another before the rename itself; an fsync would cost each apply 0.4 to
    // 10 ms of waiting on a busy disk, as much as the whole apply (bench/README.md).
    ok = ok && WriteAll(fd, text);
    int e = ok ? 0 : errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        e = errno;
    }
    if (ok && rename(temp.c_str(), final.c_str()) != 0) {
        ok = false;
        e = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        SetError(error, failure + final + ": " + std::strerror(e));
    }
    return ok;
}

}  // namespace voldrane::platform::linux_os
