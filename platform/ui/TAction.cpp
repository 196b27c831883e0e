#include "TAction.h"

#include "TApplication.h"
#include "TImageList.h"

#include <QApplication>
#include <QWidget>

TAction::TAction(QObject* owner, const QString& name) : QAction(owner) {
    setObjectName(name);
    connect(this, &QAction::triggered, this, &TAction::triggeredByUser);
}

void TAction::SetHint(const QString& hint) {
    m_hint = hint;
    m_hintSet = true;
    setToolTip(hint);
    setStatusTip(hint);
}

void TAction::SetImageIndex(int index) {
    m_imageIndex = index;
    refreshIcon();
}

void TAction::SetImages(TImageList* images) {
    m_images = images;
    refreshIcon();
}

void TAction::refreshIcon() {
    setIcon(m_images && m_imageIndex >= 0 ? m_images->Icon(m_imageIndex) : QIcon());
}

void TAction::SetChecked(bool checked) {
    m_checked = checked;
    if (checked && !isCheckable())
        setCheckable(true);
    setChecked(checked);
    if (!checked || m_groupIndex <= 0 || !parent())
        return;
    for (TAction* other : parent()->findChildren<TAction*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (other != this && other->GroupIndex() == m_groupIndex && other->Checked())
            other->SetChecked(false);
    }
}

void TAction::SetAutoCheck(bool value) {
    m_autoCheck = value;
    if (value)
        setCheckable(true);
}

void TAction::triggeredByUser() {
    // A checkable QAction toggles itself on a click; only AutoCheck keeps that change.
    if (isCheckable()) {
        if (m_autoCheck)
            SetChecked(isChecked());
        else
            setChecked(m_checked);
    }
    SafeCall([this] { Execute(); });
}

bool TAction::Execute() {
    if (!isEnabled())
        return false;
    if (OnExecute) {
        OnExecute(this);
        return true;
    }
    QObject* target = QApplication::focusWidget();
    if (target && HandlesTarget(target)) {
        ExecuteTarget(target);
        return true;
    }
    return false;
}

bool TAction::Update() {
    if (OnUpdate) {
        OnUpdate(this);
        return true;
    }
    QObject* target = QApplication::focusWidget();
    if (target && HandlesTarget(target)) {
        UpdateTarget(target);
        return true;
    }
    return false;
}

bool TAction::HandlesTarget(QObject*) {
    return false;
}

void TAction::ExecuteTarget(QObject*) {}

void TAction::UpdateTarget(QObject*) {}
