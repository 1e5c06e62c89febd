#pragma once

// A fresh private folder for one test, removed with all it holds when the object goes.

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace voldrane::test {

class TempFolder {
  public:
    // `parent` must exist; /dev/shm keeps tests with many fsyncs cheap.
    explicit TempFolder(const std::string& prefix = "voldrane-test",
                        const std::string& parent = "/tmp") {
        std::string pattern = parent + "/" + prefix + "-XXXXXX";
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp " + pattern + ": " + std::strerror(errno));
        m_path = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_path; }
    // A path inside the folder.
    std::string operator/(const std::string& relative) const { return m_path + "/" + relative; }

  private:
    std::string m_path;
};

}  // namespace voldrane::test
