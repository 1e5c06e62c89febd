// The printer commands: the printer catalogue, and applying an office as the tray program
// does (its printer made the user's default).
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/CliCommon.h"
#include "network/Detection.h"
#include "network/Matching.h"
#include "network/OfficeSelection.h"
#include "offices/CRegistry.h"
#include "offices/OfficeLookup.h"
#include "offices/OfficeStore.h"
#include "platform/Platform.h"

namespace voldrane::cli {

namespace {

int Fail(const Command& self, std::ostream& err, const std::string& message, int code) {
    err << "voldranectl " << self.name << ": " << message << '\n';
    return code;
}

// The offices in the user's store; false with `error` when the store cannot be read.
bool LoadStoredOffices(COfficeList& offices, std::string& error) {
    const auto store = platform::CreateRegistryStore();
    CRegistry registry(*store);
    LoadOffices(registry, offices);
    error = store->ReadError();
    return error.empty();
}

// Applies the office at `position` through the shared apply sequence. The office counts as
// applied either way; a printer the print server would not make the default is exit 3.
int ApplyOffice(const Command& self, const COfficeList& offices, int position, std::ostream& out,
                std::ostream& err) {
    const auto spooler = platform::CreateSpooler();
    int currentOffice = -1;
    const SelectionOutcome outcome =
        SelectOffice(offices, position, *spooler, nullptr, currentOffice);
    if (!outcome.printerSet)
        return Fail(self, err, "default printer unchanged: " + outcome.error, kExitFailure);
    out << "default printer: " << offices.ElementAt(position).m_strDefaultPrinter << '\n';
    return kExitOk;
}

}  // namespace

int RunPrinters(const Command& self, const std::vector<std::string>& args, std::ostream& out,
                std::ostream& err) {
    const auto parsed = ParseArgs(self.name, args, {{"json", false}}, err);
    if (!parsed) return UsageError(self, err, "");
    if (!parsed->positionals.empty()) return UsageError(self, err, "unexpected argument");

    const auto spooler = platform::CreateSpooler();
    std::string error;
    const auto names = spooler->EnumPrinters(&error);
    if (!names) return Fail(self, err, error, kExitFailure);
    const auto defaultPrinter = spooler->GetDefaultPrinter(&error);
    if (!defaultPrinter && !error.empty()) return Fail(self, err, error, kExitFailure);

    if (parsed->Has("json")) {
        auto j = nlohmann::ordered_json::array();
        for (const auto& name : *names)
            j.push_back({{"name", name}, {"default", defaultPrinter && name == *defaultPrinter}});
        out << j.dump(2) << '\n';
    } else {
        for (const auto& name : *names)
            out << (defaultPrinter && name == *defaultPrinter ? "* " : "  ") << name << '\n';
    }
    return kExitOk;
}

int RunApply(const Command& self, const std::vector<std::string>& args, std::ostream& out,
             std::ostream& err) {
    const auto parsed = ParseArgs(self.name, args, {}, err);
    if (!parsed) return UsageError(self, err, "");
    if (parsed->positionals.size() != 1) return UsageError(self, err, "name one office");
    const std::string& wanted = parsed->positionals[0];

    COfficeList offices;
    std::string error;
    if (!LoadStoredOffices(offices, error)) return Fail(self, err, error, kExitFailure);

    const int position = FindOfficeByKeyOrName(offices, wanted);
    if (position < 0)
        return Fail(self, err,
                    "no office has the key or the name \"" + wanted + "\" (see voldranectl list)",
                    kExitUsage);

    out << offices.ElementAt(position).m_strOfficeName << '\n';
    return ApplyOffice(self, offices, position, out, err);
}

int RunAuto(const Command& self, const std::vector<std::string>& args, std::ostream& out,
            std::ostream& err) {
    const auto parsed = ParseArgs(self.name, args, {}, err);
    if (!parsed) return UsageError(self, err, "");
    if (!parsed->positionals.empty()) return UsageError(self, err, "unexpected argument");

    // The tray program's start-up with automatic detection on: detect, load, match.
    const auto source = platform::CreateNetworkSource();
    const CNetworkSettings current = DetectNetworkSettings(*source);
    COfficeList offices;
    std::string error;
    if (!LoadStoredOffices(offices, error)) return Fail(self, err, error, kExitFailure);

    const int position = FindMatchingOffice(offices, current, out);  // prints the name
    if (position < 0) {
        err << "Cannot Determine Office Network\n";
        return kExitNoMatch;
    }
    return ApplyOffice(self, offices, position, out, err);
}

}  // namespace voldrane::cli
