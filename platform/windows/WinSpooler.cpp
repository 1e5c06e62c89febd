// The print spooler through winspool: EnumPrintersW (local printers and the user's
// connections, in the spooler's order), GetDefaultPrinterW and SetDefaultPrinterW. A call to
// a print server that stopped answering can block without end and cannot be cancelled: each
// runs on a thread that is abandoned after the bound (platform/Bounded.h). winspool itself is
// loaded on that thread at the first call, not at program start: under Wine its loading
// already asks the print server, and a program that imported it would hang before main().
#include <windows.h>
#include <winspool.h>

#include <memory>
#include <mutex>

#include "platform/Bounded.h"
#include "platform/Platform.h"
#include "platform/windows/WinSpooler.h"
#include "platform/windows/WinText.h"

namespace voldrane::platform {

std::unique_ptr<ISpooler> CreateSpooler() {
    return std::make_unique<windows_os::WinSpooler>();
}

// Windows has no print client library to keep out of the tray program: the same spooler.
std::unique_ptr<ISpooler> CreateOutOfProcessSpooler() {
    return CreateSpooler();
}

namespace windows_os {

namespace {

// winspool's functions, loaded once.
struct Winspool {
    decltype(&::EnumPrintersW) enumPrinters = nullptr;
    decltype(&::GetDefaultPrinterW) getDefault = nullptr;
    decltype(&::SetDefaultPrinterW) setDefault = nullptr;
    std::string error;  // why they could not be loaded
};

template <typename F>
F Function(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const Winspool& LoadWinspool() {
    static std::mutex mutex;
    static Winspool winspool;
    static bool loaded = false;
    std::lock_guard<std::mutex> lock(mutex);
    if (loaded) return winspool;
    loaded = true;
    const HMODULE module = LoadLibraryW(L"winspool.drv");
    if (module) {
        winspool.enumPrinters = Function<decltype(winspool.enumPrinters)>(module, "EnumPrintersW");
        winspool.getDefault = Function<decltype(winspool.getDefault)>(module, "GetDefaultPrinterW");
        winspool.setDefault = Function<decltype(winspool.setDefault)>(module, "SetDefaultPrinterW");
    }
    if (!winspool.enumPrinters || !winspool.getDefault || !winspool.setDefault)
        winspool.error = "the print spooler's library cannot be loaded: " + LastErrorText();
    return winspool;
}

// What a call gives back from its thread: an answer, or the OS's reason.
template <typename T>
struct Answer {
    std::optional<T> value;
    std::string error;
};

std::string Late(std::chrono::milliseconds bound, const char* what) {
    return std::string("the print spooler did not answer ") + what + " within " +
           std::to_string(bound.count() / 1000) + " s";
}

}  // namespace

std::optional<std::vector<std::string>> WinSpooler::EnumPrinters(std::string* error) {
    const auto answer = RunBounded(m_bound, []() {
        Answer<std::vector<std::string>> a;
        const Winspool& ws = LoadWinspool();
        if (!ws.error.empty()) {
            a.error = ws.error;
            return a;
        }
        const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
        DWORD needed = 0, count = 0;
        std::vector<BYTE> buffer;
        for (int attempt = 0; attempt < 4; ++attempt) {
            if (ws.enumPrinters(flags, nullptr, 4, buffer.data(), static_cast<DWORD>(buffer.size()),
                                &needed, &count)) {
                a.value.emplace();
                const auto* info = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
                for (DWORD i = 0; i < count; ++i)
                    if (info[i].pPrinterName) a.value->push_back(Narrow(info[i].pPrinterName));
                return a;
            }
            const DWORD rc = GetLastError();
            if (rc != ERROR_INSUFFICIENT_BUFFER) {
                a.error = ErrorText(rc);
                return a;
            }
            buffer.resize(needed);
        }
        a.error = ErrorText(ERROR_INSUFFICIENT_BUFFER);
        return a;
    });
    if (!answer) {
        if (error) *error = Late(m_bound, "the list of printers");
        return std::nullopt;
    }
    if (!answer->value && error) *error = answer->error;
    return answer->value;
}

std::optional<std::string> WinSpooler::GetDefaultPrinter(std::string* error) {
    const auto answer = RunBounded(m_bound, []() {
        Answer<std::string> a;
        const Winspool& ws = LoadWinspool();
        if (!ws.error.empty()) {
            a.error = ws.error;
            return a;
        }
        DWORD size = 0;
        ws.getDefault(nullptr, &size);
        DWORD rc = GetLastError();
        if (rc == ERROR_FILE_NOT_FOUND) return a;  // no default printer: no error either
        if (rc != ERROR_INSUFFICIENT_BUFFER) {
            a.error = ErrorText(rc);
            return a;
        }
        std::wstring name(size, L'\0');
        if (!ws.getDefault(name.data(), &size)) {
            rc = GetLastError();
            if (rc != ERROR_FILE_NOT_FOUND) a.error = ErrorText(rc);
            return a;
        }
        name.resize(size > 0 ? size - 1 : 0);
        a.value = Narrow(name);
        return a;
    });
    if (!answer) {
        if (error) *error = Late(m_bound, "which printer is the default");
        return std::nullopt;
    }
    if (error) *error = answer->error;
    return answer->value;
}

bool WinSpooler::SetDefaultPrinter(const std::string& name, std::string* error) {
    // SetDefaultPrinterW takes an empty name as "pick one": never what was asked for.
    if (name.empty()) {
        if (error) *error = "no printer name given";
        return false;
    }
    const auto answer = RunBounded(m_bound, [wide = Widen(name)]() {
        Answer<bool> a;
        const Winspool& ws = LoadWinspool();
        if (!ws.error.empty()) {
            a.error = ws.error;
            return a;
        }
        if (ws.setDefault(wide.c_str()))
            a.value = true;
        else
            a.error = ErrorText(GetLastError());
        return a;
    });
    if (!answer) {
        if (error) *error = Late(m_bound, "setting the default printer");
        return false;
    }
    if (!answer->value && error)
        *error = "the default printer cannot be set to \"" + name + "\": " + answer->error;
    return answer->value.has_value();
}

}  // namespace windows_os

}  // namespace voldrane::platform
