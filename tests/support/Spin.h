#pragma once
// Runs a real event loop (so posted messages and the idle pass happen) until done() holds.
#include <QEventLoop>
#include <QTimer>

#include <functional>

inline bool SpinUntil(const std::function<bool()>& done, int ms = 10000) {
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done())
            loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}
