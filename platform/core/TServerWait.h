#pragma once
// What the data layer shows while the server keeps it waiting. The data layer has no windows of
// its own: the application installs an indicator factory (a modal window with Cancel), and the
// data layer asks it for one when a call has been waiting for about a second.
#include <QString>

#include <functional>
#include <memory>

class TServerWait {
public:
    class Indicator {
    public:
        virtual ~Indicator() = default;
        // Shows text with a Cancel button; a click on Cancel runs onCancel (once).
        virtual void Show(const QString& text, std::function<void()> onCancel) = 0;
        virtual void SetText(const QString& text) = 0;
    };
    using Factory = std::function<std::unique_ptr<Indicator>()>;

    static void SetIndicatorFactory(Factory factory) { factory_() = std::move(factory); }
    // The factory installed now, so that a caller can put it back after replacing it for a while.
    static Factory IndicatorFactory() { return factory_(); }
    static std::unique_ptr<Indicator> CreateIndicator() { return factory_() ? factory_()() : nullptr; }

    // Calls waiting on the GUI thread right now. Timers and the idle pass leave the server alone
    // while this is not 0.
    static int Depth() { return depth_(); }

    // Counts one waiting call for as long as it lives.
    class Scope {
    public:
        Scope() { ++depth_(); }
        ~Scope() { --depth_(); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };

private:
    static Factory& factory_() {
        static Factory f;
        return f;
    }
    static int& depth_() {
        static int d = 0;
        return d;
    }
};
