// UTF-8 in and out of a Windows console program. main() gets its arguments in the ANSI code
// page, so they are taken from the UTF-16 command line instead. Output to a console goes
// through WriteConsoleW as UTF-16, which shows every character whatever the console's code
// page; output to a file or pipe stays UTF-8 bytes.
#include <fcntl.h>
#include <io.h>

// shellapi.h needs windows.h first.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include <iostream>
#include <streambuf>

#include "platform/Bounded.h"
#include "platform/Console.h"
#include "platform/windows/WinText.h"

namespace voldrane::platform {

namespace {

using windows_os::Narrow;
using windows_os::Widen;

// A stream buffer that hands complete UTF-8 sequences to the console.
class ConsoleBuffer final : public std::streambuf {
  public:
    explicit ConsoleBuffer(HANDLE console) : m_console(console) {
        setp(m_buffer, m_buffer + sizeof m_buffer);
    }
    ~ConsoleBuffer() override { sync(); }

  protected:
    int_type overflow(int_type c) override {
        if (!Flush(false)) return traits_type::eof();
        if (c != traits_type::eof()) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return Flush(true) ? 0 : -1; }

  private:
    // Writes what is buffered, keeping back a sequence cut off at the end unless `all`.
    bool Flush(bool all) {
        const size_t n = static_cast<size_t>(pptr() - pbase());
        size_t complete = n;
        if (!all) {
            // Back up over continuation bytes to the start of the last sequence.
            size_t start = n;
            while (start > 0 && (static_cast<unsigned char>(m_buffer[start - 1]) & 0xC0) == 0x80)
                --start;
            if (start > 0) {
                const unsigned char lead = static_cast<unsigned char>(m_buffer[start - 1]);
                const size_t want = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
                if (n - (start - 1) < want) complete = start - 1;
            }
        }
        const std::wstring text = Widen(std::string_view(m_buffer, complete));
        bool ok = true;
        size_t at = 0;
        while (at < text.size()) {
            DWORD written = 0;
            if (!WriteConsoleW(m_console, text.data() + at, static_cast<DWORD>(text.size() - at),
                               &written, nullptr) ||
                written == 0) {
                ok = false;
                break;
            }
            at += written;
        }
        std::memmove(m_buffer, m_buffer + complete, n - complete);
        setp(m_buffer, m_buffer + sizeof m_buffer);
        pbump(static_cast<int>(n - complete));
        return ok;
    }

    HANDLE m_console;
    char m_buffer[4096];
};

bool IsConsole(HANDLE h) {
    DWORD mode = 0;
    return h != INVALID_HANDLE_VALUE && h != nullptr && GetConsoleMode(h, &mode);
}

}  // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int n = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!wide) return {argv + (argc > 0 ? 1 : 0), argv + argc};
    std::vector<std::string> args;
    for (int i = 1; i < n; ++i) args.push_back(Narrow(wide[i]));
    LocalFree(wide);
    return args;
}

void UseUtf8Console() {
    // Files and pipes get the bytes as written, as on Linux: no CR added before each LF, which
    // would also break an export written in UTF-16.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // Kept for the whole run: the streams use them until exit.
    static ConsoleBuffer* out = nullptr;
    static ConsoleBuffer* err = nullptr;
    const HANDLE hout = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE herr = GetStdHandle(STD_ERROR_HANDLE);
    if (!out && IsConsole(hout)) {
        std::cout.flush();
        out = new ConsoleBuffer(hout);
        std::cout.rdbuf(out);
    }
    if (!err && IsConsole(herr)) {
        std::cerr.flush();
        err = new ConsoleBuffer(herr);
        std::cerr.rdbuf(err);
    }
}

int FinishProcess(int code) {
    if (!g_callAbandoned) return code;
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    return code;  // not reached
}

std::string SettingsLocation() {
    return "the registry, HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane";
}

}  // namespace voldrane::platform
