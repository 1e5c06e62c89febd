#include <cstring>
#include <iostream>

#include "ui/qt/CSwitcherApp.h"

int main(int argc, char** argv) {
    // Answered before Qt starts, so they work without a display (package checks, scripts).
    if (argc == 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-v") == 0)) {
        std::cout << "voldrane " << VOLDRANE_VERSION << '\n';
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::cout << "usage: voldrane [--help | --version]\n\n"
                     "Starts the office printer switcher in the notification area. One copy\n"
                     "runs per user; a second start ends at once. voldranectl(1) does the same\n"
                     "work on the command line.\n";
        return 0;
    }
    voldrane::CSwitcherApp app(argc, argv);
    if (!app.InitInstance()) return app.ExitCode();
    if (app.ExitRequested()) return 0;
    return app.exec();
}
