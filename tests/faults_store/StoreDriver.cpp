// The tray program's side of the settings-store fault tests, as a process that the test
// scripts can run next to voldranectl, kill, and start on broken stores.
//
//   store_driver tray-writer PREFIX ROUNDS OPS   the tray program's writer: ROUNDS times
//       "Configure Networks", and in each OPS clicks of New or Edit in the real dialogs
//       (offscreen), with the watch on the settings file that reloads the offices. ROUNDS 0: until
//       killed. Prints "try-edit KEY NAME" before and "ok-new KEY NAME" / "ok-edit KEY NAME" after
//       each save it was told succeeded.
//   store_driver tray-start    the tray program's start-up (CSwitcherApp::InitInstance) with a
//       recording notification area; prints what the user was shown, as JSON.
//   store_driver tray-menu     starts the main frame on the store and chooses each office
//       from "Use Network" in turn; prints the menu's texts and the tooltips, as JSON.
//   store_driver rewrite-all N saves the first N offices again as the tray program's Edit
//       does, loads them anew, and says whether every value came back the same.
//   store_driver check FILE    parses FILE as the store; prints its offices and problems as
//       JSON (check-hex: the values as hex digits of their bytes).
//   store_driver watch FILE STOP  checks FILE over and over until the file STOP exists;
//       prints how many reads there were and how many found it damaged.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "app/CMainFrame.h"
#include "offices/OfficeStore.h"
#include "offices/RegFile.h"
#include "platform/FileWatch.h"
#include "platform/linux/RegFileStore.h"
#include "res/Resource.h"
#include "tests/FakeNetworkSource.h"
#include "tests/app/RecordingNotificationArea.h"
#include "tests/support/FakeSpooler.h"
#include "ui/UserPrompts.h"
#include "ui/qt/CSwitcherApp.h"
#include "ui/qt/ConfigDialogPlug.h"

namespace voldrane::test {
namespace {

using Json = nlohmann::ordered_json;

std::string Dump(const Json& j) {
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Says No to every question and keeps every message, instead of a person.
class RecordingPrompt final : public ui::IUserPrompts {
  public:
    bool AskYesNo(const std::string& text, ui::PromptIcon) override {
        questions.push_back(text);
        return false;
    }
    void ShowMessage(const std::string& text, ui::PromptIcon) override { messages.push_back(text); }
    std::vector<std::string> questions, messages;
};

// Runs `action` inside the next modal window that opens above the active one.
void OnNextModal(std::function<void(QWidget*)> action) {
    QWidget* before = QApplication::activeModalWidget();
    auto* timer = new QTimer(qApp);
    timer->setInterval(1);
    QObject::connect(timer, &QTimer::timeout, [timer, before, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == before || !modal->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        modal->activateWindow();
        action(modal);
    });
    timer->start();
}

template <typename T>
T* Child(QWidget* window, const char* name) {
    T* child = window->findChild<T*>(QString::fromLatin1(name));
    if (!child) {
        std::cerr << "store_driver: no child named " << name << '\n';
        std::_Exit(70);
    }
    return child;
}

void Click(QWidget* window, const char* button) {
    QTest::mouseClick(Child<QPushButton>(window, button), Qt::LeftButton);
}

// In the office dialog: types the name and presses OK.
std::function<void(QWidget*)> NameAndOk(const std::string& name) {
    return [name](QWidget* office) {
        auto* edit = Child<QLineEdit>(office, "name");
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, QString::fromStdString(name));
        Click(office, "ok");
    };
}

void Say(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

int TrayWriter(const std::string& prefix, int rounds, int ops) {
    RecordingPrompt prompt;
    RecordingNotificationArea area;
    test::FakeSpooler spooler;  // no printers, and any default accepted
    FakeNetworkSource network;
    platform::linux_os::RegFileStore store(platform::linux_os::RegFileStore::DefaultPath());
    CRegistry registry(store);
    CMainFrame frame(FrameServices{area,
                                   registry,
                                   spooler,
                                   network,
                                   prompt,
                                   &CreateConfigDialog,
                                   {},
                                   {},
                                   {},
                                   &std::cerr,
                                   {},
                                   nullptr});
    // As the program runs: the other writers' changes are loaded between the dialog's runs.
    frame.WatchSettings(
        platform::WatchFile(store.Path(), 150, 1000, [&frame] { frame.OnSettingsChanged(); }));
    if (frame.OnCreate() != 0) return 71;

    std::mt19937 random(std::random_device{}());
    std::vector<std::string> mine;  // the names of this writer's offices, as now shown
    int made = 0, failures = 0;
    for (int round = 0; rounds == 0 || round < rounds; ++round) {
        OnNextModal([&](QWidget* config) {
            auto* list = Child<QListWidget>(config, "offices");
            for (int op = 0; op < ops; ++op) {
                const size_t messagesBefore = prompt.messages.size();
                COfficeList& offices = frame.Offices();
                if (mine.empty() || random() % 3 == 0) {
                    const std::string name = prefix + "-" + std::to_string(made++);
                    OnNextModal(NameAndOk(name));
                    Click(config, "new");  // the question "Use Current Network Settings?": No
                    const COfficeNetwork& added = offices.ElementAt(offices.GetSize() - 1);
                    if (added.m_strOfficeName != name) std::_Exit(72);
                    if (prompt.messages.size() != messagesBefore) {
                        ++failures;
                        continue;
                    }
                    mine.push_back(name);
                    Say("ok-new " + added.m_strKeyName + " " + name);
                } else {
                    std::string& name = mine[random() % mine.size()];
                    const auto items =
                        list->findItems(QString::fromStdString(name), Qt::MatchExactly);
                    if (items.size() != 1) std::_Exit(73);
                    list->scrollToItem(items[0]);
                    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                      list->visualItemRect(items[0]).center());
                    if (!items[0]->isSelected()) std::_Exit(74);
                    const std::string renamed =
                        name.substr(0, name.find('/')) + "/" + std::to_string(random() % 100000);
                    std::string key;
                    for (int i = 0; i < offices.GetSize(); ++i)
                        if (offices.ElementAt(i).m_strOfficeName == name)
                            key = offices.ElementAt(i).m_strKeyName;
                    Say("try-edit " + key + " " + renamed);
                    OnNextModal(NameAndOk(renamed));
                    Click(config, "edit");
                    if (prompt.messages.size() != messagesBefore) {
                        ++failures;
                        continue;
                    }
                    name = renamed;
                    Say("ok-edit " + key + " " + renamed);
                }
            }
            Click(config, "close");
        });
        frame.OnConfigureNetworks();
    }
    for (const auto& m : prompt.messages) std::cerr << "store_driver: shown: " << m << '\n';
    return failures == 0 ? 0 : 3;
}

int TrayStart(int argc, char** argv) {
    CSwitcherApp app(argc, argv);
    RecordingPrompt prompt;
    app.UsePrompts(prompt);
    auto area = std::make_unique<RecordingNotificationArea>();
    RecordingNotificationArea* shown = area.get();
    app.UseNotificationArea(std::move(area));
    const bool running = app.InitInstance();
    Json out;
    out["running"] = running;
    out["exit"] = app.ExitCode();
    out["messages"] = prompt.messages;
    out["questions"] = prompt.questions;
    const auto icon = shown->shown.find(res::kTrayIconId);
    out["tip"] = icon == shown->shown.end() ? "" : icon->second.tip;
    std::cout << Dump(out) << std::endl;
    return 0;
}

// How a text would reach the user: valid UTF-8 or not, its characters (a doubled '&' shows
// as one) and whether it holds control characters.
Json Shape(const std::string& text) {
    const QString q = QString::fromUtf8(text);
    const bool valid = q.toUtf8().toStdString() == text;
    int chars = 0;
    bool control = false;
    for (qsizetype i = 0; i < q.size(); ++i) {
        if (q[i].isLowSurrogate()) continue;
        if (q[i] == u'&' && i + 1 < q.size() && q[i + 1] == u'&') ++i;
        control |= q[i].unicode() < 0x20 || q[i].unicode() == 0x7F;
        ++chars;
    }
    return Json{{"valid", valid},
                {"bytes", text.size()},
                {"chars", chars},
                {"control", control},
                {"ellipsis", q.endsWith(QStringLiteral("..."))}};
}

int TrayMenu() {
    RecordingPrompt prompt;
    RecordingNotificationArea area;
    test::FakeSpooler spooler;  // no printers, and any default accepted
    FakeNetworkSource network;
    std::ostringstream diagnostics, matcher;
    platform::linux_os::RegFileStore store(platform::linux_os::RegFileStore::DefaultPath(),
                                           &diagnostics);
    CRegistry registry(store);
    CMainFrame frame(FrameServices{
        area, registry, spooler, network, prompt, {}, {}, {}, {}, &matcher, {}, nullptr});
    if (frame.OnCreate() != 0) return 71;
    const auto tip = [&] { return area.shown[res::kTrayIconId].tip; };
    Json out;
    out["offices"] = frame.Offices().GetSize();
    out["startTip"] = Shape(tip());
    const std::vector<platform::MenuEntry> menu = area.menus[res::kTrayIconId];
    Json texts = Json::array(), tips = Json::array();
    int enabled = 0;
    QElapsedTimer clock;
    clock.start();
    for (const auto& e : menu.at(1).children) {
        if (e.command == res::ID_NETWORK_AUTODETECT) continue;
        texts.push_back(Shape(e.text));
        if (e.enabled) {
            ++enabled;
            frame.OnMenuCommand(e.command);
            tips.push_back(Shape(tip()));
        }
    }
    out["chooseAllMs"] = clock.elapsed();
    out["menu"] = texts;
    out["enabled"] = enabled;
    out["tips"] = tips;
    out["questions"] = prompt.questions;
    std::cout << Dump(out) << std::endl;
    return 0;
}

int RewriteAll(int count) {
    const std::string path = platform::linux_os::RegFileStore::DefaultPath();
    COfficeList before;
    {
        platform::linux_os::RegFileStore store(path);
        CRegistry registry(store);
        LoadOffices(registry, before);
        for (int i = 0; i < std::min(count, before.GetSize()); ++i) {
            std::string error;
            if (!RewriteOffice(registry, before.ElementAt(i), &error)) {
                std::cerr << "store_driver: " << error << '\n';
                return 3;
            }
        }
    }
    platform::linux_os::RegFileStore store(path);
    CRegistry registry(store);
    COfficeList after;
    LoadOffices(registry, after);
    Json out;
    out["count"] = before.GetSize();
    Json differ = Json::array();
    for (int i = 0; i < std::max(before.GetSize(), after.GetSize()); ++i) {
        if (i >= before.GetSize() || i >= after.GetSize()) {
            differ.push_back(i);
            continue;
        }
        const COfficeNetwork &a = before.ElementAt(i), &b = after.ElementAt(i);
        if (a.m_strKeyName != b.m_strKeyName || a.m_strOfficeName != b.m_strOfficeName ||
            !(a.m_network == b.m_network) || a.m_strDefaultPrinter != b.m_strDefaultPrinter)
            differ.push_back(a.m_strKeyName);
    }
    out["differ"] = differ;
    std::cout << Dump(out) << std::endl;
    return 0;
}

// The file as a reader that takes no lock sees it: every office key must hold its nine
// texts, and nothing may be unreadable.
std::string Hex(const std::vector<uint8_t>& bytes) {
    static const char* kDigits = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) out += {kDigits[b >> 4], kDigits[b & 15]};
    return out;
}

// `hex`: values as hex digits of their bytes, so that any bytes can be compared.
Json Analyse(const std::string& path, bool hex = false) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Json{{"missing", true}};
    std::stringstream bytes;
    bytes << in.rdbuf();
    const RegParseResult parsed = ParseRegFile(bytes.str());
    Json out;
    out["missing"] = false;
    out["size"] = bytes.str().size();
    out["header"] = parsed.hasHeader;
    Json issues = Json::array();
    for (const auto& issue : parsed.issues)
        issues.push_back(std::to_string(issue.line) + ": " + issue.reason);
    out["issues"] = issues;
    Json offices = Json::object(), partial = Json::array();
    static const char* const kNames[] = {"Office Name",     "IP Address",  "Subnet Mask",
                                         "Default Gateway", "DHCP Server", "DNS Server 1",
                                         "DNS Server 2",    "WINS Server", "Default Printer"};
    const RegKey* parent = FindUserKey(parsed.tree, kOfficesKey);
    for (const RegKey& key : parent ? parent->subkeys : std::vector<RegKey>{}) {
        Json values = Json::object();
        bool whole = key.values.size() == 9 && key.subkeys.empty();
        for (const char* name : kNames) {
            const RegNamedValue* v = key.FindValue(name);
            if (!v || v->value.type != platform::kRegSz) {
                whole = false;
                continue;
            }
            values[name] =
                hex ? Hex(v->value.data) : std::string(v->value.data.begin(), v->value.data.end());
        }
        if (!whole) partial.push_back(key.name);
        offices[key.name] = values;
    }
    out["offices"] = offices;
    out["partial"] = partial;
    return out;
}

int Check(const std::string& path, bool hex) {
    std::cout << Dump(Analyse(path, hex)) << std::endl;
    return 0;
}

// Reads the file again and again until `stopFile` appears; counts the reads and the ones
// that found it damaged.
int Watch(const std::string& path, const std::string& stopFile) {
    long reads = 0, damaged = 0;
    Json first = nullptr;
    while (!std::ifstream(stopFile)) {
        QThread::msleep(2);  // leave the writers most of the CPU
        const Json state = Analyse(path);
        if (state["missing"]) continue;
        ++reads;
        if (!state["issues"].empty() || !state["partial"].empty()) {
            if (damaged++ == 0) first = state;
        }
    }
    std::cout << Dump(Json{{"reads", reads}, {"damaged", damaged}, {"first", first}}) << std::endl;
    return 0;
}

}  // namespace
}  // namespace voldrane::test

int main(int argc, char** argv) {
    using namespace voldrane::test;
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "check" && argc == 3) return Check(argv[2], false);
    if (mode == "check-hex" && argc == 3) return Check(argv[2], true);
    if (mode == "watch" && argc == 4) return Watch(argv[2], argv[3]);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (mode == "tray-start") return TrayStart(argc, argv);
    if (mode == "rewrite-all" && argc == 3) return RewriteAll(std::stoi(argv[2]));
    if (mode == "tray-menu") {
        QApplication app(argc, argv);
        return TrayMenu();
    }
    if (mode == "tray-writer" && argc == 5) {
        QApplication app(argc, argv);
        return TrayWriter(argv[2], std::stoi(argv[3]), std::stoi(argv[4]));
    }
    std::cerr << "usage: store_driver tray-writer PREFIX ROUNDS OPS | tray-start | tray-menu | "
                 "rewrite-all N | check FILE | watch FILE STOP\n";
    return 2;
}
