// The settings file's parser on any bytes. Besides not crashing, what it keeps must survive
// the store's write-read cycle: the written file parses without a complaint and is written
// back byte for byte the same (the store rewrites the file on every save), in either form.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "offices/RegFile.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace voldrane;
    const RegParseResult first =
        ParseRegFile(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const auto& issue : first.issues) FUZZ_CHECK(issue.line >= 1);
    FUZZ_CHECK(first.issues.size() <= kMaxListedRegIssues);
    FUZZ_CHECK(first.issueCount >= first.issues.size());
    FUZZ_CHECK(first.issueCount == first.issues.size() ||
               first.issues.size() == kMaxListedRegIssues);

    const std::string written = SerializeRegFile(first.tree);
    const RegParseResult again = ParseRegFile(written);
    FUZZ_CHECK(again.hasHeader);
    FUZZ_CHECK(again.issues.empty());
    FUZZ_CHECK(SerializeRegFile(again.tree) == written);
    // The registry editor's form (UTF-16LE, CRLF), which a store copied from Windows keeps,
    // carries the same.
    const RegParseResult wide = ParseRegFile(SerializeRegFile(first.tree, kRegeditForm));
    FUZZ_CHECK(wide.issues.empty() && wide.form == kRegeditForm);
    FUZZ_CHECK(SerializeRegFile(wide.tree) == written);
    return 0;
}
