#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace voldrane::platform::linux_os {

// The contents of a small text file; nullopt when it is missing or unreadable. A file larger
// than `limit` yields only its last `limit` bytes: lease files grow at their end, and the
// newest entries are the ones that count.
std::optional<std::string> ReadTextFile(const std::string& path, size_t limit = 1u << 20);

}  // namespace voldrane::platform::linux_os
