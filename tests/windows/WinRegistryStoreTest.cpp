// The registry store against the registry (Wine's, in the test run's prefix): the layout the
// Linux .reg store mirrors, UTF-8 in the program and UTF-16 in the registry, the registry's
// rules for each operation, and whole offices when a writer is killed mid-save or several
// processes add offices at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <set>

#include "offices/OfficeStore.h"
#include "offices/OfficeValues.h"
#include "platform/Console.h"
#include "platform/windows/WinRegistryStore.h"
#include "platform/windows/WinText.h"
#include "tests/windows/WinTestSupport.h"

namespace voldrane::wintest {

namespace {

using platform::kRegDword;
using platform::kRegSz;
using platform::RegOp;
using platform::RegValue;
using platform::windows_os::Narrow;
using platform::windows_os::Widen;
using platform::windows_os::WinRegistryStore;

RegValue Text(const std::string& s) {
    return {kRegSz, {s.begin(), s.end()}};
}

// The office's nine values, each marked with `mark` so that old and new differ in every one.
COfficeNetwork MarkedOffice(const std::string& key, const std::string& mark) {
    COfficeNetwork o;
    o.m_strKeyName = key;
    for (int i = 0; i < kOfficeValueCount; ++i)
        OfficeValue(o, i) = kOfficeValues[i].kind == OfficeValueKind::Address
                                ? "10.0." + mark + "." + std::to_string(i)
                                : "Büro " + mark + " – " + std::to_string(i);
    return o;
}

// A value as the registry holds it, read without the store.
std::wstring RawText(const std::string& root, const std::string& key, const std::string& name) {
    wchar_t buffer[1024];
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_CURRENT_USER, Widen(root + "\\" + key).c_str(), Widen(name).c_str(),
                     RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return L"<absent>";
    return buffer;
}

TEST(WinRegistryStore, KeepsTheLinuxLayoutInUtf16) {
    RegistryRoot root("layout");
    WinRegistryStore store(root.Path());
    CRegistry registry(store);
    COfficeNetwork office = MarkedOffice("", "1");
    OfficeValue(office, kOfficeNamePlace) = "Zürich Büro – 2F 東京オフィス";
    ASSERT_TRUE(AddOffice(registry, office));
    ASSERT_TRUE(WriteAutoDetect(registry, false));
    ASSERT_TRUE(WriteDefaultOffice(registry, office.m_strKeyName));

    // What regedit would show: UTF-16 texts under the office's key, a DWORD for the switch.
    const std::string key = std::string(kOfficesKey) + "\\" + office.m_strKeyName;
    EXPECT_EQ(RawText(root.Path(), key, "Office Name"), L"Zürich Büro – 2F 東京オフィス");
    for (int i = 1; i < kOfficeValueCount; ++i)
        EXPECT_EQ(Narrow(RawText(root.Path(), key, kOfficeValues[i].name)), OfficeValue(office, i));
    DWORD autoDetect = 7, size = sizeof autoDetect;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, Widen(root.Path() + "\\" + kAppKey).c_str(),
                           L"Auto Detect", RRF_RT_REG_DWORD, nullptr, &autoDetect, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(autoDetect, 0u);
    EXPECT_EQ(Narrow(RawText(root.Path(), kAppKey, "Default Office")), office.m_strKeyName);

    // And back: a second store reads the same office.
    WinRegistryStore again(root.Path());
    CRegistry second(again);
    COfficeList offices;
    LoadOffices(second, offices);
    ASSERT_EQ(offices.GetSize(), 1);
    EXPECT_EQ(offices.ElementAt(0).m_strOfficeName, "Zürich Büro – 2F 東京オフィス");
    EXPECT_FALSE(ReadAutoDetect(second));
    EXPECT_TRUE(again.ReadError().empty()) << again.ReadError();
}

TEST(WinRegistryStore, AnswersEachOperationAsTheRegistryWould) {
    RegistryRoot root("rules");
    WinRegistryStore store(root.Path());
    auto r = store.Apply({{RegOp::SetValue, "A", "v", Text("x")},  // no key A yet
                          {RegOp::CreateKey, "A\\B", {}, {}},
                          {RegOp::SetValue, "A", "v", Text("y")},
                          {RegOp::DeleteKey, "A", {}, {}},  // has a subkey
                          {RegOp::SetValue, "A\\B", "n", {kRegDword, {5, 0, 0, 0}}}});
    ASSERT_TRUE(r.written) << r.error;
    EXPECT_EQ(r.succeeded, (std::vector<bool>{false, true, true, false, true}));
    EXPECT_EQ(store.QueryValue("A", "v"), Text("y"));
    EXPECT_EQ(store.QueryValue("A\\B", "n"), (RegValue{kRegDword, {5, 0, 0, 0}}));

    // A claimed name that exists refuses the whole batch, before anything is written.
    r = store.Apply(
        {{RegOp::SetValue, "A", "v", Text("z")}, {RegOp::CreateNewKey, "A\\b", {}, {}}});
    ASSERT_TRUE(r.written);
    EXPECT_EQ(r.succeeded, (std::vector<bool>{false, false}));
    EXPECT_EQ(store.QueryValue("A", "v"), Text("y"));

    r = store.Apply({{RegOp::DeleteKey, "A\\B", {}, {}}, {RegOp::DeleteValue, "A", "v", {}}});
    EXPECT_EQ(r.succeeded, (std::vector<bool>{true, true}));
    EXPECT_FALSE(store.KeyExists("A\\B"));
    EXPECT_EQ(store.EnumSubKeys("A"), std::vector<std::string>{});
    EXPECT_FALSE(store.QueryValue("A", "v"));
}

// A writer killed at each step of a rewrite: the next process sees the office whole, and new
// (the journal is finished before anything is read).
TEST(WinRegistryStore, AnOfficeSurvivesItsWriterKilledMidSave) {
    for (const int step : {0, 1, 4, 8}) {
        SCOPED_TRACE("killed after step " + std::to_string(step));
        RegistryRoot root("killed" + std::to_string(step));
        {
            WinRegistryStore store(root.Path());
            CRegistry registry(store);
            ASSERT_TRUE(SaveOffice(registry, MarkedOffice("K", "1")));
        }
        const std::string event = EventName("step" + std::to_string(step));
        HANDLE reached = MakeEvent(event);
        Child writer("rewrite-office", {root.Path(), std::to_string(step), event});
        ASSERT_TRUE(writer.Started());
        ASSERT_EQ(WaitForSingleObject(reached, 60000), WAIT_OBJECT_0);
        writer.Kill();
        CloseHandle(reached);

        WinRegistryStore store(root.Path());
        CRegistry registry(store);
        COfficeNetwork read;
        read.m_strKeyName = "K";
        ASSERT_TRUE(ReadOffice(registry, read));
        const COfficeNetwork expected = MarkedOffice("K", "2");
        for (int i = 0; i < kOfficeValueCount; ++i)
            EXPECT_EQ(OfficeValue(read, i), OfficeValue(expected, i)) << kOfficeValues[i].name;
        EXPECT_FALSE(store.KeyExists("SOFTWARE\\Kestamor\\Voldrane Pending"));
    }
}

// Three processes add offices at the same moment: every office gets a key of its own.
TEST(WinRegistryStore, ProcessesAddingAtOnceNeverShareAKey) {
    RegistryRoot root("unique");
    const std::string now = std::to_string(std::time(nullptr));
    std::vector<std::unique_ptr<Child>> adders;
    for (int i = 0; i < 3; ++i)
        adders.push_back(std::make_unique<Child>(
            "add-offices", std::vector<std::string>{root.Path(), "P" + std::to_string(i), now}));
    for (auto& adder : adders) EXPECT_EQ(adder->Wait(), 0);

    WinRegistryStore store(root.Path());
    CRegistry registry(store);
    COfficeList offices;
    LoadOffices(registry, offices);
    ASSERT_EQ(offices.GetSize(), 15);
    std::set<std::string> names;
    for (int i = 0; i < offices.GetSize(); ++i) names.insert(offices.ElementAt(i).m_strOfficeName);
    EXPECT_EQ(names.size(), 15u);
}

// A process that holds the store too long makes a write fail with a reason, not hang.
TEST(WinRegistryStore, AWriteBlockedByAnotherProcessFailsWithAReason) {
    RegistryRoot root("held");
    const std::string event = EventName("held");
    HANDLE holding = MakeEvent(event);
    Child holder("hold-store", {root.Path(), event});
    ASSERT_EQ(WaitForSingleObject(holding, 60000), WAIT_OBJECT_0);
    WinRegistryStore store(root.Path());
    store.SetLockWait(300);
    const auto r = store.Apply({{RegOp::CreateKey, "A", {}, {}}});
    EXPECT_FALSE(r.written);
    EXPECT_NE(r.error.find("another program"), std::string::npos) << r.error;
    EXPECT_FALSE(store.KeyExists("A"));
    EXPECT_NE(store.ReadError().find("another program"), std::string::npos);

    // Killed while holding it: the store is taken over at once.
    holder.Kill();
    store.SetLockWait(5000);
    EXPECT_TRUE(store.Apply({{RegOp::CreateKey, "A", {}, {}}}).written);
    CloseHandle(holding);
}

}  // namespace

// The children's parts.
int RunChildRole(const std::string& role, const std::vector<std::string>& args) {
    if (role == "rewrite-office" && args.size() == 3) {
        WinRegistryStore store(args[0]);
        const size_t step = std::stoul(args[1]);
        const std::string event = args[2];
        store.SetStepHook([&](size_t at) {
            if (at != step) return;
            SignalEvent(event);
            Sleep(INFINITE);  // until killed
        });
        CRegistry registry(store);
        return RewriteOffice(registry, MarkedOffice("K", "2")) ? 0 : 3;
    }
    if (role == "add-offices" && args.size() == 3) {
        WinRegistryStore store(args[0]);
        CRegistry registry(store);
        std::vector<COfficeNetwork> made(5);
        std::vector<COfficeNetwork*> offices;
        for (size_t i = 0; i < made.size(); ++i) {
            made[i] = MarkedOffice("", "9");
            made[i].m_strOfficeName = args[1] + "-" + std::to_string(i);
            offices.push_back(&made[i]);
        }
        // One office at a time, so that the processes' claims interleave.
        for (COfficeNetwork* office : offices)
            if (!AddOffices(registry, {office}, static_cast<std::time_t>(std::stoll(args[2]))))
                return 3;
        return 0;
    }
    if (role == "hold-store" && args.size() == 2) {
        WinRegistryStore store(args[0]);
        store.BeginReadSession();
        SignalEvent(args[1]);
        Sleep(INFINITE);
    }
    if (role == "hold-lock" && args.size() == 2) return RunLockHolder(args[0], args[1]);
    if (role == "echo-args" && args.size() == 2) {
        // The arguments as main() would pass them on: through ProgramArguments.
        const auto utf8 = platform::ProgramArguments(0, nullptr);
        if (utf8.size() != 4) return 4;
        HANDLE f = CreateFileW(Widen(utf8[2]).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(f, utf8[3].data(), static_cast<DWORD>(utf8[3].size()), &written, nullptr);
        CloseHandle(f);
        return 0;
    }
    return 99;
}

}  // namespace voldrane::wintest
