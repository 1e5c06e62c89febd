#include "platform/linux/HelperSpooler.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <thread>

#include "platform/Platform.h"
#include "platform/ProgramFiles.h"

extern char** environ;

namespace voldrane::platform {

std::unique_ptr<ISpooler> CreateOutOfProcessSpooler() {
    std::string looked;
    std::string helper = linux_os::FindHelper(&looked);
    return std::make_unique<linux_os::HelperSpooler>(
        std::move(helper), linux_os::HelperSpooler::kDefaultBound, std::move(looked));
}

namespace linux_os {
namespace {

using Clock = std::chrono::steady_clock;

void SetError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

std::string StripNewlines(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// The helper's own error text; a helper that failed without one is described by its status.
std::string FailureText(const std::string& helper, int status, const std::string& err) {
    std::string text = StripNewlines(err);
    if (!text.empty()) return text;
    return "the printer helper " + helper + " failed (exit status " + std::to_string(status) + ")";
}

class Pipe {
  public:
    Pipe() {
        if (pipe2(m_fd, O_CLOEXEC) != 0) m_fd[0] = m_fd[1] = -1;
    }
    ~Pipe() {
        CloseRead();
        CloseWrite();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    bool Ok() const { return m_fd[0] >= 0; }
    int Read() const { return m_fd[0]; }
    int Write() const { return m_fd[1]; }
    void CloseRead() { Close(m_fd[0]); }
    void CloseWrite() { Close(m_fd[1]); }

  private:
    static void Close(int& fd) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
    int m_fd[2];
};

// Starts `argv` with stdin from /dev/null, stdout and stderr into the pipes, no other open
// files, default signal handling and nothing blocked (whatever the caller's thread had).
int Spawn(const std::vector<std::string>& argv, const Pipe& out, const Pipe& err, pid_t* pid) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.Write(), 1);
    posix_spawn_file_actions_adddup2(&actions, err.Write(), 2);
#if defined(__GLIBC__) && __GLIBC_PREREQ(2, 34)
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    const int rc = posix_spawn(pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return rc;
}

int MsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, INT_MAX));
}

// Ends a helper that is late: SIGTERM first, which lets it finish writing the user's
// printer options (it holds the signal back meanwhile), then SIGKILL after a short grace.
// Reaps it either way.
void Stop(pid_t pid, int pidfd, int* status) {
    kill(pid, SIGTERM);
    const auto until = Clock::now() + HelperSpooler::kGrace;
    bool ended = false;
    while (!ended) {
        const int left = MsLeft(until);
        if (pidfd >= 0) {
            pollfd p{pidfd, POLLIN, 0};
            const int ready = poll(&p, 1, left);
            ended = ready > 0;
            if (ready < 0 && errno == EINTR) continue;
            break;
        }
        ended = waitpid(pid, status, WNOHANG) == pid;
        if (ended) return;
        if (left == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, 5)));
    }
    if (!ended) kill(pid, SIGKILL);
    while (waitpid(pid, status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

std::string FindHelper(std::string* looked) {
    return FindVoldranectl(ProgramFolder(), looked);
}

HelperSpooler::Run HelperSpooler::RunHelper(const std::vector<std::string>& args) const {
    Run run;
    if (m_helper.empty()) {
        run.error = "cannot find voldranectl, which asks the print server for the tray program";
        if (!m_missing.empty()) run.error += " (looked for " + m_missing + ")";
        return run;
    }
    Pipe out, err;
    if (!out.Ok() || !err.Ok()) {
        run.error = std::string("cannot start the printer helper: ") + std::strerror(errno);
        return run;
    }
    std::vector<std::string> argv{m_helper, "spooler"};
    argv.insert(argv.end(), args.begin(), args.end());

    const auto deadline = Clock::now() + m_bound;
    pid_t pid = -1;
    if (const int rc = Spawn(argv, out, err, &pid); rc != 0) {
        run.error = "cannot start the printer helper " + m_helper + ": " + std::strerror(rc);
        return run;
    }
    out.CloseWrite();
    err.CloseWrite();

    // Both outputs until the helper closes them, and its end, or the deadline. Its end is
    // seen on a pidfd, so the call returns the moment it exits; without one (older kernels)
    // it is polled for once the outputs are closed. Each output is bounded: a helper gone
    // wrong could write without end. A list of 10,000 printers is about 1 MiB.
    // (glibc 2.36's <sys/pidfd.h> lacks the C linkage C++ needs: the system call itself.)
    constexpr size_t kMaxOutputBytes = size_t{4} << 20;
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    pollfd fds[3] = {{out.Read(), POLLIN, 0}, {err.Read(), POLLIN, 0}, {pidfd, POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    bool late = false;
    while (fds[0].fd >= 0 || fds[1].fd >= 0 || fds[2].fd >= 0) {
        const int left = MsLeft(deadline);
        if (left == 0) {
            late = true;
            break;
        }
        const int ready = poll(fds, 3, left);
        if (ready < 0 && errno != EINTR) {
            run.error =
                std::string("cannot read the printer helper's answer: ") + std::strerror(errno);
            late = true;  // ends it below
            break;
        }
        for (int i = 0; i < 2 && ready > 0 && !late; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[4096];
            const ssize_t got = read(fds[i].fd, buf, sizeof buf);
            if (got > 0)
                sinks[i]->append(buf, static_cast<size_t>(got));
            else if (got == 0 || errno != EINTR)
                fds[i].fd = -1;  // closed by the Pipe
            if (sinks[i]->size() > kMaxOutputBytes) {
                run.error = "the printer helper " + m_helper + " wrote more than " +
                            std::to_string(kMaxOutputBytes >> 20) + " MiB; its answer is ignored";
                late = true;  // ends it below
            }
        }
        if (late) break;
        if (ready > 0 && fds[2].fd >= 0 && fds[2].revents) fds[2].fd = -1;  // it has ended
    }

    int status = 0;
    pid_t waited = 0;
    while (!late) {
        waited = waitpid(pid, &status, WNOHANG);
        if (waited == pid || (waited < 0 && errno != EINTR)) break;
        if (MsLeft(deadline) == 0) {
            late = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (late) {
        Stop(pid, pidfd, &status);
        if (pidfd >= 0) close(pidfd);
        if (run.error.empty())
            run.error = "the print server did not answer in time (no reply within " +
                        std::to_string(m_bound.count()) + " ms)";
        return run;
    }
    if (pidfd >= 0) close(pidfd);
    if (waited != pid) {
        run.error =
            std::string("cannot learn how the printer helper ended: ") + std::strerror(errno);
    } else if (WIFEXITED(status)) {
        run.status = WEXITSTATUS(status);
    } else {
        run.error = "the printer helper " + m_helper + " ended abnormally (signal " +
                    std::to_string(WIFSIGNALED(status) ? WTERMSIG(status) : 0) + ")";
    }
    return run;
}

std::optional<std::vector<std::string>> HelperSpooler::EnumPrinters(std::string* error) {
    const Run run = RunHelper({"list"});
    if (!run.error.empty()) {
        SetError(error, run.error);
        return std::nullopt;
    }
    if (run.status != 0) {
        SetError(error, FailureText(m_helper, run.status, run.err));
        return std::nullopt;
    }
    // One name a line; CUPS names hold no control characters.
    std::vector<std::string> names;
    size_t start = 0;
    while (start < run.out.size()) {
        size_t end = run.out.find('\n', start);
        if (end == std::string::npos) end = run.out.size();
        names.push_back(run.out.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::optional<std::string> HelperSpooler::GetDefaultPrinter(std::string* error) {
    const Run run = RunHelper({"default"});
    if (!run.error.empty()) {
        SetError(error, run.error);
        return std::nullopt;
    }
    if (run.status != 0) {
        // No default is status 1 with nothing on stderr: an answer, not a failure.
        SetError(error, StripNewlines(run.err));
        return std::nullopt;
    }
    return StripNewlines(run.out);
}

bool HelperSpooler::SetDefaultPrinter(const std::string& name, std::string* error) {
    const Run run = RunHelper({"set-default", name});
    if (!run.error.empty()) {
        SetError(error, run.error);
        return false;
    }
    if (run.status != 0) {
        SetError(error, FailureText(m_helper, run.status, run.err));
        return false;
    }
    return true;
}

}  // namespace linux_os
}  // namespace voldrane::platform
