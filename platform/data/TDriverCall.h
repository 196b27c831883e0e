#pragma once
// Runs a driver call that may wait on the server on a worker thread, while the calling thread
// waits: on the GUI thread in a local event loop that paints but takes no user input, and after
// about a second with the installed wait indicator (a modal window with Cancel). The call stays
// synchronous for its caller: its result or exception arrives when it returns.
#include <QString>

#include <functional>

class TDriverCall {
public:
    struct Options {
        QString waitText;       // "Running on SERVER…"; the indicator adds the elapsed time
        int timeoutSeconds = 0; // 0: wait for ever
        // Called on the waiting thread to stop the call (SQLCancel); the worker then returns.
        std::function<void()> cancel;
        // The call owns everything it touches: on Cancel the caller returns at once and the
        // worker finishes (and cleans up) in the background.
        bool abandonable = false;
    };

    // Runs work and returns when it has finished (or was abandoned). Cancel raises ECancelled
    // ("Cancelled."), a timeout ECancelled("Query timeout expired"); other exceptions of work
    // reach the caller as they are.
    static void Run(const Options& options, std::function<void()> work);

    // True on a worker thread of this class: nested calls run directly.
    static bool OnWorker();

    // Milliseconds before the indicator appears.
    static int IndicatorDelayMs() { return 1000; }
    // "0:07" for 7 s, "1:02:03" past an hour.
    static QString FormatElapsed(qint64 ms);
};
