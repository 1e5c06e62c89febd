#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"

namespace voldrane::test {

// A cupsd of the test's own, in a fresh temp folder: its socket is <dir>/cups.sock, its
// state, logs and spool stay in the folder. This process's environment is pointed at it
// (CUPS_SERVER, HOME=<dir>/home, XDG_CONFIG_HOME=<dir>/config; LPDEST and PRINTER unset), so
// libcups, the CUPS tools and voldranectl started from here all use it and nothing else.
// The server dies with this process (also when a test crashes); the folder is removed.
class PrivateCupsd {
  public:
    PrivateCupsd();
    ~PrivateCupsd();
    PrivateCupsd(const PrivateCupsd&) = delete;
    PrivateCupsd& operator=(const PrivateCupsd&) = delete;

    // Empty when the server is up; else what went wrong (the test fails with it).
    const std::string& StartError() const { return m_startError; }
    const std::string& Dir() const { return m_dir; }
    std::string Socket() const { return m_dir + "/cups.sock"; }

    // Back to no printers, no user options, no default; CUPS_SERVER pointing here again.
    // Returns an error text, empty on success.
    std::string Reset();

    // For tests of a server that goes away or hangs: Kill ends it at once (its socket file
    // stays, so clients are refused), Signal sends SIGSTOP or SIGCONT, Restart starts it again
    // on the same folder. Queues added since the last start may be gone after a kill.
    void Kill();
    void Signal(int sig);
    std::string Restart();
    bool Running() const { return m_pid > 0; }

  private:
    std::string Launch();

    std::unique_ptr<TempFolder> m_tmp;  // removed after the server is killed
    std::string m_dir;
    pid_t m_pid = -1;
    std::string m_startError;
};

// A print server that takes connections and never answers: a socket that listens and is never
// read (the kernel completes the connections). Removed when it goes.
class SilentListener {
  public:
    explicit SilentListener(std::string path);
    ~SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    bool Ok() const { return m_ok; }

  private:
    std::string m_path;
    int m_fd = -1;
    bool m_ok = false;
};

// Runs one CUPS tool (lpadmin, lpoptions, lpstat) against the private server; the error text
// (with the tool's stderr) when it fails, else empty.
std::string CupsTool(const std::vector<std::string>& argv);

// Points libcups in this process, and the programs it starts, at `server`.
void UseCupsServer(const std::string& server);

}  // namespace voldrane::test
