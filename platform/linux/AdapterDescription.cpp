#include "platform/linux/AdapterDescription.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include "platform/linux/TextFile.h"

namespace voldrane::platform::linux_os {

namespace {

std::optional<std::string> RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved)) return std::nullopt;
    return std::string(resolved);
}

// The driver's name: the last part of the device's "driver" link.
std::string DriverName(const std::string& sysRoot, const std::string& ifname) {
    const std::string link = sysRoot + "/class/net/" + ifname + "/device/driver";
    char target[PATH_MAX];
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) return {};
    const std::string t(target, static_cast<size_t>(n));
    const size_t slash = t.rfind('/');
    return slash == std::string::npos ? t : t.substr(slash + 1);
}

// Interface names come from the kernel, but keep path arithmetic away from odd ones.
bool SafeName(const std::string& ifname) {
    return !ifname.empty() && ifname != "." && ifname != ".." &&
           ifname.find('/') == std::string::npos;
}

}  // namespace

std::optional<std::string> UdevProperty(std::string_view record, std::string_view key) {
    size_t pos = 0;
    while (pos < record.size()) {
        size_t end = record.find('\n', pos);
        if (end == std::string_view::npos) end = record.size();
        std::string_view line = record.substr(pos, end - pos);
        if (line.size() > 2 && line.substr(0, 2) == "E:") {
            line.remove_prefix(2);
            if (line.size() > key.size() && line.substr(0, key.size()) == key &&
                line[key.size()] == '=')
                return std::string(line.substr(key.size() + 1));
        }
        pos = end + 1;
    }
    return std::nullopt;
}

std::optional<bool> IsVirtualInterface(const std::string& sysRoot, const std::string& ifname) {
    if (!SafeName(ifname)) return std::nullopt;
    const auto device = RealPath(sysRoot + "/class/net/" + ifname);
    const auto root = RealPath(sysRoot);
    if (!device || !root) return std::nullopt;
    const std::string prefix = *root + "/devices/virtual/net/";
    return device->compare(0, prefix.size(), prefix) == 0;
}

std::string DescribeInterface(const std::string& sysRoot, const std::string& runRoot, int ifindex,
                              const std::string& ifname, const std::string& kind) {
    if (IsVirtualInterface(sysRoot, ifname).value_or(!kind.empty()))
        return ifname + (kind.empty() ? " (Virtual adapter)" : " (Virtual " + kind + " adapter)");

    if (const auto record = ReadTextFile(runRoot + "/udev/data/n" + std::to_string(ifindex))) {
        const auto vendor = UdevProperty(*record, "ID_VENDOR_FROM_DATABASE");
        const auto model = UdevProperty(*record, "ID_MODEL_FROM_DATABASE");
        if (vendor && model) return *vendor + " " + *model;
        if (model) return *model;
        if (vendor) return *vendor + " (" + ifname + ")";
    }
    const std::string driver = SafeName(ifname) ? DriverName(sysRoot, ifname) : std::string();
    return driver.empty() ? ifname : ifname + " (" + driver + ")";
}

}  // namespace voldrane::platform::linux_os
