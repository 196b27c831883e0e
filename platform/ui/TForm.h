#pragma once
// A window described by its components: shown on its own, docked into a container (no border,
// filling it), or modally with ShowModal. Private messages posted to it (1026, 1027) arrive as
// events once it is on screen.
#include <QEvent>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QEventLoop;

enum TModalResult {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7
};

// The event a posted private message travels in.
class TMessageEvent : public QEvent {
public:
    static constexpr int WM_USER = 1024;
    static QEvent::Type TypeOf(int message) { return QEvent::Type(QEvent::User + (message - WM_USER)); }

    TMessageEvent(int message, qintptr wParam, qintptr lParam)
        : QEvent(TypeOf(message)), m_message(message), m_wParam(wParam), m_lParam(lParam) {}
    int Message() const { return m_message; }
    qintptr WParam() const { return m_wParam; }
    qintptr LParam() const { return m_lParam; }

private:
    int m_message;
    qintptr m_wParam;
    qintptr m_lParam;
};

class TForm : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

public:
    using TNotifyEvent = std::function<void(TForm* sender)>;
    using TCloseQueryEvent = std::function<void(TForm* sender, bool& canClose)>;
    using TMessageHandler = std::function<void(TForm* sender, int message, qintptr wParam, qintptr lParam)>;

    explicit TForm(QWidget* parent = nullptr);
    ~TForm() override;

    QString Caption() const { return windowTitle(); }
    void SetCaption(const QString& caption) { setWindowTitle(caption); }

    // Shows the form modally and returns its modal result once it closes.
    int ShowModal();
    bool IsModal() const { return m_modalLoop != nullptr; }
    int ModalResult() const { return m_modalResult; }
    // A result other than mrNone closes a modal form (when OnCloseQuery allows it).
    void SetModalResult(int result);
    // Clicking the button sets this modal result.
    void SetButtonResult(QAbstractButton* button, int result);
    // Enter clicks the default button, Escape the cancel button.
    void SetDefaultButton(QPushButton* button) { m_defaultButton = button; }
    void SetCancelButton(QPushButton* button) { m_cancelButton = button; }

    // Puts the form into container without a border, filling it.
    void Dock(QWidget* container);

    // The component of this form with the name (letter case ignored); the search does not enter
    // forms docked into this one.
    QObject* FindComponent(const QString& name) const;
    // The same lookup for any owner: its components by name, not entering docked forms.
    static QObject* FindComponentIn(const QObject* owner, const QString& name);

    // Posts a private message (e.g. WM_USER + 2 = 1026) to this form.
    void PostMessage(int message, qintptr wParam = 0, qintptr lParam = 0);

    TCloseQueryEvent OnCloseQuery;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TMessageHandler OnMessage;

protected:
    // A posted private message has arrived; the default runs OnMessage.
    virtual void MessageReceived(int message, qintptr wParam, qintptr lParam);
    // The form is about to close: OnCloseQuery decides.
    virtual bool CloseQuery();

    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int m_modalResult = mrNone;
    QEventLoop* m_modalLoop = nullptr;
    QPointer<QPushButton> m_defaultButton;
    QPointer<QPushButton> m_cancelButton;
    QList<TMessageEvent*> m_waiting; // messages that arrived before the form was shown
};
