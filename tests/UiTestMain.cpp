#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>

#include "tests/UiTestSupport.h"

namespace voldrane::test {

void ProcessEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace voldrane::test

int main(int argc, char** argv) {
    // Real widgets without a display; also for test discovery, which starts this program.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
