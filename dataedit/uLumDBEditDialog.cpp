#include "uLumDBEditDialog.h"
#include "TApplication.h"
#include "TButton.h"
#include "TDataSource.h"
#include "TField.h"
#include "TMessageBox.h"
#include "uTLumDlgButtonPanel.h"

#include <QScreen>
#include <QVBoxLayout>

namespace {

const QColor kRequiredEmpty(255, 212, 212);
const QColor kReadOnlyValue(192, 192, 192);
const QColor kGreyCaption(128, 128, 128);
const QColor kRequiredCaption(255, 0, 0);

TField* fieldOf(TdxInspectorRow* row) {
    auto* dbRow = qobject_cast<TdxInspectorDBRow*>(row);
    return dbRow ? dbRow->Field() : nullptr;
}

} // namespace

TLumDBEditDialog::TLumDBEditDialog(QWidget* owner) : TForm(owner) {
    setWindowFlags(Qt::Dialog);
    resize(450, 300);
    OnShow = [this](TForm*) { PostMessage(TMessageEvent::WM_USER + 3); };

    m_buttonPanel = new TLumDlgButtonPanel(this);
    m_buttonPanel->setObjectName(QStringLiteral("ButtonPanel"));
    m_buttonPanel->SetAlign(TLumDlgButtonPanel::alBottom);
    m_buttonPanel->setFixedHeight(41);
    TButton* ok = m_buttonPanel->AddButton(QStringLiteral("OK"), mrOk)->Button();
    ok->SetDefault(true);
    TButton* cancel = m_buttonPanel->AddButton(QStringLiteral("Cancel"), mrCancel)->Button();
    cancel->SetCancel(true);
    cancel->OnClick = [this](TButton*) {
        if (OnCancelButton)
            OnCancelButton(this);
    };
    TButton* help = m_buttonPanel->AddButton(QStringLiteral("&Help"), mrNone)->Button();
    help->OnClick = [this](TButton*) {
        if (OnHelpButton)
            OnHelpButton(this);
    };

    m_inspector = new TdxDBInspector(this);
    m_inspector->setObjectName(QStringLiteral("dxDBInspector"));
    m_inspector->SetDefaultFields(false);
    m_inspector->SetPaintStyle(TdxInspector::ipsExtended);
    m_inspector->OnDrawCaption = [this](TdxInspector* s, TdxInspectorRow* r, TdxInspectorDrawInfo& i) {
        drawCaption(s, r, i);
    };
    m_inspector->OnDrawValue = [this](TdxInspector* s, TdxInspectorRow* r, TdxInspectorDrawInfo& i) {
        drawValue(s, r, i);
    };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_inspector, 1);
    layout->addWidget(m_buttonPanel);
    // The inspector comes first in the tab order.
    setTabOrder(m_inspector, ok);
    setTabOrder(ok, cancel);
    setTabOrder(cancel, help);
    applyWindowFlags();
}

TLumDBEditDialog::~TLumDBEditDialog() {
    // The inspector goes before the button panel, both before the window.
    delete m_inspector;
    delete m_buttonPanel;
}

TButton* TLumDBEditDialog::Button(int index) const {
    return m_buttonPanel->Button(index);
}

void TLumDBEditDialog::SetDataSource(TDataSource* source) {
    m_dataSource = source;
    m_inspector->SetDataSource(source);
}

void TLumDBEditDialog::SetAutoHeight(bool value) {
    m_autoHeight = value;
    if (value)
        ApplyAutoHeight();
}

void TLumDBEditDialog::ApplyAutoHeight() {
    if (!m_autoHeight)
        return;
    const int client = m_inspector->RowsHeight() + m_buttonPanel->height() + 17;
    resize(width(), client);
}

TLumDBEditDialog::TLumDBEditDlgButtons TLumDBEditDialog::EnabledButtons() const {
    TLumDBEditDlgButtons set;
    for (int i = 0; i < 3; ++i) {
        if (Button(i)->isEnabled())
            set |= TLumDBEditDlgButton(1 << i);
    }
    return set;
}

void TLumDBEditDialog::SetEnabledButtons(TLumDBEditDlgButtons value) {
    for (int i = 0; i < 3; ++i)
        Button(i)->setEnabled(value.testFlag(TLumDBEditDlgButton(1 << i)));
}

TLumDBEditDialog::TLumDBEditDlgButtons TLumDBEditDialog::VisibleButtons() const {
    TLumDBEditDlgButtons set;
    for (int i = 0; i < 3; ++i) {
        if (!Button(i)->isHidden())
            set |= TLumDBEditDlgButton(1 << i);
    }
    return set;
}

void TLumDBEditDialog::SetVisibleButtons(TLumDBEditDlgButtons value) {
    for (int i = 0; i < 3; ++i)
        Button(i)->setVisible(value.testFlag(TLumDBEditDlgButton(1 << i)));
    m_buttonPanel->AlignControls();
}

void TLumDBEditDialog::SetBorderIcons(TBorderIcons value) {
    m_borderIcons = value;
    applyWindowFlags();
}

void TLumDBEditDialog::SetBorderStyle(TFormBorderStyle value) {
    m_borderStyle = value;
    applyWindowFlags();
}

void TLumDBEditDialog::applyWindowFlags() {
    const bool shown = isVisible();
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (m_borderIcons.testFlag(biSystemMenu))
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    // A dialog frame carries no minimise or maximise button.
    if (m_borderStyle != bsDialog && m_borderStyle != bsToolWindow && m_borderStyle != bsSizeToolWin) {
        if (m_borderIcons.testFlag(biMinimize))
            flags |= Qt::WindowMinimizeButtonHint;
        if (m_borderIcons.testFlag(biMaximize))
            flags |= Qt::WindowMaximizeButtonHint;
    }
    if (m_borderIcons.testFlag(biHelp))
        flags |= Qt::WindowContextHelpButtonHint;
    if (m_borderStyle == bsNone)
        flags = Qt::Dialog | Qt::FramelessWindowHint;
    setWindowFlags(flags);
    if (shown)
        show();
}

void TLumDBEditDialog::placeWindow() {
    QWidget* centre = nullptr;
    if (m_position == poMainFormCenter && TApplication::Instance())
        centre = TApplication::Instance()->MainForm();
    else if (m_position == poOwnerFormCenter)
        centre = parentWidget() ? parentWidget()->window() : nullptr;
    QRect area;
    if (centre && centre->isVisible())
        area = centre->frameGeometry();
    else if (m_position != poDesigned && m_position != poDefault && screen())
        area = screen()->availableGeometry();
    if (area.isValid())
        move(area.center() - QPoint(width() / 2, height() / 2));
}

void TLumDBEditDialog::showEvent(QShowEvent* event) {
    if (!m_placed) {
        m_placed = true;
        placeWindow();
    }
    TForm::showEvent(event);
}

void TLumDBEditDialog::BuildRows() {
    m_inspector->BeginUpdate();
    try {
        m_inspector->ClearRows();
        TDataSet* data = m_dataSource ? m_dataSource->DataSet() : nullptr;
        if (data) {
            for (int i = 0; i < data->FieldCount(); ++i) {
                if (data->Fields()[i]->Visible())
                    m_inspector->CreateRowFor(data->Fields()[i]);
            }
        }
    } catch (...) {
        m_inspector->EndUpdate();
        throw;
    }
    m_inspector->EndUpdate();
    if (OnRowsCreated)
        OnRowsCreated(this, m_inspector, m_dataSource);
}

bool TLumDBEditDialog::CloseQuery() {
    if (!TForm::CloseQuery())
        return false;
    if (ModalResult() != mrOk || !OnOkButton)
        return true;
    // A value still in the in-place editor belongs to the record.
    m_inspector->CloseEditor(true);
    bool cancelAction = false;
    QString errorMessage;
    if (OnVerifyRecord)
        OnVerifyRecord(this, cancelAction, errorMessage);
    if (cancelAction) {
        MessageDlg(errorMessage, mtError, mbOK);
        return false;
    }
    OnOkButton(this);
    return ModalResult() != mrNone;
}

void TLumDBEditDialog::MessageReceived(int message, qintptr wParam, qintptr lParam) {
    if (message == TMessageEvent::WM_USER + 3) {
        if (m_inspector->CanEditing() && m_inspector->FocusedRow())
            m_inspector->ShowEditor();
        return;
    }
    TForm::MessageReceived(message, wParam, lParam);
}

void TLumDBEditDialog::drawCaption(TdxInspector*, TdxInspectorRow* row, TdxInspectorDrawInfo& info) {
    if (row->IsCategory()) {
        info.fontColor = kGreyCaption;
        info.font.setBold(false);
        info.font.setItalic(false);
        info.font.setUnderline(false);
    }
    if (row->ReadOnly() && !row->IsCategory())
        info.fontColor = kGreyCaption;
    if (TField* field = fieldOf(row); field && field->Required())
        info.fontColor = kRequiredCaption;
}

void TLumDBEditDialog::drawValue(TdxInspector*, TdxInspectorRow* row, TdxInspectorDrawInfo& info) {
    if (TField* field = fieldOf(row); field && field->Required() && info.text.isEmpty())
        info.background = kRequiredEmpty;
    if (row->ReadOnly() && !row->IsCategory())
        info.background = kReadOnlyValue;
}
