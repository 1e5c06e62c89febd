#pragma once

// Helpers for driving the dialogs as a user would on the offscreen platform: a spooler and
// a prompt answered by the test, and a way to act on a modal dialog once it is shown.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/FakeSpooler.h"
#include "tests/support/ScriptedPrompt.h"

namespace voldrane::test {

// Runs `action` with the next modal window that appears above the one active now, from
// inside that window's own event loop. If none appears within the time limit the test
// fails. A modal window that the action leaves open is rejected after the limit, so a
// faulty test ends instead of hanging.
inline void OnNextModal(std::function<void(QWidget*)> action, int timeoutMs = 5000) {
    QWidget* before = QApplication::activeModalWidget();
    auto* timer = new QTimer(qApp);
    timer->setObjectName(QStringLiteral("modalWaiter"));
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != before && modal->isVisible()) {
            timer->stop();
            // Keys reach a window once it is active, as a window manager makes a new one.
            modal->activateWindow();
            EXPECT_TRUE(
                QTest::qWaitFor([modal] { return QApplication::activeWindow() == modal; }, 2000))
                << "the modal window did not become active";
            action(modal);
            // Anything still open well after the action is a fault of the test.
            QTimer::singleShot(timeoutMs, qApp, [modal = QPointer<QWidget>(modal)] {
                if (modal && modal->isVisible()) {
                    ADD_FAILURE() << "modal window left open: "
                                  << modal->objectName().toStdString();
                    if (auto* dialog = qobject_cast<QDialog*>(modal.data())) dialog->reject();
                }
            });
        } else if (clock->elapsed() > timeoutMs) {
            timer->stop();
            ADD_FAILURE() << "no modal window appeared";
        }
        if (!timer->isActive()) {
            timer->deleteLater();
            delete clock;
        }
    });
    timer->start();
}

// Stops the waits of OnNextModal that are still waiting, so that none of them acts in a later
// test; returns how many there were (a test expects none).
inline int CancelPendingModalWaiters() {
    int pending = 0;
    for (QTimer* timer :
         qApp->findChildren<QTimer*>(QStringLiteral("modalWaiter"), Qt::FindDirectChildrenOnly)) {
        if (timer->isActive()) ++pending;
        timer->stop();
        timer->setObjectName(QString());
    }
    return pending;
}

// A named child of a window, failing the test when it is missing.
template <typename T>
T* Child(QWidget* window, const char* name) {
    T* child = window->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << "no child named " << name;
    return child;
}

// Shows a window and makes it the active one, so that focus and keys reach it.
inline void ShowActive(QWidget* window) {
    window->show();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitFor([window] { return QApplication::activeWindow() == window; }, 2000));
}

// Types as a person would: each key goes to whichever widget has the focus at that moment.
inline void Type(const QString& text) {
    for (QChar c : text) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr) << "no widget has the focus";
        QTest::keyClick(focus, c.toLatin1());
    }
}

// Lets queued events run (layouts, deferred deletes) for a moment.
void ProcessEvents();

}  // namespace voldrane::test
