#pragma once

#include <functional>
#include <memory>
#include <string>

namespace voldrane::platform {

// Tells its owner, on the UI thread, that a file may have changed: rewritten in place, or
// replaced, created or removed by a rename in its folder (as the settings store replaces its
// file). A burst of changes comes as one call, once the folder has been quiet for a moment.
class IFileWatch {
  public:
    virtual ~IFileWatch() = default;
    // A change was seen and its call has not been made yet.
    virtual bool Pending() const = 0;
};

// Watches `path` until the returned object goes. `changed` is called after `quietMs` without
// a further change, and at the latest `maxDelayMs` after the first one, so that a folder that
// never rests still gets its calls. Null when the watch cannot be set up.
std::unique_ptr<IFileWatch> WatchFile(const std::string& path, int quietMs, int maxDelayMs,
                                      std::function<void()> changed);

}  // namespace voldrane::platform
