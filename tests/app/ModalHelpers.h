// Acting on a modal window of the Qt dialogs backend while its exec() runs.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace za::test {

// Runs act on the next modal widget once it is up (polls for up to 5 s; on
// time-out act gets nullptr and the caller's exec() is left to the test).
inline void WhenModal(std::function<void(QWidget*)> act) {
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [act = std::move(act), clock, poll]() mutable {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal->isVisible()) {
            act(modal);
            *poll = nullptr; // break the cycle
            return;
        }
        if (clock->elapsed() > 5000) {
            act(nullptr);
            *poll = nullptr;
            return;
        }
        QTimer::singleShot(10, [poll] {
            if (*poll) {
                (*poll)();
            }
        });
    };
    QTimer::singleShot(0, [poll] {
        if (*poll) {
            (*poll)();
        }
    });
}

} // namespace za::test
