#include <gtest/gtest.h>

#include <algorithm>

#include "offices/RegFile.h"
#include "offices/RegText.h"

namespace voldrane {
namespace {

using platform::kRegBinary;
using platform::kRegDword;
using platform::kRegExpandSz;
using platform::kRegMultiSz;
using platform::kRegQword;
using platform::kRegSz;

RegValue Text(std::string_view s) {
    return {kRegSz, {s.begin(), s.end()}};
}
RegValue Dword(uint32_t n) {
    return {kRegDword,
            {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n >> 16),
             static_cast<uint8_t>(n >> 24)}};
}
RegValue Bytes(uint32_t type, std::vector<uint8_t> data) {
    return {type, std::move(data)};
}

std::string Utf16Le(std::string_view ascii, bool bom = true) {
    std::string out = bom ? std::string("\xFF\xFE", 2) : std::string();
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

const RegValue* ValueAt(const RegTree& tree, const std::string& key, const std::string& name) {
    const RegKey* k = FindUserKey(tree, key);
    const RegNamedValue* v = k ? k->FindValue(name) : nullptr;
    return v ? &v->value : nullptr;
}

// Every value form the store can hold comes back identical after a write and a read.
TEST(RegFile, EveryValueFormSurvivesTheFile) {
    std::vector<uint8_t> many(200);
    for (size_t i = 0; i < many.size(); ++i) many[i] = static_cast<uint8_t>(i * 7);
    const std::vector<std::pair<std::string, RegValue>> values = {
        {"plain", Text("Head office")},
        {"empty", Text("")},
        {"quotes and backslashes", Text("C:\\x\\\"q\" \\\\ end\\")},
        {"tab inside", Text("a\tb")},
        {"line break", Text("first\r\nsecond")},
        {"not UTF-8", Text("caf\xC3\xA9 \xC3\xBF\xC3\x83")},
        {"zero byte inside", Text(std::string("a\0b", 3))},
        {"accents and emoji", Text("Büro 東京 \xF0\x9F\x96\xA8")},
        {"dword zero", Dword(0)},
        {"dword max", Dword(0xFFFFFFFF)},
        {"binary empty", Bytes(kRegBinary, {})},
        {"binary one", Bytes(kRegBinary, {0xAB})},
        {"binary long", Bytes(kRegBinary, many)},
        {"expand", Bytes(kRegExpandSz, {'%', 0, 'X', 0, '%', 0, 0, 0})},
        {"multi", Bytes(kRegMultiSz, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0})},
        {"qword", Bytes(kRegQword, {1, 2, 3, 4, 5, 6, 7, 8})},
        {"none", Bytes(0, {9})},
        {"odd type", Bytes(0x12345678, many)},
        {"short dword", Bytes(kRegDword, {1, 2, 3})},
        {"", Text("the default value")},
        {"\"quoted\" name \\", Text("x")},
        {"@", Text("not the default")},
    };
    RegTree tree;
    std::vector<RegOp> ops = {{RegOp::CreateKey, "SOFTWARE\\Test", {}, {}}};
    for (const auto& [name, value] : values)
        ops.push_back({RegOp::SetValue, "SOFTWARE\\Test", name, value});
    bool changed = false;
    for (bool ok : ApplyRegOps(tree, ops, changed)) ASSERT_TRUE(ok);

    const std::string text = SerializeRegFile(tree);
    const RegParseResult parsed = ParseRegFile(text);
    EXPECT_TRUE(parsed.issues.empty())
        << parsed.issues.front().line << ": " << parsed.issues.front().reason << "\n"
        << text;
    for (const auto& [name, value] : values) {
        const RegValue* back = ValueAt(parsed.tree, "SOFTWARE\\Test", name);
        ASSERT_NE(back, nullptr) << name;
        EXPECT_EQ(back->type, value.type) << name;
        EXPECT_EQ(back->data, value.data) << name;
    }
    // Values keep the order they were first written in.
    const RegKey* key = FindUserKey(parsed.tree, "SOFTWARE\\Test");
    ASSERT_EQ(key->values.size(), values.size());
    for (size_t i = 0; i < values.size(); ++i) EXPECT_EQ(key->values[i].name, values[i].first);
    EXPECT_EQ(SerializeRegFile(parsed.tree), text);
    for (const char* line : {"\"plain\"=\"Head office\"", "\"dword max\"=dword:ffffffff",
                             "@=\"the default value\"", "\"@\"=\"not the default\""})
        EXPECT_NE(text.find(std::string("\n") + line + "\n"), std::string::npos) << line;
    EXPECT_NE(text.find("\"quotes and backslashes\"=\"C:\\\\x\\\\\\\"q\\\" \\\\\\\\ end\\\\\"\n"),
              std::string::npos);
    EXPECT_NE(text.find("\"line break\"=hex(1):66,00,69,00"), std::string::npos);
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1)
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
}

TEST(RegFile, WritesTheRegistryEditorLayout) {
    RegTree tree;
    bool changed;
    ApplyRegOps(tree,
                {{RegOp::CreateKey, "SOFTWARE\\Kestamor\\Voldrane\\Offices\\3FF36300", {}, {}},
                 {RegOp::SetValue, "SOFTWARE\\Kestamor\\Voldrane\\Offices\\3FF36300", "Office Name",
                  Text("Head office")},
                 {RegOp::SetValue, "SOFTWARE\\Kestamor\\Voldrane", "Auto Detect", Dword(1)},
                 {RegOp::CreateKey, "SOFTWARE\\Kestamor\\Voldrane\\Offices\\1", {}, {}}},
                changed);
    EXPECT_EQ(SerializeRegFile(tree),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CURRENT_USER\\SOFTWARE]\n\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor]\n\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane]\n"
              "\"Auto Detect\"=dword:00000001\n\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices]\n\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices\\1]\n\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices\\3FF36300]\n"
              "\"Office Name\"=\"Head office\"\n\n");
}

// Syntax that is valid but that this program never writes itself.
TEST(RegFile, ReadsOddButValidHandWrittenSyntax) {
    const std::string file =
        "\xEF\xBB\xBF"
        "; settings copied by hand\r\n"
        "\r\n"
        "Windows Registry Editor Version 5.00\r\n"
        "   ; an indented comment\r\n"
        "[HKCU\\Software\\Kestamor\\Voldrane\\Offices\\B]   \r\n"
        "  \"Office Name\"  =  \"Branch\"\r\n"
        "\"Path\"=\"C:\\tmp\\bin\"  ; a comment after a value\r\n"
        "@=dword:1F\r\n"
        "\"Bin\"=HEX:01, 2,\\\r\n"
        "    ff,\\\r\n"
        "\t  0a,\r\n"
        "\"Expand\"=hex(2):41,00,00,00\r\n"
        "\"Text as hex\"=hex(1):48,00,69,00,00,00\r\n"
        "\"Gone\"=\"soon\"\r\n"
        "\"Gone\"=-\r\n"
        "[hkey_current_user\\SOFTWARE\\kestamor\\voldrane\\offices\\a\\]\r\n"
        "\"Office Name\"=\"First\"\r\n"
        "[HKEY_CURRENT_USER\\Software\\Kestamor\\Voldrane\\Offices\\B]\r\n"
        "\"office name\"=\"Branch, renamed\"\r\n"
        "[HKEY_CURRENT_USER\\Software\\Old]\r\n"
        "\"x\"=\"y\"\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Old]\r\n"
        "\"ignored\"=\"because the key is removed\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n"
        "\"kept\"=dword:00000002";
    const RegParseResult r = ParseRegFile(file);
    ASSERT_TRUE(r.issues.empty()) << r.issues.front().line << ": " << r.issues.front().reason;
    EXPECT_TRUE(r.hasHeader);
    const std::string b = "SOFTWARE\\KESTAMOR\\Voldrane\\Offices\\b";
    EXPECT_EQ(ValueAt(r.tree, b, "Office Name")->data, Text("Branch, renamed").data);
    EXPECT_EQ(ValueAt(r.tree, b, "Path")->data, Text("C:\\tmp\\bin").data);
    EXPECT_EQ(*ValueAt(r.tree, b, ""), Dword(0x1F));
    EXPECT_EQ(*ValueAt(r.tree, b, "Bin"), Bytes(kRegBinary, {1, 2, 0xFF, 0x0A}));
    EXPECT_EQ(*ValueAt(r.tree, b, "Expand"), Bytes(kRegExpandSz, {0x41, 0, 0, 0}));
    EXPECT_EQ(*ValueAt(r.tree, b, "Text as hex"), Text("Hi"));
    EXPECT_EQ(ValueAt(r.tree, b, "Gone"), nullptr);
    EXPECT_EQ(FindUserKey(r.tree, "Software\\Old"), nullptr);
    // Keys keep the case they were first written with, and list in name order.
    const RegKey* offices = FindUserKey(r.tree, "software\\kestamor\\voldrane\\offices");
    ASSERT_EQ(offices->subkeys.size(), 2u);
    EXPECT_EQ(offices->subkeys[0].name, "a");
    EXPECT_EQ(offices->subkeys[1].name, "B");
    EXPECT_EQ(FindUserKey(r.tree, "Software\\Kestamor")->name, "Kestamor");
    // Another hive is kept and written back.
    EXPECT_NE(SerializeRegFile(r.tree).find(
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n\"kept\"=dword:00000002\n"),
              std::string::npos);
}

TEST(RegFile, ReadsRegeditUtf16AndRegedit4) {
    const std::string utf16 = Utf16Le(
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices\\3FF36300]\r\n"
        "\"Office Name\"=\"Head office\"\r\n"
        "\"Path\"=hex(2):25,00,55,00,25,00,00,00\r\n"
        "\"Auto\"=dword:00000000\r\n");
    for (const std::string& bytes : {utf16, utf16.substr(2)}) {
        const RegParseResult r = ParseRegFile(bytes);
        ASSERT_TRUE(r.issues.empty());
        const std::string key = "SOFTWARE\\Kestamor\\Voldrane\\Offices\\3FF36300";
        EXPECT_EQ(*ValueAt(r.tree, key, "Office Name"), Text("Head office"));
        EXPECT_EQ(*ValueAt(r.tree, key, "Path"),
                  Bytes(kRegExpandSz, {0x25, 0, 0x55, 0, 0x25, 0, 0, 0}));
        EXPECT_EQ(*ValueAt(r.tree, key, "Auto"), Dword(0));
    }
    // Non-ASCII text in a UTF-16 file: "Büro".
    const std::string buro = std::string("\xFF\xFE", 2) +
                             Utf16Le("REGEDIT4\n[HKCU\\K]\n\"n\"=\"B", false) +
                             std::string("\xFC\0", 2) + Utf16Le("ro\"\n", false);
    const RegParseResult b = ParseRegFile(buro);
    ASSERT_TRUE(b.issues.empty());
    EXPECT_EQ(*ValueAt(b.tree, "K", "n"), Text("B\xC3\xBCro"));

    // REGEDIT4 keeps single-byte texts in hex(1).
    const RegParseResult r4 =
        ParseRegFile("REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"n\"=hex(1):48,69,00\n");
    ASSERT_TRUE(r4.issues.empty());
    EXPECT_EQ(r4.version, RegFileVersion::Regedit4);
    EXPECT_EQ(*ValueAt(r4.tree, "K", "n"), Text("Hi"));
}

// UTF-16LE bytes of `s`, as the registry editor writes texts.
std::string Wide(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

// What `regedit /E` writes, byte for byte, and what it reads back as it was meant: the
// registry editor reads a file without a UTF-16 byte-order mark in the ANSI code page.
TEST(RegFile, WritesAndKeepsTheRegistryEditorsForm) {
    RegTree tree;
    bool changed;
    const std::string key = "SOFTWARE\\Kestamor\\Voldrane\\Offices\\東京";
    ApplyRegOps(tree,
                {{RegOp::CreateKey, key, {}, {}},
                 {RegOp::SetValue, key, "Office Name", Text("Zürich Büro – 2F")},
                 {RegOp::SetValue, key, "Default Printer", Text("L1\nL2")},
                 {RegOp::SetValue, key, "Not UTF-8", Text("caf\xE9 \x80")}},
                changed);
    const std::string expected =
        "\xFF\xFE" + Wide(
                         u"Windows Registry Editor Version 5.00\r\n\r\n"
                         u"[HKEY_CURRENT_USER\\SOFTWARE]\r\n\r\n"
                         u"[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor]\r\n\r\n"
                         u"[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane]\r\n\r\n"
                         u"[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices]\r\n\r\n"
                         u"[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices\\東京]\r\n"
                         u"\"Office Name\"=\"Zürich Büro – 2F\"\r\n"
                         u"\"Default Printer\"=hex(1):4c,00,31,00,0a,00,4c,00,32,00,00,00\r\n"
                         u"\"Not UTF-8\"=\"café €\"\r\n\r\n");
    const std::string written = SerializeRegFile(tree, kRegeditForm);
    EXPECT_EQ(written, expected);
    EXPECT_EQ(ConvertRegFile(SerializeRegFile(tree), kRegeditForm), expected);

    // Read back in that form, and the form is known, so a store copied from Windows is
    // written back the way it came; so are UTF-8 files, with their line ends.
    const RegParseResult back = ParseRegFile(written);
    EXPECT_TRUE(back.issues.empty());
    EXPECT_EQ(back.form, kRegeditForm);
    EXPECT_EQ(*ValueAt(back.tree, key, "Office Name"), Text("Zürich Büro – 2F"));
    EXPECT_EQ(*ValueAt(back.tree, key, "Default Printer"), Text("L1\nL2"));
    EXPECT_EQ(*ValueAt(back.tree, key, "Not UTF-8"), Text("café €"));
    const std::string utf8 = SerializeRegFile(back.tree);
    const std::pair<std::string, RegFileForm> forms[] = {
        {utf8, {RegFileEncoding::Utf8, false}},
        {ConvertRegFile(utf8, {RegFileEncoding::Utf8, true}), {RegFileEncoding::Utf8, true}},
        {"\xEF\xBB\xBF" + utf8, {RegFileEncoding::Utf8WithBom, false}},
        {written.substr(2), kRegeditForm},  // UTF-16LE that lost its byte-order mark
    };
    for (const auto& [bytes, form] : forms) {
        const RegParseResult r = ParseRegFile(bytes);
        EXPECT_EQ(r.form, form) << bytes.substr(0, 8);
        EXPECT_EQ(SerializeRegFile(r.tree, r.form), form == kRegeditForm ? written : bytes);
    }
}

// The registry editor writes line breaks in texts as \n and \r, and reads them so; data that
// passes through this program means to it what it meant before.
TEST(RegFile, ReadsTheRegistryEditorsEscapes) {
    const std::string file = "\xFF\xFE" + Wide(
                                              u"Windows Registry Editor Version 5.00\r\n\r\n"
                                              u"[HKEY_CURRENT_USER\\Software\\Other]\r\n"
                                              u"\"Lines\"=\"Line1\\nLine2\\r\\nLine3\"\r\n"
                                              u"\"Two\\nlines\"=\"x\"\r\n"
                                              u"\"Path\"=\"C:\\\\new\\\\\\\"q\\\"\"\r\n"
                                              u"\"Hand\"=\"C:\\tmp\\x\"\r\n\r\n");
    const RegParseResult r = ParseRegFile(file);
    ASSERT_TRUE(r.issues.empty()) << r.issues.front().reason;
    EXPECT_EQ(*ValueAt(r.tree, "Software\\Other", "Lines"), Text("Line1\nLine2\r\nLine3"));
    EXPECT_EQ(*ValueAt(r.tree, "Software\\Other", "Two\nlines"), Text("x"));
    EXPECT_EQ(*ValueAt(r.tree, "Software\\Other", "Path"), Text("C:\\new\\\"q\""));
    // A backslash before any other letter stands for itself, as in a path written by hand.
    EXPECT_EQ(*ValueAt(r.tree, "Software\\Other", "Hand"), Text("C:\\tmp\\x"));

    // Rewritten, every value reads back the same, and a name with a line break stays on its
    // line.
    const std::string again = SerializeRegFile(r.tree);
    EXPECT_NE(again.find("\n\"Two\\nlines\"=\"x\"\n"), std::string::npos) << again;
    const RegParseResult back = ParseRegFile(again);
    ASSERT_TRUE(back.issues.empty()) << back.issues.front().reason;
    for (const char* name : {"Lines", "Two\nlines", "Path", "Hand"})
        EXPECT_EQ(*ValueAt(back.tree, "Software\\Other", name),
                  *ValueAt(r.tree, "Software\\Other", name))
            << name;
}

// REGEDIT4 files are in the ANSI code page (Windows-1252 here): their texts are read as such,
// the ANSI data of hex(2) and hex(7) becomes the UTF-16 the registry holds, and nothing that
// is written back is invalid UTF-8 or UTF-16.
TEST(RegFile, ReadsRegedit4InTheAnsiCodePage) {
    const std::string file =
        "REGEDIT4\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Z\xFCrich]\r\n"
        "\"Office Name\"=\"Z\xFCrich B\xFCro \x96 2F \x80\"\r\n"
        "\"Hex\"=hex(1):fc,00\r\n"
        "\"Expand\"=hex(2):25,fc,25,00\r\n"
        "\"Multi\"=hex(7):e9,00,00\r\n";
    const RegParseResult r = ParseRegFile(file);
    ASSERT_TRUE(r.issues.empty()) << r.issues.front().reason;
    EXPECT_EQ(r.version, RegFileVersion::Regedit4);
    const std::string key = "Software\\Zürich";
    ASSERT_NE(FindUserKey(r.tree, key), nullptr);
    EXPECT_EQ(FindUserKey(r.tree, key)->name, "Zürich");
    EXPECT_EQ(*ValueAt(r.tree, key, "Office Name"), Text("Zürich Büro – 2F €"));
    EXPECT_EQ(*ValueAt(r.tree, key, "Hex"), Text("ü"));
    EXPECT_EQ(*ValueAt(r.tree, key, "Expand"),
              Bytes(kRegExpandSz, {0x25, 0, 0xFC, 0, 0x25, 0, 0, 0}));
    EXPECT_EQ(*ValueAt(r.tree, key, "Multi"), Bytes(kRegMultiSz, {0xE9, 0, 0, 0, 0, 0}));
    // Written back in the registry editor's form: the ANSI code page cannot hold every text.
    EXPECT_EQ(r.form, kRegeditForm);
    const std::string written = SerializeRegFile(r.tree, r.form);
    ASSERT_EQ(written.substr(0, 2), "\xFF\xFE");
    bool highBefore = false;
    for (size_t i = 2; i + 1 < written.size(); i += 2) {
        const unsigned unit = static_cast<unsigned char>(written[i]) |
                              static_cast<unsigned char>(written[i + 1]) << 8;
        const bool high = unit >= 0xD800 && unit <= 0xDBFF, low = unit >= 0xDC00 && unit <= 0xDFFF;
        ASSERT_EQ(low, highBefore) << "a lone surrogate at byte " << i;
        highBefore = high;
    }
    ASSERT_FALSE(highBefore);
    EXPECT_NE(written.find(Wide(u"\"Office Name\"=\"Zürich Büro – 2F €\"\r\n")), std::string::npos);

    // A UTF-8 file with a byte that is not UTF-8 (a hand edit in Latin-1) reads it the same way,
    // and so does a store of an earlier version, which wrote such a byte as a lone surrogate.
    const RegParseResult latin = ParseRegFile(
        "Windows Registry Editor Version 5.00\n\n[HKCU\\K]\n\"n\"=\"B\xFCro \xC3\xA9\"\n"
        "\"old\"=hex(1):fc,dc,80,dc,41,00,00,00\n");
    EXPECT_EQ(*ValueAt(latin.tree, "K", "n"), Text("Büro é"));
    EXPECT_EQ(*ValueAt(latin.tree, "K", "old"), Text("ü€A"));
}

// Names compare as the registry compares them, letters outside ASCII too; only letters that
// pair with one other letter match ("ı" is not "I"), as the registry of Wine and Windows
// folds them.
TEST(RegFile, NamesCompareAsTheRegistryComparesThem) {
    for (const auto& [a, b] : {std::pair{"BÜRO", "büro"},
                               {"ΣΟΦΊΑ", "σοφία"},
                               {"МОСКВА", "москва"},
                               {"Ɐ", "ɐ"},
                               {"Ⱥ", "ⱥ"},
                               {"ŸÀ", "ÿà"}}) {
        EXPECT_TRUE(EqualRegNames(a, b)) << a << " " << b;
        EXPECT_EQ(CompareRegNames(a, b), 0) << a << " " << b;
        EXPECT_EQ(RegFoldedName(b), RegFoldedName(a)) << a << " " << b;
    }
    for (const auto& [a, b] : {std::pair{"I", "ı"},
                               {"S", "ſ"},
                               {"ß", "SS"},
                               {"Σ", "ς"},
                               {"BÜRO", "BURO"},
                               {"büro", "büro "}}) {
        EXPECT_FALSE(EqualRegNames(a, b)) << a << " " << b;
        EXPECT_EQ(CompareRegNames(a, b), -CompareRegNames(b, a)) << a << " " << b;
    }
    EXPECT_LT(CompareRegNames("büro", "BÜRO2"), 0);
    EXPECT_LT(CompareRegNames("Z", "ä"), 0);

    // In a file, in the operations, and in a key with enough subkeys to be searched by index.
    std::string file = "Windows Registry Editor Version 5.00\n\n";
    for (int i = 0; i < 40; ++i) file += "[HKCU\\Offices\\K" + std::to_string(i) + "]\n";
    file += "[HKCU\\Offices\\BÜRO]\n\"Office Name\"=\"first\"\n";
    file += "[HKCU\\Offices\\büro]\n\"office name\"=\"second\"\n";
    file += "[HKCU\\Offices\\ΣΟΦΊΑ]\n[HKCU\\offices\\σοφία]\n";
    const RegParseResult r = ParseRegFile(file);
    const auto names = ListUserSubKeys(r.tree, "OFFICES");
    ASSERT_TRUE(names);
    EXPECT_EQ(names->size(), 42u);
    EXPECT_EQ(*ValueAt(r.tree, "offices\\Büro", "OFFICE NAME"), Text("second"));
    bool changed = false;
    RegTree tree = r.tree;
    EXPECT_EQ(ApplyRegOps(tree, {{RegOp::CreateNewKey, "Offices\\bÜro", {}, {}}}, changed),
              std::vector<bool>{false});
    EXPECT_TRUE(ApplyRegOps(tree, {{RegOp::DeleteKey, "Offices\\σοφία", {}, {}}}, changed)[0]);
    EXPECT_EQ(ListUserSubKeys(tree, "Offices")->size(), 41u);
}

TEST(RegFile, ReportsUnreadableLinesAndKeepsTheRest) {
    const std::string file =
        "Windows Registry Editor Version 5.00\n"  // 1
        "\n"                                      // 2
        "\"orphan\"=\"value before any key\"\n"   // 3
        "[HKEY_CURRENT_USER\\K]\n"                // 4
        "\"good\"=\"yes\"\n"                      // 5
        "\"unterminated\"=\"abc\n"                // 6
        "\"n\"=dword:123456789\n"                 // 7
        "\"n\"=dword:xyz\n"                       // 8
        "\"h\"=hex:1,zz\n"                        // 9
        "\"h\"=hex(1):41\n"                       // 10
        "\"q\"=qword:1\n"                         // 11
        "garbage\n"                               // 12
        "[HKEY_NOWHERE\\K]\n"                     // 13
        "\"lost\"=\"value of a bad key\"\n"       // 14
        "[HKEY_CURRENT_USER\\K\\\\Sub]\n"         // 15
        "[HKEY_CURRENT_USER\\L\n"                 // 16
        "\"h\"=hex:01,\\\n"                       // 17
        "  02,\\\n"                               // 18
        "  zz\n"                                  // 19
        "[HKEY_CURRENT_USER\\M]\n"                // 20
        "\"last\"=\"ok\"\n"                       // 21
        "\"h\"=hex:01,\\\n";                      // 22
    const RegParseResult r = ParseRegFile(file);
    std::vector<int> lines;
    for (const auto& issue : r.issues) lines.push_back(issue.line);
    EXPECT_EQ(lines, (std::vector<int>{3, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 22}));
    EXPECT_EQ(*ValueAt(r.tree, "K", "good"), Text("yes"));
    EXPECT_EQ(*ValueAt(r.tree, "M", "last"), Text("ok"));
    EXPECT_EQ(ValueAt(r.tree, "K", "n"), nullptr);

    // A file that lost its header is still read.
    const RegParseResult noHeader = ParseRegFile("[HKEY_CURRENT_USER\\K]\n\"a\"=\"b\"\n");
    EXPECT_FALSE(noHeader.hasHeader);
    ASSERT_EQ(noHeader.issues.size(), 1u);
    EXPECT_EQ(noHeader.issues[0].line, 1);
    EXPECT_EQ(*ValueAt(noHeader.tree, "K", "a"), Text("b"));

    EXPECT_TRUE(ParseRegFile("").issues.empty());
}

TEST(RegFile, OperationsFollowTheRegistrysRules) {
    RegTree tree;
    bool changed = false;
    struct Case {
        RegOp op;
        bool ok;
        bool changes;
    } cases[] = {
        {{RegOp::SetValue, "A", "v", Text("x")}, false, false},  // no key yet
        {{RegOp::CreateKey, "A\\B\\C", {}, {}}, true, true},
        {{RegOp::CreateKey, "a\\b", {}, {}}, true, false},  // same key, other case
        {{RegOp::SetValue, "A", "v", Text("x")}, true, true},
        {{RegOp::SetValue, "A", "V", Text("x")}, true, false},  // same value, same data
        {{RegOp::DeleteKey, "A\\B", {}, {}}, false, false},     // has a subkey
        {{RegOp::DeleteKey, "A\\B\\C", {}, {}}, true, true},
        {{RegOp::DeleteKey, "A\\B\\C", {}, {}}, false, false},  // gone
        {{RegOp::DeleteValue, "A", "nothing", {}}, false, false},
        {{RegOp::DeleteValue, "A", "v", {}}, true, true},
        {{RegOp::CreateKey, "A\\\\B", {}, {}}, false, false},  // empty component
        {{RegOp::CreateKey, "A\\line\nbreak", {}, {}}, false, false},
        {{RegOp::SetValue, "A", "line\nbreak", Text("x")}, false, false},
        {{RegOp::DeleteKey, "", {}, {}}, false, false},  // the hive itself
    };
    for (const auto& c : cases) {
        const auto results = ApplyRegOps(tree, {c.op}, changed);
        EXPECT_EQ(results[0], c.ok) << c.op.kind << " " << c.op.key << " " << c.op.name;
        EXPECT_EQ(changed, c.changes) << c.op.kind << " " << c.op.key << " " << c.op.name;
    }
    EXPECT_EQ(FindUserKey(tree, "a")->name, "A");

    // A claim of an existing key refuses the whole batch and leaves no trace.
    const std::string before = SerializeRegFile(tree);
    const auto refused = ApplyRegOps(tree,
                                     {{RegOp::CreateKey, "New", {}, {}},
                                      {RegOp::CreateNewKey, "A\\B", {}, {}},
                                      {RegOp::SetValue, "A\\B", "v", Text("x")}},
                                     changed);
    EXPECT_EQ(refused, (std::vector<bool>{false, false, false}));
    EXPECT_FALSE(changed);
    EXPECT_EQ(SerializeRegFile(tree), before);
    const auto claimed = ApplyRegOps(
        tree, {{RegOp::CreateNewKey, "A\\D", {}, {}}, {RegOp::SetValue, "A\\D", "v", Text("x")}},
        changed);
    EXPECT_EQ(claimed, (std::vector<bool>{true, true}));
    EXPECT_TRUE(changed);
}

}  // namespace
}  // namespace voldrane

namespace voldrane {
namespace {

// Shapes a hostile or careless file can take. Each is read whole and correctly; the parse's
// speed on them is measured by bench/registry (BM_ParseLargeShapes).
TEST(RegFile, ReadsLargeAndHostileShapes) {
    const std::string header = "Windows Registry Editor Version 5.00\n\n";
    {
        // Many values in one key, some set twice and some removed: first-written order stays.
        std::string file = header + "[HKEY_CURRENT_USER\\K]\n";
        for (int i = 0; i < 80000; ++i) file += "\"v" + std::to_string(i) + "\"=\"x\"\n";
        file += "\"V5\"=\"again\"\n\"v7\"=-\n\"v7\"=\"back\"\n";
        const RegParseResult r = ParseRegFile(file);
        EXPECT_EQ(r.issueCount, 0u);
        const RegKey* k = FindUserKey(r.tree, "K");
        ASSERT_NE(k, nullptr);
        ASSERT_EQ(k->values.size(), 80000u);
        EXPECT_EQ(k->values[5].name, "v5");
        EXPECT_EQ(k->values[5].value, Text("again"));
        EXPECT_EQ(k->values[7].name, "v8");
        EXPECT_EQ(k->values.back().name, "v7");
        EXPECT_EQ(k->values.back().value, Text("back"));
        EXPECT_EQ(r.firstDeletionLine, 80005);
    }
    {
        // Many keys in descending order, a removed one and one made again: sorted, as usual.
        std::string file = header;
        for (int i = 79999; i >= 0; --i)
            file += "[HKEY_CURRENT_USER\\K\\" + std::to_string(i) + "]\n";
        file += "[-HKEY_CURRENT_USER\\K\\1]\n[HKCU\\k\\2\\Sub]\n[-HKCU\\K\\3]\n[HKCU\\K\\3]\n";
        const RegParseResult r = ParseRegFile(file);
        EXPECT_EQ(r.issueCount, 0u);
        const auto names = ListUserSubKeys(r.tree, "K");
        ASSERT_TRUE(names);
        ASSERT_EQ(names->size(), 79999u);
        EXPECT_TRUE(std::is_sorted(names->begin(), names->end(),
                                   [](auto& a, auto& b) { return CompareRegNames(a, b) < 0; }));
        EXPECT_FALSE(UserKeyExists(r.tree, "K\\1"));
        EXPECT_TRUE(UserKeyExists(r.tree, "K\\2\\sub"));
        EXPECT_TRUE(UserKeyExists(r.tree, "K\\3"));
        EXPECT_EQ(r.firstDeletionLine, 80003);
    }
    {
        // A key path deeper than the registry allows is an unreadable line, not a crash.
        std::string deep = "[HKEY_CURRENT_USER";
        for (int i = 0; i < 500000; ++i) deep += "\\a";
        const RegParseResult r = ParseRegFile(header + deep + "]\n\"v\"=\"x\"\n");
        ASSERT_EQ(r.issueCount, 2u);
        EXPECT_EQ(r.issues[0].line, 3);
        EXPECT_LT(r.issues[0].reason.size(), 200u);
        EXPECT_FALSE(UserKeyExists(r.tree, "a"));
        std::string limit = "[HKCU";
        for (size_t i = 1; i < kMaxRegKeyDepth; ++i) limit += "\\a";
        EXPECT_EQ(ParseRegFile(header + limit + "]\n").issueCount, 0u);
        EXPECT_EQ(ParseRegFile(header + limit + "\\a]\n").issueCount, 1u);
    }
    {
        // Unreadable lines are counted; only the first hundred are listed.
        std::string file = header;
        for (int i = 0; i < 200000; ++i) file += "junk\n";
        // Hex values that all run to the end of the file.
        file += "[HKCU\\K]\n";
        for (int i = 0; i < 20000; ++i) file += "\"h\"=hex:01,\\\n";
        const RegParseResult r = ParseRegFile(file);
        EXPECT_EQ(r.issueCount, 220000u);
        EXPECT_EQ(r.issues.size(), kMaxListedRegIssues);
        const std::string text = DescribeRegIssues("f.reg", r);
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 101);
        EXPECT_NE(text.find("f.reg:3: neither"), std::string::npos);
        EXPECT_NE(text.find("\nf.reg: ... and 219900 more lines that cannot be read\n"),
                  std::string::npos);
    }
}

// Trees of any depth are copied, written and destroyed without recursion.
TEST(RegFile, DeepTreesNeedNoStack) {
    RegKey root;
    RegKey* at = &root.subkeys.emplace_back();
    at->name = kCurrentUserHive;
    for (int i = 0; i < 300000; ++i) {
        at = &at->subkeys.emplace_back();
        at->name = "k";
    }
    at->values.push_back({"v", Text("deepest")});
    RegTree tree(std::move(root));
    RegTree copy = tree;
    const RegKey* k = &copy.Root();
    for (int i = 0; i < 300001; ++i) {
        ASSERT_EQ(k->subkeys.size(), 1u);
        k = &k->subkeys[0];
    }
    EXPECT_EQ(k->values.at(0).value, Text("deepest"));
    copy = RegTree();
    // Deep, but small enough that writing every key's whole path stays cheap.
    RegKey shallow;
    at = &shallow.subkeys.emplace_back();
    at->name = kCurrentUserHive;
    for (int i = 0; i < 3000; ++i) {
        at = &at->subkeys.emplace_back();
        at->name = "k";
    }
    const std::string text = SerializeRegFile(RegTree(std::move(shallow)));
    EXPECT_EQ(std::count(text.begin(), text.end(), '['), 3000);
}

}  // namespace
}  // namespace voldrane
