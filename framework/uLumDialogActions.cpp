#include "uLumDialogActions.h"

#include "Exception.h"
#include "TApplication.h"
#include "uComponentUtils.h"
#include "uTLumDlgButtonPanel.h"
#include "ufChangePassword.h"
#include "ufLumCustomDialog.h"

#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>

#include <exception>
#include <memory>

namespace {

QWidget* ownerWidget(const QObject* action) {
    return qobject_cast<QWidget*>(action->parent());
}

// Puts control into container's layout, filling it.
void fill(QWidget* container, QWidget* control) {
    control->setParent(container);
    container->layout()->addWidget(control);
    control->show();
}

} // namespace

// ---- TLumCustomDialogAction ----

TLumCustomDialogAction::TLumCustomDialogAction(QObject* owner, const QString& name) : TAction(owner, name) {
    DialogFormClass = [](QWidget* o) { return new TfLumCustomDialog(o); };
}

TLumCustomDialogAction::~TLumCustomDialogAction() {
    delete m_dialogForm.data();
}

void TLumCustomDialogAction::SetDialogText(const QString& value) {
    m_dialogText = value;
    if (m_dialogForm) {
        m_dialogForm->StaticText->setText(value);
        m_dialogForm->StaticText->adjustSize();
        TApplication::ProcessMessages();
    }
}

bool TLumCustomDialogAction::Execute() {
    // As any action: OnExecute when assigned, else the dialog (every target is handled).
    if (!isEnabled())
        return false;
    if (OnExecute)
        OnExecute(this);
    else
        ExecuteTarget(QApplication::focusWidget());
    return m_lastModalResult == mrOk;
}

bool TLumCustomDialogAction::HandlesTarget(QObject*) {
    return true;
}

void TLumCustomDialogAction::ExecuteTarget(QObject*) {
    m_lastModalResult = 0;
    const TDialogFormClass make =
        DialogFormClass ? DialogFormClass : [](QWidget* o) { return new TfLumCustomDialog(o); };
    m_dialogForm = make(ownerWidget(this));
    std::exception_ptr failure;
    try {
        PrepareDialog();
        ApplyReadOnly();
        m_lastModalResult = m_dialogForm->ShowModal();
        if (m_lastModalResult == mrOk)
            DoOk();
    } catch (...) {
        failure = std::current_exception();
    }
    try {
        FinishDialog();
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    delete m_dialogForm.data();
    m_dialogForm = nullptr;
    if (failure)
        std::rethrow_exception(failure);
}

void TLumCustomDialogAction::PrepareDialog() {
    if (BeforeExecute)
        BeforeExecute(this);
    TfLumCustomDialog* dialog = m_dialogForm;
    dialog->DialogAction = this;
    if (m_dialogCaption.isEmpty())
        m_dialogCaption = TApplication::CurrentTitle();
    dialog->SetCaption(m_dialogCaption);
    dialog->SetTextVisible(m_dialogTextVisible);
    dialog->StaticText->setText(m_dialogText);
    dialog->StaticText->adjustSize();

    int width = m_controlWidth;
    if (m_dialogTextVisible && width < dialog->StaticText->width())
        width = dialog->StaticText->width() + 2 * TfLumCustomDialog::kBorderWidth;

    dialog->pTopRight->setVisible(m_topRightControl != nullptr);
    if (m_topRightControl) {
        if (!m_topRightTaken)
            m_topRightHome = m_topRightControl->parentWidget();
        m_topRightTaken = true;
        dialog->pTopRight->setFixedWidth(m_topRightControl->width());
        fill(dialog->pTopRight, m_topRightControl);
    }
    dialog->BeforeOkHandler = BeforeOk;

    // The area inside ParentPanel's border is exactly ControlHeight high.
    int height = (m_dialogTextVisible ? TfLumCustomDialog::kTopHeight : 0) + m_controlHeight +
                 2 * TfLumCustomDialog::kBorderWidth + TfLumCustomDialog::kButtonHeight;
    if (const QScreen* screen = dialog->screen()) {
        const int frame = dialog->frameGeometry().height() - dialog->geometry().height();
        const int workArea = screen->availableGeometry().height();
        if (height + frame > workArea)
            height = workArea - 40 - frame;
    }
    dialog->resize(width, height);
}

void TLumCustomDialogAction::FinishDialog() {
    if (AfterExecute)
        AfterExecute(this);
    if (m_topRightControl && m_topRightTaken) {
        // Out of the dialog, which is about to go; it waits hidden in its own form until the
        // next execution, so it stays owned there.
        m_topRightControl->hide();
        m_topRightControl->setParent(m_topRightHome);
        if (m_dialogForm)
            m_dialogForm->pTopRight->hide();
    }
}

void TLumCustomDialogAction::DoOk() {
    if (OnOk)
        OnOk(this);
}

void TLumCustomDialogAction::ApplyReadOnly() {
    bool readOnly = m_readOnly;
    if (OnGetReadOnly)
        OnGetReadOnly(this, readOnly);
    if (m_dialogForm)
        m_dialogForm->pButton->Button(0)->setEnabled(!readOnly);
}

void TLumCustomDialogAction::DoBeforeCancel(bool& canClose) {
    if (BeforeCancel)
        BeforeCancel(this, canClose);
}

void TLumCustomDialogAction::DoAfterShow() {
    if (AfterShow)
        AfterShow(this);
}

void TLumCustomDialogAction::DoShow() {
    if (OnShow)
        OnShow(this);
}

// ---- TControlPlace ----

TControlPlace TControlPlace::Of(QWidget* control) {
    TControlPlace place;
    place.parent = control->parentWidget();
    place.geometry = control->geometry();
    place.hidden = control->isHidden();
    QLayout* layout = place.parent ? place.parent->layout() : nullptr;
    const int index = layout ? layout->indexOf(control) : -1;
    if (index < 0)
        return place;
    place.layout = layout;
    place.index = index;
    place.alignment = layout->itemAt(index)->alignment();
    if (auto* box = qobject_cast<QBoxLayout*>(layout)) {
        place.stretch = box->stretch(index);
    } else if (auto* grid = qobject_cast<QGridLayout*>(layout)) {
        grid->getItemPosition(index, &place.row, &place.column, &place.rowSpan, &place.columnSpan);
    }
    return place;
}

void TControlPlace::Restore(QWidget* control) const {
    control->setVisible(false);
    control->setParent(parent);
    if (layout) {
        if (auto* box = qobject_cast<QBoxLayout*>(layout.data()))
            box->insertWidget(qMin(index, box->count()), control, stretch, alignment);
        else if (auto* grid = qobject_cast<QGridLayout*>(layout.data()); grid && row >= 0)
            grid->addWidget(control, row, column, rowSpan, columnSpan, alignment);
        else
            layout->addWidget(control);
    } else {
        control->setGeometry(geometry);
    }
    control->setVisible(!hidden);
}

// ---- TLumControlDialogAction ----

TLumControlDialogAction::TLumControlDialogAction(QObject* owner, const QString& name)
    : TLumCustomDialogAction(owner, name) {}

void TLumControlDialogAction::SetControl(QWidget* value) {
    m_control = value;
    if (!m_copyControl)
        m_hostedControl = nullptr;
}

void TLumControlDialogAction::PrepareDialog() {
    // The control's own height sizes the dialog until the user has sized one.
    if (m_control && !ControlHeightForced() && !m_sizeFromDialog)
        SetControlHeight(m_control->height());
    TLumCustomDialogAction::PrepareDialog();
    if (!m_control)
        throw Exception(QStringLiteral("Property \"Control\" not assigned."));
    if (m_copyControl) {
        m_hostedControl = qobject_cast<QWidget*>(CloneControl(m_control));
    } else {
        m_hostedControl = m_control;
        m_saved = TControlPlace::Of(m_control);
        m_lent = true;
    }
    fill(m_dialogForm->ParentPanel, m_hostedControl);
    QPointer<QWidget> hosted = m_hostedControl;
    QTimer::singleShot(0, hosted, [hosted] {
        if (hosted)
            hosted->setFocus(Qt::OtherFocusReason);
    });
}

void TLumControlDialogAction::FinishDialog() {
    if (m_hostedControl && m_dialogForm && m_hostedControl->parentWidget() == m_dialogForm->ParentPanel) {
        SetControlWidth(m_dialogForm->width());
        SetControlHeight(m_hostedControl->height());
        m_sizeFromDialog = true;
    }
    if (m_lent) {
        m_lent = false;
        if (m_control)
            m_saved.Restore(m_control);
    }
    if (m_copyControl)
        m_hostedControl = nullptr; // the copy goes with the dialog
    TLumCustomDialogAction::FinishDialog();
}

// ---- TLumComboDialogAction ----

TLumComboDialogAction::TLumComboDialogAction(QObject* owner, const QString& name)
    : TLumCustomDialogAction(owner, name) {}

void TLumComboDialogAction::PrepareDialog() {
    auto* combo = new QComboBox(m_dialogForm->ParentPanel);
    combo->setObjectName(QStringLiteral("DialogComboBox"));
    m_comboBox = combo;
    combo->addItems(m_items);
    combo->setEditable(m_allowText);
    if (m_allowText)
        combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setMaxVisibleItems(qMax(1, qMin(int(m_items.size()), 20)));
    SetControlHeight(combo->sizeHint().height());
    combo->setCurrentIndex(m_itemIndex >= 0 && m_itemIndex < combo->count() ? m_itemIndex : -1);
    m_dialogForm->ParentPanel->layout()->addWidget(combo);
    static_cast<QBoxLayout*>(m_dialogForm->ParentPanel->layout())->addStretch(1);
    TLumCustomDialogAction::PrepareDialog();
    combo->setFocus(Qt::OtherFocusReason);
}

void TLumComboDialogAction::DoOk() {
    if (m_comboBox) {
        m_text = m_comboBox->currentText();
        // Typed text that is no choice of the list has no index.
        m_itemIndex = m_comboBox->findText(m_text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    }
    TLumCustomDialogAction::DoOk();
}

// ---- TLumPasswordDialogAction ----

TLumPasswordDialogAction::TLumPasswordDialogAction(QObject* owner, const QString& name)
    : TAction(owner, name) {}

bool TLumPasswordDialogAction::Execute() {
    ExecuteTarget(nullptr);
    return m_lastModalResult == mrOk;
}

bool TLumPasswordDialogAction::HandlesTarget(QObject*) {
    return true;
}

void TLumPasswordDialogAction::ExecuteTarget(QObject*) {
    auto form = std::make_unique<TfChangePassword>();
    m_lastModalResult = 0;
    const bool usable = !m_oldDisabled;
    form->eOld->setEnabled(usable);
    form->eOld->setReadOnly(!usable);
    QPalette palette = form->eOld->palette();
    palette.setColor(QPalette::Base, usable ? QColor(Qt::white) : form->palette().color(QPalette::Button));
    form->eOld->setPalette(palette);
    m_lastModalResult = form->ShowModal();
    m_oldPassword = form->eOld->text();
    m_newPassword = form->eNew->text();
    form.reset();
    if (m_lastModalResult == mrOk && OnOk)
        OnOk(this);
}

// ---- InputComboQuery ----

bool InputComboQuery(const QString& prompt, const QStringList& items, QString& text, int& itemIndex) {
    auto action = std::make_unique<TLumComboDialogAction>(QCoreApplication::instance());
    action->SetDialogCaption(TApplication::CurrentTitle());
    action->SetDialogText(prompt);
    action->SetItems(items);
    action->SetItemIndex(itemIndex);
    const bool ok = action->Execute();
    if (ok) {
        itemIndex = action->ItemIndex();
        text = action->Text();
    }
    return ok;
}
