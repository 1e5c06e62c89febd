#include "platform/linux/SystemBus.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace voldrane::platform::linux_os {

namespace {

using Clock = std::chrono::steady_clock;

std::string ErrorText(const char* what, int r, const sd_bus_error* e = nullptr) {
    std::string text = what;
    text += ": ";
    text += (e && e->message) ? e->message : std::strerror(-r);
    return text;
}

}  // namespace

SystemBus::Reply::~Reply() {
    sd_bus_message_unref(message);
}

SystemBus::~SystemBus() {
    sd_bus_close_unref(m_bus);
}

std::unique_ptr<SystemBus> SystemBus::Connect(std::chrono::milliseconds timeout,
                                              std::string* error) {
    const char* env = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    const std::string address = env && *env ? env : "unix:path=/run/dbus/system_bus_socket";

    sd_bus* bus = nullptr;
    int r = sd_bus_new(&bus);
    if (r < 0) {
        *error = ErrorText("D-Bus", r);
        return nullptr;
    }
    sd_bus_set_address(bus, address.c_str());
    sd_bus_set_bus_client(bus, 1);
    r = sd_bus_start(bus);
    if (r < 0) {
        const bool absent = r == -ENOENT || r == -ECONNREFUSED;
        *error = absent ? std::string() : ErrorText(("system bus at " + address).c_str(), r);
        sd_bus_close_unref(bus);
        return nullptr;
    }
    // sd-bus's own handshake wait is far longer than anything detection may spend.
    const auto deadline = Clock::now() + timeout;
    while ((r = sd_bus_is_ready(bus)) == 0) {
        r = sd_bus_process(bus, nullptr);
        if (r < 0) break;
        if (r > 0) continue;
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            r = -ETIMEDOUT;
            break;
        }
        r = sd_bus_wait(bus,
                        static_cast<uint64_t>(
                            std::chrono::duration_cast<std::chrono::microseconds>(left).count()));
        if (r < 0) break;
    }
    if (r < 0) {
        *error = ErrorText(("system bus at " + address).c_str(), r);
        sd_bus_close_unref(bus);
        return nullptr;
    }
    return std::unique_ptr<SystemBus>(new SystemBus(bus, timeout));
}

std::unique_ptr<SystemBus::Reply> SystemBus::GetProperty(const std::string& service,
                                                         const std::string& path,
                                                         const std::string& interface,
                                                         const std::string& name, const char* type,
                                                         std::string* error) {
    if (m_timedOut) {
        *error = "D-Bus: " + service + " did not answer in time";
        return nullptr;
    }
    sd_bus_message* call = nullptr;
    int r = sd_bus_message_new_method_call(m_bus, &call, service.c_str(), path.c_str(),
                                           "org.freedesktop.DBus.Properties", "Get");
    if (r >= 0) r = sd_bus_message_set_auto_start(call, 0);
    if (r >= 0) r = sd_bus_message_append(call, "ss", interface.c_str(), name.c_str());
    if (r < 0) {
        sd_bus_message_unref(call);
        *error = ErrorText("D-Bus message", r);
        return nullptr;
    }
    auto reply = std::make_unique<Reply>();
    sd_bus_error e = SD_BUS_ERROR_NULL;
    const uint64_t usec = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(m_timeout).count());
    r = sd_bus_call(m_bus, call, usec, &e, &reply->message);
    sd_bus_message_unref(call);
    if (r < 0) {
        if (r == -ETIMEDOUT) m_timedOut = true;
        const bool absent = sd_bus_error_has_name(&e, SD_BUS_ERROR_SERVICE_UNKNOWN) ||
                            sd_bus_error_has_name(&e, SD_BUS_ERROR_NAME_HAS_NO_OWNER);
        *error = absent ? std::string() : ErrorText((service + " " + name).c_str(), r, &e);
        sd_bus_error_free(&e);
        return nullptr;
    }
    r = sd_bus_message_enter_container(reply->message, 'v', type);
    if (r <= 0) {
        *error = service + " " + name + ": not of type " + type;
        return nullptr;
    }
    return reply;
}

std::optional<std::string> SystemBus::GetString(const std::string& service, const std::string& path,
                                                const std::string& interface,
                                                const std::string& name, std::string* error) {
    const auto reply = GetProperty(service, path, interface, name, "s", error);
    const char* s = nullptr;
    if (!reply || sd_bus_message_read(reply->message, "s", &s) < 0 || !s) return std::nullopt;
    return std::string(s);
}

std::optional<std::string> SystemBus::GetObjectPath(const std::string& service,
                                                    const std::string& path,
                                                    const std::string& interface,
                                                    const std::string& name, std::string* error) {
    const auto reply = GetProperty(service, path, interface, name, "o", error);
    const char* s = nullptr;
    if (!reply || sd_bus_message_read(reply->message, "o", &s) < 0 || !s) return std::nullopt;
    return std::string(s);
}

}  // namespace voldrane::platform::linux_os
