// The IP Helper headers need these before them, in this order.
#include <winsock2.h>
// (kept apart so that the order stays)
#include <windows.h>
#include <ws2ipdef.h>
// The notification functions.
#include <iphlpapi.h>
#include <netioapi.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/windows/WinNetwork.h"

namespace voldrane::platform::windows_os {

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

namespace {

// The adapters and DNS servers as one text, to tell one reading from the next.
std::string Snapshot(WinNetworkSource& source) {
    std::string s;
    if (const auto adapters = source.QueryAdapters())
        for (const auto& a : *adapters)
            s += a.description + "|" + a.ipAddress + "|" + a.ipMask + "|" + a.gateway + "|" +
                 a.dhcpServer + "|" + a.winsServer + "\n";
    if (const auto dns = source.QueryDnsServers())
        for (const auto& d : *dns) s += d + ",";
    return s;
}

// PowerRegisterSuspendResumeNotification's callback parameters (powrprof.h), declared here as
// powrprof is loaded only when present.
struct ResumeParams {
    ULONG(CALLBACK* callback)(PVOID context, ULONG type, PVOID setting);
    PVOID context;
};
constexpr ULONG kDeviceNotifyCallback = 2;
constexpr ULONG kPbtApmResumeAutomatic = 0x12;
constexpr ULONG kPbtApmResumeSuspend = 0x7;

}  // namespace

struct NetworkChangeWatch::State {
    std::function<void()> changed;
    HANDLE interfaces = nullptr;
    HANDLE addresses = nullptr;
    HANDLE routes = nullptr;
    HMODULE powrprof = nullptr;
    HANDLE resume = nullptr;
    ResumeParams resumeParams{};
    // The poll under Wine.
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::thread poller;

    static void CALLBACK OnChange(PVOID context, PVOID, MIB_NOTIFICATION_TYPE type) {
        // The initial notification only says the registration is in place.
        if (type == MibInitialNotification) return;
        static_cast<State*>(context)->changed();
    }
    static void CALLBACK OnRoute(PVOID context, PMIB_IPFORWARD_ROW2, MIB_NOTIFICATION_TYPE type) {
        OnChange(context, nullptr, type);
    }
    static void CALLBACK OnAddress(PVOID context, PMIB_UNICASTIPADDRESS_ROW,
                                   MIB_NOTIFICATION_TYPE type) {
        OnChange(context, nullptr, type);
    }
    static void CALLBACK OnInterface(PVOID context, PMIB_IPINTERFACE_ROW,
                                     MIB_NOTIFICATION_TYPE type) {
        OnChange(context, nullptr, type);
    }
    static ULONG CALLBACK OnPower(PVOID context, ULONG type, PVOID) {
        if (type == kPbtApmResumeAutomatic || type == kPbtApmResumeSuspend)
            static_cast<State*>(context)->changed();
        return 0;
    }
};

std::unique_ptr<NetworkChangeWatch> NetworkChangeWatch::Start(std::function<void()> changed,
                                                              std::string* error, int pollMs) {
    std::unique_ptr<NetworkChangeWatch> watch(new NetworkChangeWatch);
    auto state = std::make_shared<State>();
    state->changed = std::move(changed);
    watch->m_state = state;
    if (RunningUnderWine()) {
        // Wine registers the notifications and never calls them (Wine 8): read the adapters.
        watch->m_polling = true;
        state->poller = std::thread([s = state.get(), pollMs] {
            WinNetworkSource source;
            std::string last = Snapshot(source);
            std::unique_lock<std::mutex> lock(s->mutex);
            while (!s->wake.wait_for(lock, std::chrono::milliseconds(pollMs),
                                     [s] { return s->stopping; })) {
                lock.unlock();
                std::string now = Snapshot(source);
                const bool differs = now != last;
                last = std::move(now);
                if (differs) s->changed();
                lock.lock();
            }
        });
        return watch;
    }
    const DWORD rc = NotifyIpInterfaceChange(AF_UNSPEC, &State::OnInterface, state.get(), FALSE,
                                             &state->interfaces);
    const DWORD rc2 = NotifyUnicastIpAddressChange(AF_UNSPEC, &State::OnAddress, state.get(), FALSE,
                                                   &state->addresses);
    const DWORD rc3 =
        NotifyRouteChange2(AF_UNSPEC, &State::OnRoute, state.get(), FALSE, &state->routes);
    if (rc != NO_ERROR && rc2 != NO_ERROR && rc3 != NO_ERROR) {
        if (error) *error = "the network's changes cannot be watched: " + ErrorText(rc);
        return nullptr;
    }
    // Resume from sleep (Windows 8 and later; nothing where powrprof lacks it).
    state->powrprof = LoadLibraryW(L"powrprof.dll");
    if (state->powrprof) {
        using Register = DWORD(WINAPI*)(DWORD, HANDLE, PHANDLE);
        const auto reg = reinterpret_cast<Register>(reinterpret_cast<void*>(
            GetProcAddress(state->powrprof, "PowerRegisterSuspendResumeNotification")));
        state->resumeParams = {&State::OnPower, state.get()};
        if (!reg || reg(kDeviceNotifyCallback, &state->resumeParams, &state->resume) != 0)
            state->resume = nullptr;
    }
    return watch;
}

NetworkChangeWatch::~NetworkChangeWatch() {
    State& s = *m_state;
    if (s.poller.joinable()) {
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            s.stopping = true;
        }
        s.wake.notify_all();
        s.poller.join();
    }
    // Each cancel returns once no callback of its registration runs any more.
    if (s.interfaces) CancelMibChangeNotify2(s.interfaces);
    if (s.addresses) CancelMibChangeNotify2(s.addresses);
    if (s.routes) CancelMibChangeNotify2(s.routes);
    if (s.resume) {
        using Unregister = DWORD(WINAPI*)(HANDLE);
        const auto unreg = reinterpret_cast<Unregister>(reinterpret_cast<void*>(
            GetProcAddress(s.powrprof, "PowerUnregisterSuspendResumeNotification")));
        if (unreg) unreg(s.resume);
    }
    if (s.powrprof) FreeLibrary(s.powrprof);
}

}  // namespace voldrane::platform::windows_os
