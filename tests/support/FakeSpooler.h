#pragma once

// The spooler's answers, set by the test, with no print server: records what was made the
// default, optionally into a log shared with other fakes to check the order of calls.

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/Spooler.h"

namespace voldrane::test {

class FakeSpooler final : public platform::ISpooler {
  public:
    explicit FakeSpooler(std::vector<std::string>* log = nullptr) : m_log(log) {}

    std::optional<std::vector<std::string>> printers = std::vector<std::string>{};  // none: down
    std::optional<std::string> defaultPrinter;
    bool setResult = true;  // false: the server refuses every new default
    // True: refuses a printer that is not among `printers`, as a print server does.
    bool onlyInstalled = false;
    std::vector<std::string> setDefaultCalls;

    std::optional<std::vector<std::string>> EnumPrinters(std::string* error = nullptr) override {
        if (!printers && error) *error = "print server unreachable: test";
        return printers;
    }
    std::optional<std::string> GetDefaultPrinter(std::string* = nullptr) override {
        return defaultPrinter;
    }
    bool SetDefaultPrinter(const std::string& name, std::string* error = nullptr) override {
        setDefaultCalls.push_back(name);
        if (m_log) m_log->push_back("printer:" + name);
        const bool installed =
            printers && std::find(printers->begin(), printers->end(), name) != printers->end();
        if (!setResult || (onlyInstalled && !installed)) {
            if (error) *error = "no printer named \"" + name + "\" on the print server";
            return false;
        }
        defaultPrinter = name;
        return true;
    }

  private:
    std::vector<std::string>* m_log;
};

}  // namespace voldrane::test
