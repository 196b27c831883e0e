#include "TButton.h"

#include "TApplication.h"
#include "TForm.h"

#include <QEvent>

namespace {

TForm* formOf(QWidget* w) {
    for (; w; w = w->parentWidget()) {
        if (auto* form = qobject_cast<TForm*>(w))
            return form;
    }
    return nullptr;
}

} // namespace

TButton::TButton(QWidget* parent) : QPushButton(parent) {
    resize(75, 25);
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, &TButton::Click);
}

void TButton::SetCaption(const QString& caption) {
    setText(caption);
    const int needed = fontMetrics().horizontalAdvance(QString(caption).remove(QLatin1Char('&'))) + 16;
    if (width() < needed)
        resize(needed, height());
}

void TButton::SetDefault(bool value) {
    m_default = value;
    registerRoles();
}

void TButton::SetCancel(bool value) {
    m_cancel = value;
    registerRoles();
}

void TButton::registerRoles() {
    TForm* form = formOf(parentWidget());
    if (!form)
        return;
    if (m_default)
        form->SetDefaultButton(this);
    if (m_cancel)
        form->SetCancelButton(this);
}

bool TButton::event(QEvent* event) {
    // The roles reach the form once the button is placed in it.
    if (event->type() == QEvent::ParentChange || event->type() == QEvent::Show)
        registerRoles();
    return QPushButton::event(event);
}

void TButton::Click() {
    QPointer<TButton> self(this);
    if (m_modalResult != 0) {
        if (TForm* form = formOf(parentWidget()))
            form->SetModalResult(m_modalResult);
    }
    if (self && OnClick)
        SafeCall([this] { OnClick(this); });
}
