#pragma once
// Drives the modal windows a GUI test opens: each step runs on the next modal window that
// appears (after the one of the previous step has gone). When the deadline passes with steps
// left or a modal window still open, the test fails and the window is closed, so a test that
// goes wrong fails instead of blocking.
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <deque>
#include <functional>

namespace testsupport {

class ModalDriver {
public:
    using Step = std::function<void(QWidget* modal)>;

    explicit ModalDriver(std::deque<Step> steps, int deadlineMs = 20000) : m_steps(std::move(steps)) {
        m_clock.start();
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this, deadlineMs] { tick(deadlineMs); });
        m_timer.start();
    }

    // Steps that never ran (0 when every expected window appeared); a deadline keeps them.
    int Remaining() const { return int(m_steps.size()); }
    bool TimedOut() const { return m_timedOut; }

    // The text of a message box (empty for other windows).
    static QString Text(QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        return box ? box->text() : QString();
    }
    static void ClickDefault(QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->reject();
    }

private:
    void tick(int deadlineMs) {
        QWidget* modal = QApplication::activeModalWidget();
        if (m_timedOut) {
            if (modal)
                modal->close();
            return;
        }
        if (m_clock.elapsed() > deadlineMs) {
            if (m_steps.empty() && !modal) {
                m_timer.stop();
                return;
            }
            m_timedOut = true;
            ADD_FAILURE() << "ModalDriver: deadline of " << deadlineMs << " ms passed with " << m_steps.size()
                          << " step(s) left" << (modal ? " and a modal window open" : "");
            if (modal)
                modal->close();
            return;
        }
        if (!modal || !modal->isVisible() || modal != m_previous)
            m_previous = nullptr;
        if (!modal || !modal->isVisible() || m_steps.empty() || modal == m_previous)
            return;
        m_previous = modal;
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        step(modal);
    }

    std::deque<Step> m_steps;
    QTimer m_timer;
    QElapsedTimer m_clock;
    QPointer<QWidget> m_previous;
    bool m_timedOut = false;
};

} // namespace testsupport
