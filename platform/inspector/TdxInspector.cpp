#include "TdxInspector.h"
#include "TApplication.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

// Paints the cells through the inspector's drawing handlers and makes the in-place editor of a
// row's kind.
class TdxInspectorDelegate : public QStyledItemDelegate {
public:
    explicit TdxInspectorDelegate(TdxInspector* inspector)
        : QStyledItemDelegate(inspector), m_inspector(inspector) {}

    QPointer<QWidget> editor;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        if (TdxInspectorRow* row = rowAt(index))
            size.setHeight(row->Height());
        return size;
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        TdxInspectorRow* row = rowAt(index);
        if (!row)
            return;
        TdxInspectorDrawInfo info =
            index.column() == 0 ? m_inspector->CaptionDrawInfo(row) : m_inspector->ValueDrawInfo(row);
        painter->save();
        painter->fillRect(option.rect, info.background);
        if (option.state & QStyle::State_Selected && index.column() == 0 && !row->IsCategory()) {
            QColor mark = option.palette.highlight().color();
            mark.setAlpha(60);
            painter->fillRect(option.rect, mark);
        }
        painter->setPen(option.palette.mid().color());
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        if (index.column() == 0)
            painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->setFont(info.font);
        painter->setPen(info.fontColor);
        QRect text = option.rect.adjusted(3, 0, -3, 0);
        painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                          QFontMetrics(info.font).elidedText(info.text, Qt::ElideRight, text.width()));
        painter->restore();
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        TdxInspectorRow* row = rowAt(index);
        if (!row || index.column() != 1 || !m_inspector->CanEditRow(row))
            return nullptr;
        QWidget* made = nullptr;
        switch (row->EditorKind()) {
        case TdxInspectorRow::ekNone:
            return nullptr;
        case TdxInspectorRow::ekCheck:
            made = new QCheckBox(parent);
            made->setAutoFillBackground(true);
            break;
        default: {
            auto* line = new QLineEdit(parent);
            line->setFrame(false);
            if (row->MaxLength() > 0)
                line->setMaxLength(row->MaxLength());
            if (row->EditorKind() == TdxInspectorRow::ekInteger)
                line->setValidator(new QRegularExpressionValidator(QRegularExpression("-?\\d*"), line));
            else if (row->EditorKind() == TdxInspectorRow::ekFloat)
                line->setValidator(new QRegularExpressionValidator(
                    QRegularExpression("-?\\d*([.,]\\d*)?([eE][-+]?\\d*)?"), line));
            if (auto* textRow = qobject_cast<TdxInspectorTextRow*>(row);
                textRow && textRow->ButtonVisible()) {
                QAction* ellipsis = line->addAction(QIcon(), QLineEdit::TrailingPosition);
                ellipsis->setText(QStringLiteral("…"));
                ellipsis->setObjectName(QStringLiteral("EllipsisButton"));
                QPointer<TdxInspectorTextRow> target = textRow;
                QObject::connect(ellipsis, &QAction::triggered, line, [target] {
                    if (target)
                        SafeCall([&] { target->ClickButton(); });
                });
            }
            made = line;
        }
        }
        const_cast<TdxInspectorDelegate*>(this)->editor = made;
        return made;
    }

    void setEditorData(QWidget* widget, const QModelIndex& index) const override {
        TdxInspectorRow* row = rowAt(index);
        if (!row)
            return;
        if (auto* check = qobject_cast<QCheckBox*>(widget))
            check->setChecked(row->Checked());
        else if (auto* line = qobject_cast<QLineEdit*>(widget); line && !line->isModified())
            line->setText(row->Text());
    }

    void setModelData(QWidget* widget, QAbstractItemModel*, const QModelIndex& index) const override {
        TdxInspectorRow* row = rowAt(index);
        if (!row)
            return;
        // Writing may be refused (a value the field does not take): the message goes to the user.
        SafeCall([&] {
            if (auto* check = qobject_cast<QCheckBox*>(widget)) {
                if (check->isChecked() != row->Checked())
                    row->SetChecked(check->isChecked());
            } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
                if (line->isModified() || line->text() != row->Text())
                    row->SetText(line->text());
            }
        });
    }

    void updateEditorGeometry(QWidget* widget, const QStyleOptionViewItem& option,
                              const QModelIndex&) const override {
        widget->setGeometry(option.rect.adjusted(1, 0, 0, -1));
    }

    TdxInspectorRow* rowAt(const QModelIndex& index) const {
        return reinterpret_cast<TdxInspectorRow*>(index.data(Qt::UserRole).value<quintptr>());
    }

private:
    TdxInspector* m_inspector;
};

TdxInspector::TdxInspector(QWidget* parent) : QFrame(parent) {
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("InspectorTree"));
    m_tree->setColumnCount(2);
    m_tree->setHeaderHidden(true);
    m_tree->setFrameShape(QFrame::NoFrame);
    m_tree->setIndentation(12);
    m_tree->setUniformRowHeights(false);
    m_tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tree->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                            QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    m_tree->header()->setStretchLastSection(true);
    m_delegate = new TdxInspectorDelegate(this);
    m_tree->setItemDelegate(m_delegate);
    // However the editor closes (Enter, Escape, focus leaving), it is no longer open.
    connect(m_delegate, &QAbstractItemDelegate::closeEditor, this, [this] { m_delegate->editor = nullptr; });
    // Editing goes to the value cell whichever cell was clicked.
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item && m_tree->currentColumn() != 1)
            m_tree->setCurrentItem(item, 1);
    });
    connect(m_tree, &QTreeWidget::itemExpanded, this, [](QTreeWidgetItem* item) {
        if (auto* category = qobject_cast<TdxInspectorCategoryRow*>(rowOf(item)))
            category->m_expanded = true;
    });
    connect(m_tree, &QTreeWidget::itemCollapsed, this, [](QTreeWidgetItem* item) {
        if (auto* category = qobject_cast<TdxInspectorCategoryRow*>(rowOf(item)))
            category->m_expanded = false;
    });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tree);
    setFocusProxy(m_tree);
    SetBorderStyle(bsSingle);
}

TdxInspector::~TdxInspector() {
    // The tree's items point at the rows: drop them first.
    m_tree->clear();
}

void TdxInspector::adopt(TdxInspectorRow* row) {
    m_rows.append(row);
    rowChanged();
}

void TdxInspector::RemoveRow(TdxInspectorRow* row) {
    if (!m_rows.contains(row))
        return;
    CloseEditor(false);
    // Rows of a removed category go with it.
    for (TdxInspectorRow* child : QList<TdxInspectorRow*>(m_rows)) {
        if (child->Parent() == row)
            RemoveRow(child);
    }
    m_rows.removeOne(row);
    delete row;
    rowChanged();
}

void TdxInspector::ClearRows() {
    CloseEditor(false);
    QList<TdxInspectorRow*> rows;
    rows.swap(m_rows);
    m_tree->clear();
    qDeleteAll(rows);
    rowChanged();
}

void TdxInspector::BeginUpdate() {
    ++m_updateCount;
}

void TdxInspector::EndUpdate() {
    if (m_updateCount > 0 && --m_updateCount == 0 && m_dirty)
        rebuild();
}

void TdxInspector::rowChanged() {
    m_dirty = true;
    if (m_updateCount == 0)
        rebuild();
}

void TdxInspector::rebuild() {
    m_dirty = false;
    TdxInspectorRow* focused = FocusedRow();
    CloseEditor(true);
    m_tree->clear();
    QHash<const TdxInspectorRow*, QTreeWidgetItem*> items;
    for (TdxInspectorRow* row : m_rows) {
        QTreeWidgetItem* parentItem = row->Parent() ? items.value(row->Parent()) : nullptr;
        if (row->Parent() && !parentItem)
            continue; // its category is hidden
        if (!row->Visible())
            continue;
        auto* item = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(m_tree);
        item->setData(0, Qt::UserRole, quintptr(row));
        item->setData(1, Qt::UserRole, quintptr(row));
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (CanEditRow(row))
            flags |= Qt::ItemIsEditable;
        item->setFlags(flags);
        if (row->IsCategory())
            item->setFirstColumnSpanned(true);
        items.insert(row, item);
    }
    for (auto it = items.cbegin(); it != items.cend(); ++it) {
        if (auto* category = qobject_cast<const TdxInspectorCategoryRow*>(it.key()))
            it.value()->setExpanded(category->Expanded());
    }
    m_tree->setColumnWidth(0, DividerPos());
    if (focused && items.contains(focused))
        m_tree->setCurrentItem(items.value(focused), 1);
    else if (m_tree->topLevelItemCount() > 0)
        m_tree->setCurrentItem(m_tree->topLevelItem(0), 1);
}

QTreeWidgetItem* TdxInspector::itemOf(const TdxInspectorRow* row) const {
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        if (rowOf(*it) == row)
            return *it;
    }
    return nullptr;
}

TdxInspectorRow* TdxInspector::rowOf(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<TdxInspectorRow*>(item->data(0, Qt::UserRole).value<quintptr>()) : nullptr;
}

int TdxInspector::DividerPos() const {
    return m_divider >= 0 ? m_divider : width() / 2;
}

void TdxInspector::SetDividerPos(int value) {
    m_divider = value;
    m_tree->setColumnWidth(0, DividerPos());
}

void TdxInspector::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    m_tree->setColumnWidth(0, DividerPos());
}

void TdxInspector::SetFlat(bool value) {
    m_flat = value;
    SetBorderStyle(m_borderStyle);
}

void TdxInspector::SetPaintStyle(TdxInspectorPaintStyle value) {
    m_paintStyle = value;
    m_tree->viewport()->update();
}

void TdxInspector::SetBorderStyle(TBorderStyle value) {
    m_borderStyle = value;
    if (value == bsNone) {
        setFrameShape(QFrame::NoFrame);
    } else {
        setFrameShape(m_flat ? QFrame::Box : QFrame::StyledPanel);
        setFrameShadow(m_flat ? QFrame::Plain : QFrame::Sunken);
    }
}

int TdxInspector::DefaultRowHeight() const {
    return fontMetrics().height() + 4;
}

bool TdxInspector::RowShown(const TdxInspectorRow* row) const {
    for (const TdxInspectorRow* r = row; r; r = r->Parent()) {
        if (!r->Visible())
            return false;
        if (r != row && r->IsCategory() && !static_cast<const TdxInspectorCategoryRow*>(r)->Expanded())
            return false;
    }
    return m_rows.contains(const_cast<TdxInspectorRow*>(row));
}

int TdxInspector::RowsHeight() const {
    int sum = 0;
    for (const TdxInspectorRow* row : m_rows) {
        if (RowShown(row))
            sum += row->Height();
    }
    return sum;
}

TdxInspectorRow* TdxInspector::FocusedRow() const {
    return rowOf(m_tree->currentItem());
}

void TdxInspector::SetFocusedRow(TdxInspectorRow* row) {
    if (QTreeWidgetItem* item = itemOf(row))
        m_tree->setCurrentItem(item, 1);
}

bool TdxInspector::CanEditRow(const TdxInspectorRow* row) const {
    return row && CanEditing() && !row->ReadOnly() && row->EditorKind() != TdxInspectorRow::ekNone;
}

void TdxInspector::ShowEditor() {
    QTreeWidgetItem* item = m_tree->currentItem();
    if (!item || !CanEditRow(rowOf(item)))
        return;
    // The item's flags were set when the rows were built; editability may have changed since.
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    m_tree->setFocus();
    m_tree->editItem(item, 1);
}

bool TdxInspector::EditorOpen() const {
    return m_delegate->editor && m_delegate->editor->isVisible();
}

QWidget* TdxInspector::Editor() const {
    return m_delegate->editor;
}

void TdxInspector::CloseEditor(bool keepValue) {
    QPointer<QWidget> editor = m_delegate->editor;
    if (!editor)
        return;
    m_delegate->editor = nullptr;
    if (keepValue)
        emit m_delegate->commitData(editor);
    if (editor)
        emit m_delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
}

QRect TdxInspector::CaptionRect(const TdxInspectorRow* row) const {
    QTreeWidgetItem* item = itemOf(row);
    return item ? m_tree->visualItemRect(item)
                      .intersected(
                          QRect(0, m_tree->visualItemRect(item).top(), m_tree->columnWidth(0), row->Height()))
                      .translated(m_tree->viewport()->mapTo(this, QPoint()))
                : QRect();
}

QRect TdxInspector::ValueRect(const TdxInspectorRow* row) const {
    QTreeWidgetItem* item = itemOf(row);
    if (!item || row->IsCategory())
        return QRect();
    QRect r = m_tree->visualItemRect(item);
    r.setLeft(m_tree->columnViewportPosition(1));
    return r.translated(m_tree->viewport()->mapTo(this, QPoint()));
}

TdxInspectorDrawInfo TdxInspector::CaptionDrawInfo(TdxInspectorRow* row) const {
    TdxInspectorDrawInfo info;
    info.text = row->Caption();
    info.font = font();
    info.fontColor = palette().color(QPalette::Text);
    info.background = m_paintStyle == ipsExtended || row->IsCategory() ? palette().color(QPalette::Button)
                                                                       : palette().color(QPalette::Base);
    if (row->IsCategory())
        info.font.setBold(true);
    if (OnDrawCaption)
        OnDrawCaption(const_cast<TdxInspector*>(this), row, info);
    return info;
}

TdxInspectorDrawInfo TdxInspector::ValueDrawInfo(TdxInspectorRow* row) const {
    TdxInspectorDrawInfo info;
    info.text = row->IsCategory() ? QString() : row->Text();
    info.font = font();
    info.fontColor = palette().color(QPalette::Text);
    info.background = palette().color(QPalette::Base);
    if (OnDrawValue)
        OnDrawValue(const_cast<TdxInspector*>(this), row, info);
    return info;
}

void TdxInspector::RefreshValues() {
    m_tree->viewport()->update();
    if (m_delegate->editor) {
        // An open editor shows the row's new value unless the user has typed.
        if (QTreeWidgetItem* item = m_tree->currentItem())
            m_delegate->setEditorData(m_delegate->editor, m_tree->indexFromItem(item, 1));
    }
}
