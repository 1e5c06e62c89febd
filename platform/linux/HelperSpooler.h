#pragma once

#include <chrono>
#include <string>

#include "platform/Spooler.h"

namespace voldrane::platform::linux_os {

// The print spooler asked through a helper process, `voldranectl spooler ...`, which does the
// work with the CUPS spooler. libcups and the libraries it pulls in (GnuTLS, krb5, avahi...)
// are megabytes of resident memory that a long-lived tray program would carry for a call now
// and then; a helper pays them only while it runs. Answers and error texts are the helper's
// CUPS spooler's own. The helper inherits the environment (CUPS_SERVER, HOME, LPDEST, PRINTER).
//
// Each call waits at most `bound` for the helper to finish; a helper still running then is
// asked to end (SIGTERM), killed after `kGrace` if it has not, and the call fails with "the
// print server did not answer in time".
class HelperSpooler final : public ISpooler {
  public:
    // The CUPS spooler's 3 s bound per call, plus the helper's start and a margin.
    static constexpr std::chrono::milliseconds kDefaultBound{4500};
    // How long a late helper may take to end after SIGTERM before it is killed.
    static constexpr std::chrono::milliseconds kGrace{250};

    // `helper`: the path of voldranectl. Empty: none was found; `missing` says where it was
    // looked for, and every call fails with that.
    explicit HelperSpooler(std::string helper, std::chrono::milliseconds bound = kDefaultBound,
                           std::string missing = "")
        : m_helper(std::move(helper)), m_bound(bound), m_missing(std::move(missing)) {}

    std::optional<std::vector<std::string>> EnumPrinters(std::string* error = nullptr) override;
    std::optional<std::string> GetDefaultPrinter(std::string* error = nullptr) override;
    bool SetDefaultPrinter(const std::string& name, std::string* error = nullptr) override;

    const std::string& Helper() const { return m_helper; }

  private:
    // What one run of the helper gave: its exit status (-1: it did not end normally) and its
    // output; `error` is set when it could not be run or did not finish.
    struct Run {
        int status = -1;
        std::string out;
        std::string err;
        std::string error;
    };
    Run RunHelper(const std::vector<std::string>& args) const;

    std::string m_helper;
    std::chrono::milliseconds m_bound;
    std::string m_missing;
};

// The voldranectl to run for this program (FindVoldranectl: beside it, the build tree's only
// for a program run from the build tree, the installed one). Empty when there is none;
// `looked` then lists where it was looked for.
std::string FindHelper(std::string* looked = nullptr);

}  // namespace voldrane::platform::linux_os
