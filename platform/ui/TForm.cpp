#include "TForm.h"

#include "TApplication.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

TForm::TForm(QWidget* parent) : QWidget(parent, parent ? Qt::Widget : Qt::Window) {}

TForm::~TForm() {
    qDeleteAll(m_waiting);
    if (m_modalLoop)
        m_modalLoop->exit();
}

int TForm::ShowModal() {
    m_modalResult = mrNone;
    setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    m_modalLoop = &loop;
    const QPointer<TForm> self(this);
    show();
    raise();
    activateWindow();
    loop.exec(QEventLoop::DialogExec);
    // Something in the loop may have deleted the form: then there is nothing left to hide.
    if (!self)
        return mrCancel;
    m_modalLoop = nullptr;
    hide();
    setWindowModality(Qt::NonModal);
    return m_modalResult;
}

void TForm::SetModalResult(int result) {
    m_modalResult = result;
    if (result != mrNone && m_modalLoop)
        close();
}

void TForm::SetButtonResult(QAbstractButton* button, int result) {
    connect(button, &QAbstractButton::clicked, this, [this, result] { SetModalResult(result); });
}

void TForm::Dock(QWidget* container) {
    setWindowFlags(Qt::Widget);
    setParent(container);
    QLayout* layout = container->layout();
    if (!layout) {
        layout = new QVBoxLayout(container);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    layout->addWidget(this);
    show();
}

QObject* TForm::FindComponentIn(const QObject* owner, const QString& name) {
    if (!owner || name.isEmpty())
        return nullptr;
    for (QObject* child : owner->children()) {
        if (child->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return child;
        if (qobject_cast<TForm*>(child))
            continue;
        if (QObject* found = FindComponentIn(child, name))
            return found;
    }
    return nullptr;
}

QObject* TForm::FindComponent(const QString& name) const {
    return FindComponentIn(this, name);
}

void TForm::PostMessage(int message, qintptr wParam, qintptr lParam) {
    QCoreApplication::postEvent(this, new TMessageEvent(message, wParam, lParam));
}

void TForm::MessageReceived(int message, qintptr wParam, qintptr lParam) {
    if (OnMessage)
        OnMessage(this, message, wParam, lParam);
}

bool TForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery)
        OnCloseQuery(this, canClose);
    return canClose;
}

bool TForm::event(QEvent* event) {
    if (auto* message = dynamic_cast<TMessageEvent*>(event)) {
        if (!isVisible()) {
            // Held until the form is on screen.
            m_waiting.append(new TMessageEvent(message->Message(), message->WParam(), message->LParam()));
            return true;
        }
        SafeCall([&] { MessageReceived(message->Message(), message->WParam(), message->LParam()); });
        return true;
    }
    return QWidget::event(event);
}

void TForm::closeEvent(QCloseEvent* event) {
    bool canClose = false;
    SafeCall([&] { canClose = CloseQuery(); });
    if (!canClose) {
        m_modalResult = mrNone;
        event->ignore();
        return;
    }
    if (m_modalLoop) {
        if (m_modalResult == mrNone)
            m_modalResult = mrCancel;
        m_modalLoop->exit();
    }
    QWidget::closeEvent(event);
}

void TForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    SafeCall([this] {
        if (OnShow)
            OnShow(this);
    });
    for (TMessageEvent* m : std::exchange(m_waiting, {}))
        QCoreApplication::postEvent(this, m);
}

void TForm::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    SafeCall([this] {
        if (OnHide)
            OnHide(this);
    });
}

void TForm::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
            auto* focused = qobject_cast<QPushButton*>(focusWidget());
            if (QPushButton* b = focused ? focused : m_defaultButton.data(); b && b->isEnabled()) {
                b->click();
                return;
            }
        }
        if (event->key() == Qt::Key_Escape && m_cancelButton && m_cancelButton->isEnabled()) {
            m_cancelButton->click();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}
