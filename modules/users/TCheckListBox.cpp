#include "TCheckListBox.h"

TCheckListBox::TCheckListBox(QWidget* parent, const QString& name) : QListWidget(parent) {
    setObjectName(name);
}

int TCheckListBox::Height() const {
    // Until the list has been on screen the requested height is the one it is going to have.
    if (!m_shown && m_requestedHeight >= 0)
        return m_requestedHeight;
    return height();
}

void TCheckListBox::SetHeight(int value) {
    if (value < 0)
        return;
    m_requestedHeight = value;
    if (OnHeightRequest)
        OnHeightRequest(value);
    else
        resize(width(), value);
}

bool TCheckListBox::Checked(int index) const {
    const QListWidgetItem* i = item(index);
    return i != nullptr && i->checkState() == Qt::Checked;
}

void TCheckListBox::SetChecked(int index, bool value) {
    if (QListWidgetItem* i = item(index))
        i->setCheckState(value ? Qt::Checked : Qt::Unchecked);
}

void TCheckListBox::resizeEvent(QResizeEvent* event) {
    QListWidget::resizeEvent(event);
    if (isVisible())
        m_shown = true;
}
