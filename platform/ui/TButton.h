#pragma once
// A push button as dialogs use it: a caption, a modal result that closes its form when clicked,
// the default (Enter) and cancel (Escape) roles within its form, and an OnClick event.
#include <QPushButton>

#include <functional>

class TButton : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(int ModalResult READ ModalResult WRITE SetModalResult)
    Q_PROPERTY(bool Default READ Default WRITE SetDefault)
    Q_PROPERTY(bool Cancel READ Cancel WRITE SetCancel)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)

public:
    using TNotifyEvent = std::function<void(TButton* sender)>;

    explicit TButton(QWidget* parent = nullptr);

    QString Caption() const { return text(); }
    // Widens the button when the caption does not fit.
    void SetCaption(const QString& caption);
    int ModalResult() const { return m_modalResult; }
    void SetModalResult(int value) { m_modalResult = value; }
    bool Default() const { return m_default; }
    void SetDefault(bool value);
    bool Cancel() const { return m_cancel; }
    void SetCancel(bool value);
    QString Hint() const { return toolTip(); }
    void SetHint(const QString& value) { setToolTip(value); }
    int Tag() const { return m_tag; }
    void SetTag(int value) { m_tag = value; }

    // What a click does: the form takes the modal result (when it is not mrNone), then OnClick
    // runs. Exceptions go to the application's handler.
    void Click();

    TNotifyEvent OnClick;

protected:
    bool event(QEvent* event) override;

private:
    // Tells the form this button's default and cancel roles.
    void registerRoles();

    int m_modalResult = 0;
    bool m_default = false;
    bool m_cancel = false;
    int m_tag = 0;
};
