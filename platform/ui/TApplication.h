#pragma once
// The application object: its title, main form, termination, and the default error handler that
// every dispatch point of ours hands its exceptions to. It also runs the idle pass that updates
// the actions of the visible forms when the event loop is about to wait.
#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <exception>
#include <functional>

class TForm;

class TApplication : public QApplication {
    Q_OBJECT

public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    // The running application object, or nullptr when the program made a plain QApplication.
    static TApplication* Instance();

    QString Title() const { return m_title; }
    void SetTitle(const QString& title) { m_title = title; }
    // The application title also when no TApplication exists ("Marlinde" then).
    static QString CurrentTitle();

    TForm* MainForm() const;
    void SetMainForm(TForm* form);
    // Shows the main form and runs the message loop unless the program was terminated before.
    int Run();
    // Ends the program: the message loop stops (or never starts).
    void Terminate();
    bool Terminated() const { return m_terminated; }
    // Handles the events waiting now and returns.
    static void ProcessMessages();

    // Shows the exception's message in a message box captioned with the title; EAbort shows
    // nothing. OnException, when assigned, replaces this.
    static void HandleException(const std::exception& e);
    // Hands the exception being handled (inside a catch block) to HandleException.
    static void HandleCurrentException();
    std::function<void(const std::exception&)> OnException;

    // Runs the update of every action of the visible windows now.
    static void UpdateActions();

    bool notify(QObject* receiver, QEvent* event) override;

private:
    void idle();

    QString m_title;
    QPointer<TForm> m_mainForm;
    bool m_terminated = false;
    bool m_inIdle = false;
    QElapsedTimer m_lastIdle;
    QTimer m_idleWake;
};

// Runs f at one of our dispatch points: an exception it raises goes to the default handler and
// the program goes on.
template <class F> void SafeCall(F&& f) {
    try {
        f();
    } catch (...) {
        TApplication::HandleCurrentException();
    }
}

// The message of any exception: our own text, or what() of a foreign one.
QString ExceptionMessage(const std::exception& e);
