// `voldranectl spooler list|default|set-default NAME`: the print spooler for the tray program,
// which keeps libcups out of its own process and runs this instead (HelperSpooler). Internal,
// hence not in the usage text. Answers on stdout (a name a line), the spooler's error text
// alone on stderr, so that the tray program reports exactly what the spooler said.
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "cli/CliCommon.h"
#include "platform/Console.h"
#include "platform/Platform.h"

namespace voldrane::cli {

namespace {

// Ends at once: a listing cut off at its bound leaves a thread inside libcups, which the
// destructors that exit() runs must not race. An answer that could not be written is a
// failure, as for every command.
[[noreturn]] void Finish(std::ostream& out, std::ostream& err, int code) {
    out.flush();
    if ((!out || std::fflush(stdout) != 0 || std::ferror(stdout) != 0) && code == kExitOk)
        code = kExitFailure;
    err.flush();
    std::fflush(nullptr);
    std::_Exit(platform::FinishProcess(code));
}

}  // namespace

int RunSpooler(const Command& self, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err) {
    const std::string what = args.empty() ? "" : args[0];
    const size_t arity = what == "set-default" ? 2 : 1;
    if ((what != "list" && what != "default" && what != "set-default") || args.size() != arity)
        return UsageError(self, err, "");

    const auto spooler = platform::CreateSpooler();
    std::string error;
    if (what == "list") {
        const auto names = spooler->EnumPrinters(&error);
        if (!names) {
            err << error << '\n';
            Finish(out, err, kExitFailure);
        }
        for (const auto& name : *names) out << name << '\n';
    } else if (what == "default") {
        const auto name = spooler->GetDefaultPrinter(&error);
        if (!name) {
            // None at all: status 1 and nothing said; a failure: its text.
            if (!error.empty()) err << error << '\n';
            Finish(out, err, error.empty() ? kExitNoMatch : kExitFailure);
        }
        out << *name << '\n';
    } else if (!spooler->SetDefaultPrinter(args[1], &error)) {
        err << error << '\n';
        Finish(out, err, kExitFailure);
    }
    Finish(out, err, kExitOk);
}

}  // namespace voldrane::cli
