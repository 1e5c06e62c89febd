#include <gtest/gtest.h>

#include "offices/CRegistry.h"
#include "offices/OfficeStore.h"
#include "offices/RegFile.h"
#include "tests/support/Offices.h"

namespace voldrane {
namespace {

using test::MakeOffice;

using platform::kRegBinary;
using platform::kRegDword;
using platform::kRegExpandSz;
using platform::kRegSz;

const std::string kApp = kAppKey;
const std::string kOffices = kOfficesKey;

class StoreTest : public ::testing::Test {
  protected:
    void Set(const std::string& key, const std::string& name, platform::RegValue value) {
        store.Apply(
            {{RegOp::CreateKey, key, {}, {}}, {RegOp::SetValue, key, name, std::move(value)}});
    }
    COfficeList Load() {
        COfficeList list;
        LoadOffices(reg, list);
        return list;
    }

    MemoryRegistryStore store;
    CRegistry reg{store};
};

TEST_F(StoreTest, TextsAreStoredWithoutTerminatorAndReadBackWithinTheLimit) {
    struct {
        std::string text;
        bool readsBack;
    } cases[] = {
        {"abc", true},
        {"", true},
        {std::string(1023, 'x'), true},
        {std::string(1024, 'x'), false},
        {std::string(5000, 'x'), false},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(reg.WriteString("K", "v", c.text));
        const auto stored = store.QueryValue("K", "v");
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->type, kRegSz);
        EXPECT_EQ(stored->data.size(), c.text.size());
        std::string out = "unchanged";
        EXPECT_EQ(reg.ReadString("K", "v", out), c.readsBack) << c.text.size();
        EXPECT_EQ(out, c.readsBack ? c.text : "unchanged");
    }
    // A 1024-byte text that holds a zero byte still fits: it reads up to the zero.
    std::string withZero(1024, 'y');
    withZero[10] = '\0';
    reg.WriteString("K", "z", withZero);
    std::string out;
    EXPECT_TRUE(reg.ReadString("K", "z", out));
    EXPECT_EQ(out, std::string(10, 'y'));
}

TEST_F(StoreTest, ValuesOfAnotherTypeReadAsAbsent) {
    Set("K", "expand", {kRegExpandSz, {'a', 0, 0, 0}});
    Set("K", "binary", {kRegBinary, {'a', 'b'}});
    Set("K", "number", {kRegDword, {1, 0, 0, 0}});
    Set("K", "text", {kRegSz, {'1'}});
    std::string text = "before";
    uint32_t number = 77;
    EXPECT_FALSE(reg.ReadString("K", "expand", text));
    EXPECT_FALSE(reg.ReadString("K", "binary", text));
    EXPECT_FALSE(reg.ReadString("K", "number", text));
    EXPECT_FALSE(reg.ReadString("K", "missing", text));
    EXPECT_FALSE(reg.ReadString("Missing", "text", text));
    EXPECT_EQ(text, "before");
    EXPECT_FALSE(reg.ReadDWORD("K", "text", number));
    EXPECT_FALSE(reg.ReadDWORD("K", "missing", number));
    EXPECT_EQ(number, 77u);
    EXPECT_TRUE(reg.ReadDWORD("K", "number", number));
    EXPECT_EQ(number, 1u);
}

TEST_F(StoreTest, KeysAndSubkeys) {
    uint32_t count = 99;
    EXPECT_EQ(reg.CountSubKeys("Missing", count), 0u);
    EXPECT_EQ(count, 0u);
    // WriteDWORD does not create its key.
    EXPECT_FALSE(reg.WriteDWORD(kApp, kAutoDetectValue, 0));
    EXPECT_FALSE(store.KeyExists(kApp));

    for (int i = 0; i < 70; ++i)
        ASSERT_TRUE(reg.CreateKey(kOffices + "\\" + std::to_string(1000 + i)));
    EXPECT_EQ(reg.CountSubKeys(kOffices, count), 70u);
    std::vector<std::string> names;
    count = 64;
    EXPECT_TRUE(reg.EnumSubKeys(kOffices, names, count));
    EXPECT_EQ(count, 64u);
    ASSERT_EQ(names.size(), 64u);
    EXPECT_EQ(names.front(), "1000");
    EXPECT_EQ(names.back(), "1063");
    count = 64;
    EXPECT_FALSE(reg.EnumSubKeys("Missing", names, count));
    EXPECT_EQ(count, 0u);

    EXPECT_FALSE(reg.DeleteKey(kApp));  // has subkeys
    EXPECT_TRUE(reg.DeleteKey(kOffices + "\\1000"));
    EXPECT_FALSE(reg.DeleteKey(kOffices + "\\1000"));
    EXPECT_TRUE(reg.WriteDWORD(kApp, kAutoDetectValue, 0));
}

TEST_F(StoreTest, FailedWritesGiveFalseAndTheReason) {
    reg.CreateKey(kOffices);
    store.FailWritesWith("cannot write /x/Voldrane.reg: Read-only file system");
    EXPECT_TRUE(reg.CreateKey(kOffices));  // changes nothing, so it needs no write
    EXPECT_FALSE(reg.WriteString("K", "v", "x"));
    EXPECT_EQ(reg.LastError(), "cannot write /x/Voldrane.reg: Read-only file system");
    std::string error;
    EXPECT_FALSE(SaveOffice(reg, MakeOffice("3FF36300", "Head office"), &error));
    EXPECT_EQ(error, reg.LastError());
    EXPECT_FALSE(store.KeyExists(kOffices + "\\3FF36300"));
}

TEST_F(StoreTest, FirstStartCreatesTheOfficesKeyAndDetectsAutomatically) {
    EXPECT_TRUE(Load().IsEmpty());
    EXPECT_TRUE(store.KeyExists(kOffices));
    EXPECT_TRUE(ReadAutoDetect(reg));
    EXPECT_EQ(ReadDefaultOffice(reg), "");
}

TEST_F(StoreTest, AutoDetectAndDefaultOfficeSettings) {
    struct {
        std::optional<platform::RegValue> stored;
        bool on;
    } cases[] = {
        {std::nullopt, true},
        {platform::RegValue{kRegDword, {0, 0, 0, 0}}, false},
        {platform::RegValue{kRegDword, {1, 0, 0, 0}}, true},
        {platform::RegValue{kRegDword, {0, 0, 0, 2}}, true},
        {platform::RegValue{kRegSz, {'0'}}, true},  // not a number: on
    };
    for (const auto& c : cases) {
        store.Apply(
            {{RegOp::CreateKey, kApp, {}, {}}, {RegOp::DeleteValue, kApp, kAutoDetectValue, {}}});
        if (c.stored) Set(kApp, kAutoDetectValue, *c.stored);
        EXPECT_EQ(ReadAutoDetect(reg), c.on);
    }
    EXPECT_TRUE(WriteAutoDetect(reg, false));
    EXPECT_FALSE(ReadAutoDetect(reg));
    EXPECT_EQ(store.QueryValue(kApp, kAutoDetectValue)->data, (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_TRUE(WriteAutoDetect(reg, true));
    EXPECT_EQ(store.QueryValue(kApp, kAutoDetectValue)->data, (std::vector<uint8_t>{1, 0, 0, 0}));

    // "Follow Network" is off until stored on; "Notify" on until stored off.
    store.Apply({{RegOp::DeleteValue, kApp, kFollowNetworkValue, {}},
                 {RegOp::DeleteValue, kApp, kNotifyValue, {}}});
    EXPECT_FALSE(ReadFollowNetwork(reg));
    EXPECT_TRUE(ReadNotify(reg));
    EXPECT_TRUE(WriteFollowNetwork(reg, true));
    EXPECT_TRUE(WriteNotify(reg, false));
    EXPECT_TRUE(ReadFollowNetwork(reg));
    EXPECT_FALSE(ReadNotify(reg));
    EXPECT_TRUE(ReadAutoDetect(reg)) << "each switch is its own value";
    EXPECT_EQ(store.QueryValue(kApp, kNotifyValue)->data, (std::vector<uint8_t>{0, 0, 0, 0}));

    // "Default Office" is handed over exactly as stored, case included.
    Set(kApp, kDefaultOfficeValue, {kRegSz, {'3', 'f', 'f', '3'}});
    EXPECT_EQ(ReadDefaultOffice(reg), "3ff3");
    Set(kApp, kDefaultOfficeValue, {kRegDword, {1, 0, 0, 0}});
    EXPECT_EQ(ReadDefaultOffice(reg), "");
}

// The one writer of each setting, for the dialog and voldranectl alike.
TEST_F(StoreTest, SettingsWritersMakeTheProgramsKeyWhenItIsMissing) {
    ASSERT_FALSE(store.KeyExists(kApp));
    std::string error;
    EXPECT_TRUE(WriteAutoDetect(reg, false, &error)) << error;
    EXPECT_FALSE(ReadAutoDetect(reg));

    store.Apply({{RegOp::DeleteKey, kApp, {}, {}}});
    ASSERT_FALSE(store.KeyExists(kApp));
    EXPECT_TRUE(WriteDefaultOffice(reg, "3fF3", &error)) << error;
    EXPECT_EQ(store.QueryValue(kApp, kDefaultOfficeValue)->data,
              (std::vector<uint8_t>{'3', 'f', 'F', '3'}));  // byte for byte
    EXPECT_TRUE(WriteDefaultOffice(reg, std::nullopt, &error)) << error;
    EXPECT_FALSE(store.QueryValue(kApp, kDefaultOfficeValue));
    EXPECT_TRUE(WriteDefaultOffice(reg, std::nullopt, &error)) << error;  // gone already: fine
}

TEST_F(StoreTest, LoadsEveryOfficeInKeyOrderWithUnreadableValuesEmpty) {
    // 70 offices: more than the 64 a fixed array would hold.
    for (int i = 69; i >= 0; --i) {
        char key[16];
        std::snprintf(key, sizeof key, "%X", 0x40000000 + i);
        ASSERT_TRUE(SaveOffice(reg, MakeOffice(key, "Office " + std::to_string(i))));
    }
    const std::string second = kOffices + "\\40000001";
    store.Apply(
        {{RegOp::DeleteValue, second, "DNS Server 2", {}},
         {RegOp::SetValue, second, "IP Address", {kRegDword, {1, 2, 3, 4}}},
         {RegOp::SetValue, second, "Default Printer", {kRegSz, std::vector<uint8_t>(1024, 'p')}}});
    reg.CreateKey(kOffices + "\\Hand made");  // no values at all

    const COfficeList list = Load();
    ASSERT_EQ(list.GetSize(), 71);
    EXPECT_EQ(list.ElementAt(0).m_strKeyName, "40000000");
    EXPECT_EQ(list.ElementAt(69).m_strKeyName, "40000045");
    const COfficeNetwork& o = list.ElementAt(1);
    EXPECT_EQ(o.m_strOfficeName, "Office 1");
    EXPECT_EQ(o.m_network.m_strIPAddress, "");
    EXPECT_EQ(o.m_network.m_strDNSServer2, "");
    EXPECT_EQ(o.m_strDefaultPrinter, "");
    EXPECT_EQ(o.m_network.m_strSubnetMask, "255.255.255.0");
    EXPECT_EQ(o.m_network.m_strDNSServer1, "10.1.0.1");
    const COfficeNetwork& full = list.ElementAt(2);
    const COfficeNetwork expected = MakeOffice("40000002", "Office 2");
    EXPECT_EQ(full.m_network, expected.m_network);
    EXPECT_EQ(full.m_strDefaultPrinter, "Laser");
    const COfficeNetwork& bare = list.ElementAt(70);
    EXPECT_EQ(bare.m_strKeyName, "Hand made");
    EXPECT_EQ(bare.m_strOfficeName, "");
    EXPECT_EQ(bare.m_network, CNetworkSettings{});
}

TEST_F(StoreTest, SaveWritesTheNineValuesInOrder) {
    ASSERT_TRUE(SaveOffice(reg, MakeOffice("3FF36300", "Head office")));
    const RegKey* key = FindUserKey(store.Tree(), kOffices + "\\3FF36300");
    ASSERT_NE(key, nullptr);
    std::vector<std::string> names;
    for (const auto& v : key->values) names.push_back(v.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Office Name", "IP Address", "Subnet Mask",
                                               "Default Gateway", "DHCP Server", "DNS Server 1",
                                               "DNS Server 2", "WINS Server", "Default Printer"}));
    std::string error;
    EXPECT_FALSE(SaveOffice(reg, MakeOffice("", "no key name"), &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(StoreTest, EditKeepsTheKeyAndLeavesExactlyTheNineValues) {
    ASSERT_TRUE(SaveOffice(reg, MakeOffice("3FF36300", "Head office")));
    Set(kOffices + "\\3FF36300", "Stray", {kRegSz, {'x'}});
    COfficeNetwork edited = MakeOffice("3FF36300", "Main office");
    edited.m_strDefaultPrinter = "";
    ASSERT_TRUE(RewriteOffice(reg, edited));
    const COfficeList list = Load();
    ASSERT_EQ(list.GetSize(), 1);
    EXPECT_EQ(list.ElementAt(0).m_strKeyName, "3FF36300");
    EXPECT_EQ(list.ElementAt(0).m_strOfficeName, "Main office");
    EXPECT_EQ(list.ElementAt(0).m_strDefaultPrinter, "");
    EXPECT_EQ(FindUserKey(store.Tree(), kOffices + "\\3FF36300")->values.size(), 9u);
    // An office that another program removed meanwhile is saved again, not lost.
    ASSERT_TRUE(DeleteOfficeKey(reg, "3FF36300"));
    EXPECT_TRUE(DeleteOfficeKey(reg, "3FF36300"));  // already gone: done
    reg.CreateKey(kOffices + "\\Parent\\Child");
    std::string error;
    EXPECT_FALSE(DeleteOfficeKey(reg, "Parent", &error));
    EXPECT_NE(error.find("subkeys"), std::string::npos);
    reg.DeleteKey(kOffices + "\\Parent\\Child");
    reg.DeleteKey(kOffices + "\\Parent");
    ASSERT_TRUE(RewriteOffice(reg, edited));
    EXPECT_EQ(Load().GetSize(), 1);
}

TEST_F(StoreTest, UpdateWritesOnlyTheValuesAskedForAndNeverBringsAnOfficeBack) {
    ASSERT_TRUE(SaveOffice(reg, MakeOffice("3FF36300", "Head office")));
    const std::string path = kOffices + "\\3FF36300";
    // Read by one program; meanwhile another changes the printer and drops a value.
    COfficeNetwork read = Load().ElementAt(0);
    Set(path, "Default Printer", {kRegSz, {'I', 'n', 'k'}});
    store.Apply({{RegOp::DeleteValue, path, "WINS Server", {}}});
    read.m_strOfficeName = "Main office";
    std::array<bool, 9> fields{};
    fields[0] = true;
    bool gone = true;
    ASSERT_TRUE(UpdateOffice(reg, read, fields, gone));
    EXPECT_FALSE(gone);
    const COfficeNetwork now = Load().ElementAt(0);
    EXPECT_EQ(now.m_strOfficeName, "Main office");
    EXPECT_EQ(now.m_strDefaultPrinter, "Ink");             // the other program's change
    EXPECT_EQ(now.m_network.m_strWINSServer, "10.1.0.3");  // a lacking value is filled
    EXPECT_EQ(FindUserKey(store.Tree(), path)->values.size(), 9u);

    ASSERT_TRUE(DeleteOfficeKey(reg, "3FF36300"));
    std::string error;
    EXPECT_FALSE(UpdateOffice(reg, read, fields, gone, &error));
    EXPECT_TRUE(gone);
    EXPECT_NE(error.find("3FF36300"), std::string::npos);
    EXPECT_FALSE(store.KeyExists(path));
}

TEST_F(StoreTest, KeyNamesAreTheCreationTimeAndNeverShared) {
    const std::time_t t2004 = 1072915200;  // 2004-01-01 00:00:00 UTC
    EXPECT_EQ(MakeOfficeKeyName(reg, t2004), "3FF36300");
    ASSERT_TRUE(SaveOffice(reg, MakeOffice(MakeOfficeKeyName(reg, t2004), "First")));
    // A second office in the same second takes the next free second.
    const std::string next = MakeOfficeKeyName(reg, t2004);
    EXPECT_EQ(next, "3FF36301");
    ASSERT_TRUE(SaveOffice(reg, MakeOffice(next, "Second")));
    reg.CreateKey(kOffices + "\\3ff36302");  // taken, in another case
    EXPECT_EQ(MakeOfficeKeyName(reg, t2004), "3FF36303");

    COfficeNetwork a = MakeOffice("", "A"), b = MakeOffice("", "B");
    ASSERT_TRUE(AddOffices(reg, {&a, &b}, t2004));
    EXPECT_EQ(a.m_strKeyName, "3FF36303");
    EXPECT_EQ(b.m_strKeyName, "3FF36304");
    const COfficeList list = Load();
    ASSERT_EQ(list.GetSize(), 5);
    EXPECT_EQ(list.ElementAt(0).m_strOfficeName, "First");
    EXPECT_EQ(list.ElementAt(1).m_strOfficeName, "Second");
    EXPECT_EQ(list.ElementAt(3).m_strOfficeName, "A");
    EXPECT_EQ(list.ElementAt(4).m_strOfficeName, "B");

    store.FailWritesWith("disk full");
    COfficeNetwork c = MakeOffice("", "C");
    std::string error;
    EXPECT_FALSE(AddOffice(reg, c, &error));
    EXPECT_EQ(error, "disk full");
    EXPECT_EQ(c.m_strKeyName, "");
}

}  // namespace
}  // namespace voldrane
