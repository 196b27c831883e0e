#include "TDriverCall.h"

#include "EDatabaseError.h"
#include "TServerWait.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

thread_local bool t_onWorker = false;

// Shared by the waiting thread and the worker; an abandoned worker keeps it alive alone.
struct TCallState {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool abandoned = false;
    std::exception_ptr error;
    QAbstractEventDispatcher* wake = nullptr; // the waiting GUI thread's dispatcher
};

} // namespace

bool TDriverCall::OnWorker() {
    return t_onWorker;
}

QString TDriverCall::FormatElapsed(qint64 ms) {
    const qint64 s = ms / 1000;
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(s / 3600)
            .arg((s / 60) % 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

void TDriverCall::Run(const Options& options, std::function<void()> work) {
    if (t_onWorker) {
        work();
        return;
    }
    auto state = std::make_shared<TCallState>();
    const QCoreApplication* app = QCoreApplication::instance();
    const bool gui = app != nullptr && QThread::currentThread() == app->thread();
    if (gui)
        state->wake = QAbstractEventDispatcher::instance();
    std::thread worker([state, work = std::move(work)]() mutable {
        t_onWorker = true;
        std::exception_ptr error;
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        // Whatever the call captured goes now, on this thread, before the caller is woken.
        work = nullptr;
        const std::lock_guard lock(state->mutex);
        state->error = error;
        state->done = true;
        state->finished.notify_all();
        if (!state->abandoned && state->wake)
            state->wake->wakeUp();
    });

    QElapsedTimer clock;
    clock.start();
    const qint64 timeoutMs = qint64(options.timeoutSeconds) * 1000;
    bool cancelRequested = false, cancelSent = false, timedOut = false;
    const auto isDone = [&] {
        const std::lock_guard lock(state->mutex);
        return state->done;
    };
    const auto cancel = [&]() -> bool { // true when the caller should leave at once
        cancelSent = true;
        if (options.cancel)
            options.cancel();
        if (!options.abandonable)
            return false;
        const std::lock_guard lock(state->mutex);
        if (state->done)
            return false;
        state->abandoned = true;
        return true;
    };

    if (gui) {
        const TServerWait::Scope waiting;
        std::unique_ptr<TServerWait::Indicator> indicator;
        QTimer tick; // wakes the loop to show the indicator and advance its clock
        tick.start(100);
        qint64 shownSecond = -1;
        while (!isDone()) {
            if (!cancelSent && timeoutMs > 0 && clock.elapsed() >= timeoutMs)
                timedOut = cancelRequested = true;
            if (cancelRequested && !cancelSent && cancel()) {
                worker.detach();
                throw ECancelled();
            }
            const qint64 elapsed = clock.elapsed();
            if (!indicator && !cancelSent && elapsed >= IndicatorDelayMs()) {
                indicator = TServerWait::CreateIndicator();
                if (indicator)
                    indicator->Show(options.waitText + QStringLiteral(" (") + FormatElapsed(elapsed) +
                                        QLatin1Char(')'),
                                    [&cancelRequested] { cancelRequested = true; });
                shownSecond = elapsed / 1000;
            } else if (indicator && elapsed / 1000 != shownSecond) {
                shownSecond = elapsed / 1000;
                indicator->SetText(options.waitText + QStringLiteral(" (") + FormatElapsed(elapsed) +
                                   QLatin1Char(')'));
            }
            // Before the modal indicator shows, no click or key may start another action; once it
            // shows, its modality keeps input from the other windows.
            QCoreApplication::processEvents(
                (indicator ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents) |
                QEventLoop::WaitForMoreEvents);
        }
    } else {
        std::unique_lock lock(state->mutex);
        while (!state->done) {
            if (timeoutMs > 0 && !cancelSent && clock.elapsed() >= timeoutMs) {
                timedOut = true;
                lock.unlock();
                const bool leave = cancel();
                lock.lock();
                if (leave) {
                    lock.unlock();
                    worker.detach();
                    throw ECancelled(QStringLiteral("Query timeout expired"));
                }
                continue;
            }
            state->finished.wait_for(lock, std::chrono::milliseconds(100));
        }
    }
    worker.join();
    if (!state->error)
        return;
    if (cancelSent) {
        try {
            std::rethrow_exception(state->error);
        } catch (const EConnectionLost&) {
            throw;
        } catch (...) {
        }
        if (timedOut)
            throw ECancelled(QStringLiteral("Query timeout expired"));
        throw ECancelled();
    }
    std::rethrow_exception(state->error);
}
