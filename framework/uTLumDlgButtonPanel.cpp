#include "uTLumDlgButtonPanel.h"

#include <QEvent>

namespace {

QString buttonName(int n) {
    return QStringLiteral("DlgButton") + QString::number(n);
}

bool nameTaken(const QWidget* panel, const QObject* self, const QString& name) {
    for (const QObject* child : panel->children()) {
        if (child != self && child->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

TLumDlgButton::TLumDlgButton(TCollection* collection) : TCollectionItem(collection) {
    auto* panel = qobject_cast<TLumDlgButtonPanel*>(collection ? collection->parent() : nullptr);
    m_button = new TButton(panel);
    if (!panel)
        return;
    // The first free "DlgButton" + N: count up past the names the items bear in order, and past
    // a name another component of the panel holds already.
    int n = 1;
    for (;;) {
        for (int i = 0; i < collection->Count(); ++i) {
            const TButton* b = static_cast<TLumDlgButton*>(collection->Items(i))->Button();
            if (b && b->objectName() == buttonName(n))
                ++n;
        }
        if (!nameTaken(panel, m_button, buttonName(n)))
            break;
        ++n;
    }
    m_button->setObjectName(buttonName(n));
    panel->buttonAdded(m_button);
}

TLumDlgButton::~TLumDlgButton() {
    delete m_button.data();
}

void TLumDlgButton::Assign(const QObject* source) {
    const auto* other = qobject_cast<const TLumDlgButton*>(source);
    if (!other || !other->m_button || !m_button)
        return;
    const TButton* from = other->m_button;
    TButton* to = m_button;
    to->setLayoutDirection(from->layoutDirection());
    to->SetCancel(from->Cancel());
    to->SetCaption(from->Caption());
    to->setMinimumSize(from->minimumSize());
    to->setMaximumSize(from->maximumSize());
    to->setCursor(from->cursor());
    to->SetDefault(from->Default());
    to->setEnabled(from->isEnabled());
    to->setFont(from->font());
    to->setWhatsThis(from->whatsThis());
    to->SetHint(from->Hint());
    to->setGeometry(from->geometry());
    to->SetModalResult(from->ModalResult());
    to->setObjectName(from->objectName());
    to->setContextMenuPolicy(from->contextMenuPolicy());
    to->setFocusPolicy(from->focusPolicy());
    to->SetTag(from->Tag());
    to->setVisible(!from->isHidden());
    to->OnClick = from->OnClick;
}

TLumDlgButtons::TLumDlgButtons(TLumDlgButtonPanel* panel)
    : TCollection(panel, [](TCollection* c) { return new TLumDlgButton(c); }) {}

TLumDlgButtonPanel* TLumDlgButtons::Panel() const {
    return qobject_cast<TLumDlgButtonPanel*>(parent());
}

TLumDlgButtonPanel::TLumDlgButtonPanel(QWidget* parent) : QWidget(parent) {
    m_buttons = new TLumDlgButtons(this);
    m_btnMargin = 20;
    m_btnGap = 10;
    m_btnAlign = baRightBottom;
}

TLumDlgButtonPanel::~TLumDlgButtonPanel() {
    // The items destroy their buttons before the widget deletes its children.
    m_buttons->Clear();
}

void TLumDlgButtonPanel::SetAlign(TAlign value) {
    m_align = value;
    const bool column = value == alLeft || value == alRight;
    const bool row = value == alTop || value == alBottom;
    setSizePolicy(column ? QSizePolicy::Fixed : QSizePolicy::Preferred,
                  row ? QSizePolicy::Fixed : QSizePolicy::Preferred);
    AlignControls();
}

void TLumDlgButtonPanel::SetBtnAlign(TLumButtonAlign value) {
    if (value == m_btnAlign)
        return;
    m_btnAlign = value;
    AlignControls();
}

void TLumDlgButtonPanel::SetBtnGap(int value) {
    value = qBound(0, value, 255);
    if (value == m_btnGap)
        return;
    m_btnGap = value;
    AlignControls();
}

void TLumDlgButtonPanel::SetBtnMargin(int value) {
    value = qBound(0, value, 255);
    if (value == m_btnMargin)
        return;
    m_btnMargin = value;
    AlignControls();
}

TLumDlgButton* TLumDlgButtonPanel::AddButton(const QString& caption, int modalResult) {
    TLumDlgButton* item = m_buttons->Add();
    item->Button()->SetCaption(caption);
    item->Button()->SetModalResult(modalResult);
    AlignControls();
    return item;
}

void TLumDlgButtonPanel::buttonAdded(TButton* button) {
    button->installEventFilter(this);
    if (isVisible())
        button->show();
}

void TLumDlgButtonPanel::AlignControls() {
    const int count = m_buttons->Count();
    if (count == 0 || m_aligning)
        return;
    m_aligning = true;
    const QRect r = contentsRect();
    const int left = r.left(), top = r.top(), right = r.left() + r.width(), bottom = r.top() + r.height();
    const bool column = m_align == alLeft || m_align == alRight;
    // The hidden buttons keep their slot but add no extent; (count - 2) gaps as the layout has
    // always counted them.
    int total = (count - 2) * m_btnGap;
    for (int i = 0; i < count; ++i) {
        const TButton* b = Button(i);
        if (!b->isHidden())
            total += column ? b->height() : b->width();
    }
    int p = 0;
    switch (m_btnAlign) {
    case baTopLeft:
        p = (column ? top : left) + m_btnMargin;
        break;
    case baRightBottom:
        p = (column ? bottom : right) - total - m_btnMargin;
        break;
    case baCenter:
        p = column ? top + (bottom - top - total) / 2 : left + (right - left - total) / 2;
        break;
    }
    const int cross = column ? right - left : bottom - top;
    for (int i = 0; i < count; ++i) {
        TButton* b = Button(i);
        if (column) {
            b->move(left + (cross - b->width()) / 2, p);
            p += b->height() + m_btnGap;
        } else {
            b->move(p, top + (cross - b->height()) / 2);
            p += b->width() + m_btnGap;
        }
    }
    m_aligning = false;
}

void TLumDlgButtonPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    AlignControls();
}

void TLumDlgButtonPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    AlignControls();
}

bool TLumDlgButtonPanel::eventFilter(QObject* watched, QEvent* event) {
    // A button shown, hidden or resized changes the extent of the row.
    switch (event->type()) {
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
    case QEvent::Resize:
        if (qobject_cast<TButton*>(watched))
            AlignControls();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
