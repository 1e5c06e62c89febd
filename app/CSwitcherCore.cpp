#include "app/CSwitcherCore.h"

#include <cstdlib>
#include <iostream>

#include "app/DisplayText.h"
#include "platform/Platform.h"
#include "res/Resource.h"
#include "res/Strings.h"

namespace voldrane {

namespace {

constexpr int kTrayWaitMs = 10000;
// Of the diagnostics, at most this many UTF-16 units (as a message box counts them) are shown.
constexpr size_t kDiagnosticsShown = 2000;

// A writer's temp file, rename and lock come as a burst of changes in the folder: the offices
// are loaded again once it has been quiet that long, and at the latest after the second bound
// while another program keeps writing.
constexpr int kSettingsQuietMs = 150;
constexpr int kSettingsMaxDelayMs = 1000;

// The first `units` UTF-16 units of `text`, never half a character; a byte that is no UTF-8
// counts as one.
std::string LeftUtf16(const std::string& text, size_t units) {
    size_t i = 0, counted = 0;
    while (i < text.size()) {
        const size_t n = Utf8CharLength(text, i);
        const size_t width = n == 4 ? 2 : 1;  // outside the BMP: a surrogate pair
        if (counted + width > units) break;
        counted += width;
        i += n == 0 ? 1 : n;
    }
    return text.substr(0, i);
}

}  // namespace

int TrayWaitMs() {
    const char* text = std::getenv("VOLDRANE_TRAY_WAIT_MS");
    if (!text || !*text) return kTrayWaitMs;
    char* end = nullptr;
    const long ms = std::strtol(text, &end, 10);
    return (*end == '\0' && ms >= 0 && ms <= 600000) ? static_cast<int>(ms) : kTrayWaitMs;
}

std::string StoreProblemsText(const std::string& readError, const std::string& diagnostics) {
    std::string text;
    if (!readError.empty())
        text = "The settings file cannot be read, so no office networks were loaded:\n" +
               readError + "\n\nNothing will be written to it until it can be read again.";
    if (!diagnostics.empty()) {
        if (!text.empty()) text += "\n\n";
        text += "Parts of the settings file could not be read and were left out:\n" +
                LeftUtf16(diagnostics, kDiagnosticsShown);
    }
    return text;
}

CSwitcherCore::CSwitcherCore() = default;

CSwitcherCore::~CSwitcherCore() {
    m_pMainFrame.reset();
}

bool CSwitcherCore::Start(ShellServices shell) {
    if (!m_singleInstance.Create(res::IDR_MAINFRAME)) {
        m_exitCode = 0;  // another copy runs; it goes on unchanged
        return false;
    }
    m_area = shell.makeArea();
    if (!m_area->WaitUntilAvailable(TrayWaitMs())) {
        std::cerr << "voldrane: " << m_area->UnavailableReason() << '\n';
        m_exitCode = 1;
        return false;
    }

    m_store = platform::CreateRegistryStore(&m_storeDiagnostics);
    m_registry = std::make_unique<CRegistry>(*m_store);
    m_spooler = shell.makeSpooler ? shell.makeSpooler() : platform::CreateOutOfProcessSpooler();
    m_network = platform::CreateNetworkSource();
    m_pMainFrame = std::make_unique<CMainFrame>(FrameServices{
        *m_area,
        *m_registry,
        *m_spooler,
        *m_network,
        shell.prompts,
        std::move(shell.makeConfigDialog),
        std::move(shell.showAbout),
        std::move(shell.showHelp),
        std::move(shell.exit),
        nullptr,
        std::move(shell.makeSettleTimer),
        shell.makeNotices(),
    });
    ReportStoreProblems(shell.prompts);
    // Offices that voldranectl (or a second login's copy) adds, edits or removes reach the
    // menu, and the dialog's saves do not undo them.
    CMainFrame* frame = m_pMainFrame.get();
    m_pMainFrame->WatchSettings(shell.watchFile(m_store->FilePath(), kSettingsQuietMs,
                                                kSettingsMaxDelayMs,
                                                [frame] { frame->OnSettingsChanged(); }));
    // The icon first: what follows reads the network, and the user should not wait for it.
    if (m_pMainFrame->CreateIcon() != 0) {
        std::cerr << "voldrane: the icon could not be added to the system tray\n";
        m_pMainFrame.reset();
        m_exitCode = 1;
        return false;
    }
    // The network's events, for following it; without them the office is read at start and
    // on "Auto-Detect" only. Watched before the network is first read, so that no change
    // after that read goes unseen.
    m_pMainFrame->WatchNetwork(shell.watchNetwork([frame] { frame->OnNetworkChanged(); }));
    m_pMainFrame->ApplyAtStart();
    return true;
}

// The offices were loaded for what could be read; say what could not, once.
void CSwitcherCore::ReportStoreProblems(ui::IUserPrompts& prompts) {
    const std::string readError = m_store->ReadError();
    const std::string lines = m_storeDiagnostics.str();
    if (!lines.empty()) std::cerr << lines;
    if (!readError.empty()) std::cerr << "voldrane: " << readError << '\n';
    const std::string text = StoreProblemsText(readError, lines);
    if (!text.empty()) prompts.ShowMessage(text, ui::PromptIcon::Exclamation);
}

}  // namespace voldrane
