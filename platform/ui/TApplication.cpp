#include "TApplication.h"

#include "Exception.h"
#include "TAction.h"
#include "TForm.h"
#include "TMessageBox.h"
#include "TServerWait.h"
#include "TWaitWindow.h"

#include <QAbstractEventDispatcher>
#include <QWidget>

namespace {

// The idle pass runs at most this often; a skipped pass is caught up by a wake-up timer.
constexpr int kIdleIntervalMs = 100;

} // namespace

QString ExceptionMessage(const std::exception& e) {
    if (const auto* own = dynamic_cast<const Exception*>(&e))
        return own->Message();
    return QString::fromUtf8(e.what());
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    TWaitWindow::Install();
    m_idleWake.setSingleShot(true);
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &TApplication::idle);
}

TApplication::~TApplication() {
    TServerWait::SetIndicatorFactory(nullptr);
}

TApplication* TApplication::Instance() {
    return qobject_cast<TApplication*>(QCoreApplication::instance());
}

QString TApplication::CurrentTitle() {
    const TApplication* app = Instance();
    return app && !app->Title().isEmpty() ? app->Title() : QStringLiteral("Marlinde");
}

TForm* TApplication::MainForm() const {
    return m_mainForm;
}

void TApplication::SetMainForm(TForm* form) {
    m_mainForm = form;
}

int TApplication::Run() {
    if (m_terminated)
        return 0;
    if (m_mainForm)
        m_mainForm->show();
    return exec();
}

void TApplication::Terminate() {
    m_terminated = true;
    quit();
}

void TApplication::ProcessMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TApplication::HandleException(const std::exception& e) {
    if (dynamic_cast<const EAbort*>(&e))
        return;
    TApplication* app = Instance();
    if (app && app->OnException) {
        app->OnException(e);
        return;
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        qWarning("%s", e.what());
        return;
    }
    MessageDlg(ExceptionMessage(e), mtError, mbOK, CurrentTitle());
}

void TApplication::HandleCurrentException() {
    try {
        throw;
    } catch (const std::exception& e) {
        HandleException(e);
    } catch (...) {
        HandleException(Exception(QStringLiteral("Unknown error")));
    }
}

void TApplication::UpdateActions() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible())
            continue;
        for (TAction* a : w->findChildren<TAction*>())
            SafeCall([a] { a->Update(); });
    }
}

void TApplication::idle() {
    // While a call waits on the server the actions' updates, which may look at the connection,
    // wait too.
    if (m_inIdle || TServerWait::Depth() > 0)
        return;
    if (m_lastIdle.isValid() && m_lastIdle.elapsed() < kIdleIntervalMs) {
        if (!m_idleWake.isActive())
            m_idleWake.start(int(kIdleIntervalMs - m_lastIdle.elapsed()) + 1);
        return;
    }
    m_inIdle = true;
    UpdateActions();
    m_lastIdle.start();
    m_inIdle = false;
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    // The last resort only: our dispatch points catch before an exception reaches Qt's frames.
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleCurrentException();
        return false;
    }
}
