#include "app/CSwitcherApp.h"

int main(int argc, char** argv) {
    voldrane::CSwitcherApp app(argc, argv);
    if (!app.InitInstance()) return app.ExitCode();
    if (app.ExitRequested()) return 0;
    return app.exec();
}
