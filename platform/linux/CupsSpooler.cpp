#include "platform/linux/CupsSpooler.h"

#include <cups/cups.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/Platform.h"
#include "platform/linux/LpOptions.h"

namespace voldrane::platform {

std::unique_ptr<ISpooler> CreateSpooler() {
    return std::make_unique<linux_os::CupsSpooler>();
}

namespace linux_os {
namespace {

using Clock = std::chrono::steady_clock;

void SetError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

// The server as the user configured it: a socket path, or host:port.
std::string ServerName() {
    const char* server = cupsServer();
    if (!server || !*server) return "(none)";
    if (server[0] == '/') return server;
    return std::string(server) + ":" + std::to_string(ippPort());
}

// Why the server cannot be reached. libcups keeps no useful errno for a failed connect
// ("Host is down" for anything), so a local socket is tried once more here to name the cause.
std::string ConnectFailure() {
    const std::string server = ServerName();
    sockaddr_un addr{};
    if (server[0] != '/' || server.size() >= sizeof(addr.sun_path)) {
        // libcups says "Host is down" for a refused connection as well.
        const std::string text = cupsLastErrorString();
        return text == std::strerror(EHOSTDOWN) ? "no connection (is cupsd running there?)" : text;
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::strerror(errno);
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, server.c_str(), server.size());
    const int rc = connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
    const int e = errno;
    close(fd);
    return rc == 0 ? "connection closed" : std::strerror(e);
}

// libcups reports transport failures in the server-error range; a client error such as
// not-found is an answer ("no printers", "no default"), not a failure to reach the server.
bool IsTransportFailure(ipp_status_t status) {
    return status >= IPP_STATUS_ERROR_INTERNAL;
}

// One conversation with the print server that ends by a deadline. libcups calls the
// timeout callback each time a wait for the server has lasted one tick; waiting goes on
// only while the deadline is ahead, so a server that never answers costs the bound.
class Session {
  public:
    explicit Session(std::chrono::milliseconds bound)
        : m_bound(bound), m_deadline(Clock::now() + bound) {}
    ~Session() {
        if (m_http) httpClose(m_http);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool Connect(std::string* error) {
        m_http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                              static_cast<int>(m_bound.count()), nullptr);
        if (!m_http) {
            SetError(error, "print server unreachable: " + ServerName() + ": " + ConnectFailure());
            return false;
        }
        const double tick = std::min(0.25, static_cast<double>(m_bound.count()) / 1000.0);
        httpSetTimeout(m_http, tick, &Session::KeepWaiting, this);
        return true;
    }

    http_t* Http() const { return m_http; }
    Clock::time_point Deadline() const { return m_deadline; }
    bool TimedOut() const { return m_timedOut || Clock::now() >= m_deadline; }

    std::string NotAnswering() const {
        return "print server not answering: " + ServerName() + " (no reply within " +
               std::to_string(m_bound.count()) + " ms)";
    }

    // Why the last exchange failed: the deadline, or what libcups reported.
    std::string FailureText() const {
        if (TimedOut()) return NotAnswering();
        return "print server unreachable: " + ServerName() + ": " + cupsLastErrorString();
    }

  private:
    static int KeepWaiting(http_t*, void* data) {
        auto* self = static_cast<Session*>(data);
        if (Clock::now() < self->m_deadline) return 1;
        self->m_timedOut = true;
        return 0;
    }

    std::chrono::milliseconds m_bound;
    Clock::time_point m_deadline;
    http_t* m_http = nullptr;
    bool m_timedOut = false;
};

// Asks the server for something small over the bounded connection, to learn within the
// bound whether it answers at all.
bool Ping(Session& session, std::string* error) {
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_DEFAULT);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "printer-name");
    ipp_t* response = cupsDoRequest(session.Http(), request, "/");
    if (!response) {
        SetError(error, session.FailureText());
        return false;
    }
    ippDelete(response);
    return true;
}

// Whether the server has the queue `queue` (printer or class), in one request: its name as
// the server spells it in `spelled`, empty when there is none. False on a failure to ask.
bool FindQueue(Session& session, const std::string& queue, std::string& spelled,
               std::string* error) {
    char uri[HTTP_MAX_URI];
    if (httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost",
                         ippPort(), "/printers/%s", queue.c_str()) != HTTP_URI_STATUS_OK) {
        spelled.clear();  // not a name a queue can have
        return true;
    }
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "printer-name");
    ipp_t* response = cupsDoRequest(session.Http(), request, "/");
    const ipp_status_t status = cupsLastError();
    if (session.TimedOut() || IsTransportFailure(status)) {
        ippDelete(response);
        SetError(error, session.FailureText());
        return false;
    }
    spelled.clear();
    if (response && status <= IPP_STATUS_OK_EVENTS_COMPLETE) {
        const char* name =
            ippGetString(ippFindAttribute(response, "printer-name", IPP_TAG_NAME), 0, nullptr);
        spelled = name && *name ? name : queue;
    } else if (status != IPP_STATUS_ERROR_NOT_FOUND) {
        ippDelete(response);
        SetError(error, "print server refused: " + ServerName() + ": " + cupsLastErrorString());
        return false;
    }
    ippDelete(response);
    return true;
}

std::string DestName(const cups_dest_t& dest) {
    std::string name = dest.name;
    if (dest.instance) name += std::string("/") + dest.instance;
    return name;
}

int CollectName(void* data, unsigned flags, cups_dest_t* dest) {
    if (!(flags & CUPS_DEST_FLAGS_REMOVED))
        static_cast<std::vector<std::string>*>(data)->push_back(DestName(*dest));
    return 1;
}

struct Enumeration {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::vector<std::string> names;
    std::string failure;
};

}  // namespace

std::optional<std::vector<std::string>> CupsSpooler::EnumPrinters(std::string* error) {
    Session session(m_bound);
    if (!session.Connect(error) || !Ping(session, error)) return std::nullopt;

    // cupsEnumDests is the call that lists queues and lpoptions instances without browsing,
    // but it takes no connection: it talks over the thread's default one, which waits about
    // a minute per request on a server gone silent. So it runs on a thread of its own and
    // this call waits only until the deadline; a late thread finishes into its shared state.
    auto shared = std::make_shared<Enumeration>();
    try {
        std::thread([shared] {
            std::vector<std::string> names;
            cupsEnumDests(CUPS_DEST_FLAGS_NONE, 0, nullptr, 0, CUPS_PRINTER_DISCOVERED,
                          &CollectName, &names);
            const ipp_status_t status = cupsLastError();
            std::lock_guard lock(shared->mutex);
            if (status >= IPP_STATUS_REDIRECTION_OTHER_SITE && status != IPP_STATUS_ERROR_NOT_FOUND)
                shared->failure = cupsLastErrorString();
            shared->names = std::move(names);
            shared->finished = true;
            shared->done.notify_all();
        }).detach();
    } catch (const std::system_error& e) {
        SetError(error, std::string("cannot list printers: ") + e.what());
        return std::nullopt;
    }

    std::unique_lock lock(shared->mutex);
    if (!shared->done.wait_until(lock, session.Deadline(), [&] { return shared->finished; })) {
        SetError(error, session.NotAnswering());
        return std::nullopt;
    }
    if (!shared->failure.empty()) {
        SetError(error, "print server unreachable: " + ServerName() + ": " + shared->failure);
        return std::nullopt;
    }
    return std::move(shared->names);
}

std::optional<std::string> CupsSpooler::GetDefaultPrinter(std::string* error) {
    Session session(m_bound);
    if (!session.Connect(error)) return std::nullopt;

    cups_dest_t* dest = cupsGetNamedDest(session.Http(), nullptr, nullptr);
    if (!dest) {
        // Not found: no default anywhere, or one that names a printer that is gone.
        if (session.TimedOut() || IsTransportFailure(cupsLastError()))
            SetError(error, session.FailureText());
        else
            SetError(error, "");
        return std::nullopt;
    }
    std::string name = DestName(*dest);
    cupsFreeDests(1, dest);
    return name;
}

bool CupsSpooler::SetDefaultPrinter(const std::string& name, std::string* error) {
    if (name.empty()) {
        SetError(error, "no printer name given");
        return false;
    }
    const auto slash = name.find('/');
    const std::string queue = name.substr(0, slash);
    const std::string instance = slash == std::string::npos ? "" : name.substr(slash + 1);
    const std::string notFound = "no printer named \"" + name + "\" on the print server";
    if (queue.empty() || (slash != std::string::npos && instance.empty())) {
        SetError(error, notFound);
        return false;
    }

    Session session(m_bound);
    if (!session.Connect(error)) return false;

    // One request: does the server have the queue, and how does it spell it.
    std::string spelled;
    if (!FindQueue(session, queue, spelled, error)) return false;
    if (spelled.empty()) {
        SetError(error, notFound);
        return false;
    }

    // Then the user's lpoptions, as `lpoptions -d` would make them but with every line of
    // other servers' queues kept: only the Default line changes. The server-wide default is
    // left alone.
    const std::string path = UserLpOptionsPath(error);
    if (path.empty()) return false;
    std::string text;
    if (!ReadLpOptions(path, text, error)) return false;
    // An instance is a Dest line of the user's file or of the system-wide one; a name that is
    // neither is a mistake, not a new instance to make.
    if (!instance.empty() && !HasDestLine(text, queue, instance)) {
        std::string system;
        if (!ReadLpOptions(SystemLpOptionsPath(), system, nullptr) ||
            !HasDestLine(system, queue, instance)) {
            SetError(error, notFound);
            return false;
        }
    }
    const auto changed = WithDefaultLine(text, spelled, instance);
    return !changed || ReplaceLpOptions(path, *changed, error);
}

}  // namespace linux_os
}  // namespace voldrane::platform
