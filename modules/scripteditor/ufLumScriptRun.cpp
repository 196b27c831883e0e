// Running the script: the runner's output in the result pane, its progress in the status line,
// and Stop.
#include "Exception.h"
#include "TAction.h"
#include "TLumResultPane.h"
#include "TServerWait.h"
#include "uTLumCustomModuleAction.h"
#include "uTLumScriptRunner.h"
#include "uTLumTranslator.h"
#include "ufLumScript.h"
#include "ufModuleParent.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>

namespace {

// While a script runs, the server's waits are shown in the module's status line instead of the
// modal wait window, so the Stop button stays within reach.
class TRunIndicator : public TServerWait::Indicator {
public:
    TRunIndicator(QLabel* status, std::function<void()>* cancel) : m_status(status), m_cancel(cancel) {}
    ~TRunIndicator() override { *m_cancel = nullptr; }
    void Show(const QString& text, std::function<void()> onCancel) override {
        *m_cancel = std::move(onCancel);
        SetText(text);
    }
    void SetText(const QString& text) override {
        if (!m_status)
            return;
        QString shown = m_status->text();
        const int cut = shown.indexOf(QLatin1String(" \u2014 "));
        if (cut >= 0)
            shown.truncate(cut);
        m_status->setText(shown + QStringLiteral(" \u2014 ") + text);
    }

private:
    QPointer<QLabel> m_status;
    std::function<void()>* m_cancel;
};

std::function<void()> g_callCancel;

} // namespace

void TfLumScript::LumScriptRunnerMessage(const QString& s) {
    re1Result->Append(TLumScriptRunner::PaneLine(s));
}

void TfLumScript::LumScriptRunnerError(const QString& err, bool& aBreak, bool& aAsk) {
    // A stop ends the run without the question; the line "Interrupted." says so.
    if (m_running && LumScriptRunner->CancelRequested()) {
        aBreak = true;
        aAsk = false;
        return;
    }
    re1Result->Append(TLumScriptRunner::PaneLine(err), true);
}

void TfLumScript::LumScriptRunnerProgress(int, int, const QString& comment) {
    if (!m_running)
        return;
    // The first call starts the run; every later one but the last announces a batch.
    if (m_batch++ == 0 || m_batch - 1 > m_batches) {
        lStatus->clear();
        return;
    }
    lStatus->setText(text(QStringLiteral("Batch")).arg(m_batch - 1).arg(m_batches).arg(comment.trimmed()));
}

void TfLumScript::StopRun() {
    if (!m_running)
        return;
    LumScriptRunner->Cancel();
    if (g_callCancel)
        g_callCancel();
}

bool TfLumScript::eventFilter(QObject* watched, QEvent* event) {
    // While a script runs, only Stop (the button or Alt+Break) takes the user's input.
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Pause || key->key() == Qt::Key_Cancel) &&
            (key->modifiers() & Qt::AltModifier))
            StopRun();
        return true;
    }
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonDblClick:
    case QEvent::ContextMenu:
    case QEvent::Drop:
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease: {
        auto* w = qobject_cast<QWidget*>(watched);
        return !(m_stopButton && w && (w == m_stopButton || m_stopButton->isAncestorOf(w)));
    }
    default:
        return false;
    }
}

void TfLumScript::aRunExecute() {
    if (m_running)
        return;
    takeScript();
    re1Result->Clear();
    m_batches = 0;
    const QStringList& lines = LumScriptRunner->Script();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (TLumScriptRunner::IsSeparator(lines[i]) || i == lines.size() - 1)
            ++m_batches;
    }
    m_batch = 0;
    m_running = true;
    aStop->SetEnabled(true);
    aRun->SetEnabled(false);
    qApp->installEventFilter(this);
    const TServerWait::Factory previous = TServerWait::IndicatorFactory();
    TServerWait::SetIndicatorFactory(
        [this] { return std::make_unique<TRunIndicator>(lStatus, &g_callCancel); });
    const auto finish = [&] {
        TServerWait::SetIndicatorFactory(previous);
        g_callCancel = nullptr;
        qApp->removeEventFilter(this);
        m_running = false;
        aStop->SetEnabled(false);
        aRun->SetEnabled(true);
        lStatus->clear();
    };
    bool completed = false;
    try {
        completed = LumScriptRunner->Execute();
    } catch (...) {
        finish();
        re1Result->Append(text(QStringLiteral("Interrupted")));
        throw;
    }
    finish();
    re1Result->Append(text(completed ? QStringLiteral("Completed") : QStringLiteral("Interrupted")));
}
