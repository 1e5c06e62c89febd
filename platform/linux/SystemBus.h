#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

typedef struct sd_bus sd_bus;
typedef struct sd_bus_message sd_bus_message;

namespace voldrane::platform::linux_os {

// A short-lived connection to the system bus (DBUS_SYSTEM_BUS_ADDRESS, else the standard
// socket) for reading properties of services that are already running. Every wait, the
// connection's handshake included, ends after the given time; services are never started
// on demand by these calls. Failures leave a message in *error, except that it stays empty
// when the bus or the service is simply not there: that is no fault.
class SystemBus {
  public:
    // nullptr when there is no bus or it does not answer in time.
    static std::unique_ptr<SystemBus> Connect(std::chrono::milliseconds timeout,
                                              std::string* error);
    ~SystemBus();
    SystemBus(const SystemBus&) = delete;
    SystemBus& operator=(const SystemBus&) = delete;

    // org.freedesktop.DBus.Properties.Get; the reply is positioned inside the variant whose
    // contents have signature `type`. nullptr (message in *error) on failure or wrong type.
    struct Reply {
        sd_bus_message* message = nullptr;
        ~Reply();
    };
    std::unique_ptr<Reply> GetProperty(const std::string& service, const std::string& path,
                                       const std::string& interface, const std::string& name,
                                       const char* type, std::string* error);

    std::optional<std::string> GetString(const std::string& service, const std::string& path,
                                         const std::string& interface, const std::string& name,
                                         std::string* error);
    std::optional<std::string> GetObjectPath(const std::string& service, const std::string& path,
                                             const std::string& interface, const std::string& name,
                                             std::string* error);

    // For a caller that waits for signals on the connection.
    sd_bus* Handle() const { return m_bus; }

    // True after a call ran out of time: the caller should stop asking this service.
    bool TimedOut() const { return m_timedOut; }

  private:
    SystemBus(sd_bus* bus, std::chrono::milliseconds timeout) : m_bus(bus), m_timeout(timeout) {}
    sd_bus* m_bus;
    std::chrono::milliseconds m_timeout;
    bool m_timedOut = false;
};

}  // namespace voldrane::platform::linux_os
