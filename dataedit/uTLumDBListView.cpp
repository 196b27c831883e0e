#include "uTLumDBListView.h"

#include "TApplication.h"
#include "TDataSource.h"
#include "TImageList.h"

#include <QActionGroup>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QStackedLayout>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTreeView>

namespace {

constexpr int BookmarkIdRole = Qt::UserRole + 1;
constexpr int BookmarkHintRole = Qt::UserRole + 2;
constexpr int ImageIndexRole = Qt::UserRole + 3;

bool isNavigationKey(int key) {
    // Page Up, Page Down, End, Home, Left, Up, Right, Down
    switch (key) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_End:
    case Qt::Key_Home:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        return true;
    default:
        return false;
    }
}

// The two views share the model and the selection; after the view itself handled a left click or a
// navigation key, the owner moves the data set to the selection.
template <class View> class SyncingView : public View {
public:
    explicit SyncingView(TLumDBListView* owner) : View(owner), m_owner(owner) {}

protected:
    void mousePressEvent(QMouseEvent* event) override {
        View::mousePressEvent(event);
        if (event->button() == Qt::LeftButton)
            m_owner->SyncToSelection();
    }
    void keyPressEvent(QKeyEvent* event) override {
        View::keyPressEvent(event);
        if (isNavigationKey(event->key()))
            m_owner->SyncToSelection();
    }

private:
    TLumDBListView* m_owner;
};

} // namespace

namespace {

// Items sort by caption as the user reads them: case-insensitively, by the locale.
class CaptionItem : public QStandardItem {
public:
    using QStandardItem::QStandardItem;
    bool operator<(const QStandardItem& other) const override {
        return QString::localeAwareCompare(text().toLower(), other.text().toLower()) < 0;
    }
};

} // namespace

// Routes the label editor's life to the list view: opening begins the record's edit, a committed
// text posts it, anything else cancels it.
class TLumDBListViewDelegate : public QStyledItemDelegate {
public:
    explicit TLumDBListViewDelegate(TLumDBListView* owner) : QStyledItemDelegate(owner), m_owner(owner) {
        connect(this, &QAbstractItemDelegate::closeEditor, this, [this] {
            if (!m_committed)
                m_owner->cancelLabelEdit();
            m_committed = false;
        });
    }
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (m_owner->ReadOnly() || !m_owner->Usable() || !m_owner->m_link->DataSet()->CanModify())
            return nullptr;
        m_committed = false;
        m_owner->beginLabelEdit();
        const TDataSetState state = m_owner->m_link->DataSet()->State();
        if (state != dsEdit && state != dsInsert)
            return nullptr;
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        m_committed = true;
        const auto* line = qobject_cast<QLineEdit*>(editor);
        if (line != nullptr && index.isValid())
            m_owner->endLabelEdit(index.row(), line->text());
    }

private:
    TLumDBListView* m_owner;
    mutable bool m_committed = false;
};

TLumDBListViewDataLink::TLumDBListViewDataLink(TLumDBListView* owner) : m_owner(owner) {
    SetControl(owner);
    OnDataChange = [owner](TFieldDataLink*) { owner->dataChanged(); };
}

void TLumDBListViewDataLink::DataSetChanged() {
    RecordChanged(nullptr);
}

void TLumDBListViewDataLink::RecordChanged(TField* field) {
    TFieldDataLink::RecordChanged(field);
    m_owner->recordChanged(field);
}

TLumDBListView::TLumDBListView(QWidget* parent, const QString& name)
    : QWidget(parent), m_link(std::make_unique<TLumDBListViewDataLink>(this)) {
    setObjectName(name);
    m_model = new QStandardItemModel(this);
    auto* list = new SyncingView<QListView>(this);
    list->setModel(m_model);
    list->setResizeMode(QListView::Adjust);
    list->setWordWrap(true);
    auto* table = new SyncingView<QTreeView>(this);
    table->setModel(m_model);
    table->setRootIsDecorated(false);
    table->setSelectionModel(list->selectionModel());
    m_list = list;
    m_table = table;
    for (QAbstractItemView* view : {m_list, m_table}) {
        view->setItemDelegate(new TLumDBListViewDelegate(this));
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setContextMenuPolicy(Qt::NoContextMenu);
    }
    m_stack = new QStackedLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->addWidget(m_list);
    m_stack->addWidget(m_table);
    SetMultiSelect(false);
    SetHideSelection(false);
    applyEditTriggers();

    m_popup = new QMenu(this);
    QMenu* view = m_popup->addMenu(QStringLiteral("Вид"));
    m_styleGroup = new QActionGroup(this);
    m_styleGroup->setExclusive(true);
    const char* captions[] = {"Значки", "Мелкие значки", "Список", "Таблица"};
    for (int tag = 0; tag < 4; ++tag) {
        QAction* a = view->addAction(QString::fromUtf8(captions[tag]));
        a->setCheckable(true);
        a->setData(tag);
        m_styleGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, tag] {
            SetViewStyle(TViewStyle(tag));
            if (OnChangeViewStyle)
                OnChangeViewStyle(this);
        });
    }
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_popup->popup(mapToGlobal(pos)); });
    for (QAbstractItemView* v : {m_list, m_table}) {
        v->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(v, &QWidget::customContextMenuRequested, this,
                [this, v](const QPoint& pos) { m_popup->popup(v->viewport()->mapToGlobal(pos)); });
    }
    applyViewStyle();
}

TLumDBListView::~TLumDBListView() {
    // The control goes first; the link then detaches from the data source without notifying it.
    m_destroying = true;
    delete m_stack;
    delete m_list;
    delete m_table;
    m_link->OnDataChange = nullptr;
    m_link->SetDataSource(nullptr);
}

TDataSource* TLumDBListView::DataSource() const {
    return m_link->DataSource();
}

void TLumDBListView::SetDataSource(TDataSource* source) {
    m_link->SetDataSource(source);
    disconnect(m_sourceDestroyed);
    if (source != nullptr)
        m_sourceDestroyed =
            connect(source, &QObject::destroyed, this, [this] { m_link->SetDataSource(nullptr); });
}

void TLumDBListView::SetDataField(const QString& name) {
    m_link->SetFieldName(name);
    LoadItems();
}

void TLumDBListView::SetLargeImageIndexFieldName(const QString& name) {
    if (m_largeImageField == name)
        return;
    m_largeImageField = name;
    LoadItems();
}

void TLumDBListView::SetAlowSort(bool value) {
    m_sorted = value;
    m_model->setSortRole(Qt::DisplayRole);
    if (value)
        m_model->sort(0, Qt::AscendingOrder);
}

void TLumDBListView::SetViewStyle(TViewStyle value) {
    m_viewStyle = value;
    applyViewStyle();
}

void TLumDBListView::SetReadOnly(bool value) {
    m_readOnly = value;
    applyEditTriggers();
}

void TLumDBListView::SetMultiSelect(bool value) {
    m_multiSelect = value;
    const auto mode = value ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection;
    m_list->setSelectionMode(mode);
    m_table->setSelectionMode(mode);
}

void TLumDBListView::SetHideSelection(bool value) {
    m_hideSelection = value;
    // Inactive selection drawn like the active one unless the selection is to be hidden.
    for (QAbstractItemView* v : {m_list, m_table}) {
        QPalette p = v->palette();
        const QPalette base = palette();
        p.setColor(QPalette::Inactive, QPalette::Highlight,
                   value ? base.color(QPalette::Inactive, QPalette::Base)
                         : base.color(QPalette::Active, QPalette::Highlight));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   value ? base.color(QPalette::Inactive, QPalette::Text)
                         : base.color(QPalette::Active, QPalette::HighlightedText));
        v->setPalette(p);
    }
}

void TLumDBListView::SetLargeImages(TImageList* images) {
    m_largeImages = images;
    applyViewStyle();
}

void TLumDBListView::SetSmallImages(TImageList* images) {
    m_smallImages = images;
    applyViewStyle();
}

void TLumDBListView::SetColumns(const QStringList& captions) {
    m_model->setColumnCount(std::max<int>(1, int(captions.size())));
    m_model->setHorizontalHeaderLabels(captions);
}

void TLumDBListView::applyEditTriggers() {
    const auto triggers = m_readOnly ? QAbstractItemView::NoEditTriggers
                                     : QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed;
    m_list->setEditTriggers(triggers);
    m_table->setEditTriggers(triggers);
}

void TLumDBListView::applyViewStyle() {
    for (QAction* a : m_styleGroup->actions())
        a->setChecked(a->data().toInt() == m_viewStyle);
    auto* list = static_cast<QListView*>(m_list);
    if (m_viewStyle == vsReport) {
        m_stack->setCurrentWidget(m_table);
    } else {
        const bool large = m_viewStyle == vsIcon;
        list->setViewMode(m_viewStyle == vsList ? QListView::ListMode : QListView::IconMode);
        list->setFlow(m_viewStyle == vsList ? QListView::TopToBottom : QListView::LeftToRight);
        list->setWrapping(true);
        list->setMovement(QListView::Static);
        const TImageList* images = large ? m_largeImages.data() : m_smallImages.data();
        const int side = images != nullptr ? images->Width() : (large ? 32 : 16);
        list->setIconSize(QSize(side, side));
        list->setGridSize(m_viewStyle == vsList
                              ? QSize()
                              : QSize(large ? side + 64 : side + 100, large ? side + 36 : side + 6));
        m_stack->setCurrentWidget(m_list);
    }
    // Icons follow the view's image list.
    const TImageList* images = m_viewStyle == vsIcon ? m_largeImages.data() : m_smallImages.data();
    for (int r = 0; r < m_model->rowCount(); ++r) {
        QStandardItem* item = m_model->item(r);
        const int index = item->data(ImageIndexRole).toInt();
        item->setIcon(images != nullptr && index >= 0 ? images->Icon(index) : QIcon());
    }
}

QAbstractItemView* TLumDBListView::View() const {
    return m_viewStyle == vsReport ? m_table : m_list;
}

bool TLumDBListView::Usable() const {
    const TField* field = m_link->Field();
    return m_link->DataSet() != nullptr && m_link->Active() && field != nullptr && !field->ReadOnly();
}

void TLumDBListView::BeginUpdate() {
    if (m_updateCount >= 255)
        return;
    if (m_updateCount++ == 0)
        setUpdatesEnabled(false);
}

void TLumDBListView::EndUpdate() {
    if (m_updateCount <= 0)
        return;
    if (--m_updateCount == 0)
        setUpdatesEnabled(true);
}

void TLumDBListView::clearItems() {
    BeginUpdate();
    m_model->removeRows(0, m_model->rowCount());
    EndUpdate();
}

void TLumDBListView::LoadItems() {
    clearItems();
    if (!Usable())
        return;
    TDataSet* data = m_link->DataSet();
    if (data->RecordCount() <= 0)
        return;
    const TBookmark current = data->GetBookmark();
    BeginUpdate();
    const QString imageName = m_viewStyle == vsIcon ? m_largeImageField : m_smallImageField;
    TField* image = imageName.isEmpty() ? nullptr : data->FindField(imageName);
    const TImageList* images = m_viewStyle == vsIcon ? m_largeImages.data() : m_smallImages.data();
    TField* caption = m_link->Field();
    const int columns = m_model->columnCount();
    data->DisableControls();
    try {
        for (data->First(); !data->Eof(); data->Next()) {
            QList<QStandardItem*> row;
            auto* item = new CaptionItem(caption->AsString());
            const TBookmark mark = data->GetBookmark();
            item->setData(mark.id, BookmarkIdRole);
            item->setData(mark.hint, BookmarkHintRole);
            const int imageIndex = image != nullptr ? image->AsInteger() : -1;
            item->setData(imageIndex, ImageIndexRole);
            if (images != nullptr && imageIndex >= 0)
                item->setIcon(images->Icon(imageIndex));
            item->setEditable(true);
            row << item;
            if (OnItemLoad) {
                QStringList subItems;
                bool checked = false;
                OnItemLoad(this, data, subItems, checked);
                if (m_checkboxes || checked) {
                    item->setCheckable(true);
                    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
                }
                for (const QString& s : subItems) {
                    auto* sub = new QStandardItem(s);
                    sub->setEditable(false);
                    row << sub;
                }
            }
            m_model->appendRow(row);
        }
        if (m_model->columnCount() < columns)
            m_model->setColumnCount(columns);
        if (m_sorted)
            m_model->sort(0, Qt::AscendingOrder);
        if (current.IsValid() && data->BookmarkValid(current))
            data->GotoBookmark(current);
    } catch (...) {
        data->EnableControls();
        EndUpdate();
        throw;
    }
    data->EnableControls();
    EndUpdate();
    if (AfterLoad)
        AfterLoad(this);
}

void TLumDBListView::dataChanged() {
    if (m_destroying)
        return;
    if (!Usable()) {
        // A closed data set or a missing caption field leaves no item behind with a dead bookmark.
        if (m_updateCount == 0 && m_model->rowCount() > 0)
            clearItems();
        return;
    }
    if (m_multiSelect)
        View()->selectionModel()->clearSelection();
    const TDataSetState state = m_link->DataSet()->State();
    if (state == dsEdit || state == dsInsert)
        return;
    const int selected = ItemIndex();
    if (selected >= 0 && ItemSelected(selected) && ItemIsPlaceholder(selected))
        removeRow(selected);
    if (m_updateCount == 0)
        LoadItems();
}

void TLumDBListView::recordChanged(TField* field) {
    if (m_destroying || !Usable())
        return;
    const TDataSetState state = m_link->DataSet()->State();
    if (state == dsInsert && field == nullptr) {
        const int selected = ItemIndex();
        if (selected >= 0 && ItemSelected(selected) && ItemIsPlaceholder(selected))
            return;
        appendPlaceholder();
    }
    if (state == dsEdit || state == dsInsert || m_model->rowCount() == 0)
        return;
    if (ItemIsPlaceholder(lastRow()))
        removeRow(lastRow());
}

void TLumDBListView::appendPlaceholder() {
    auto* item = new QStandardItem();
    item->setData(-1, ImageIndexRole);
    m_model->appendRow(item);
    const QModelIndex index = m_model->indexFromItem(item);
    QItemSelectionModel* selection = View()->selectionModel();
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TLumDBListView::removeRow(int row) {
    m_model->removeRow(row);
}

int TLumDBListView::lastRow() const {
    return m_model->rowCount() - 1;
}

void TLumDBListView::SyncToSelection() {
    if (!Usable())
        return;
    const int selected = ItemIndex();
    if (selected < 0 || !ItemSelected(selected))
        return;
    QStandardItem* item = itemAt(selected);
    TDataSet* data = m_link->DataSet();
    BeginUpdate();
    data->DisableControls();
    try {
        if (!ItemIsPlaceholder(selected)) {
            const TBookmark mark{item->data(BookmarkIdRole).toUInt(), item->data(BookmarkHintRole).toInt()};
            if (data->BookmarkValid(mark))
                data->GotoBookmark(mark);
        }
    } catch (...) {
        data->EnableControls();
        EndUpdate();
        TApplication::HandleCurrentException();
        return;
    }
    data->EnableControls();
    EndUpdate();
}

void TLumDBListView::beginLabelEdit() {
    if (!Usable())
        return;
    TDataSet* data = m_link->DataSet();
    if (data->State() == dsEdit || data->State() == dsInsert)
        return;
    try {
        data->Edit();
    } catch (...) {
        TApplication::HandleCurrentException();
    }
}

void TLumDBListView::endLabelEdit(int row, const QString& text) {
    QStandardItem* item = itemAt(row);
    if (item == nullptr || !Usable())
        return;
    TDataSet* data = m_link->DataSet();
    if (data->State() != dsEdit && data->State() != dsInsert)
        return;
    const QString before = item->text();
    const bool inserted = ItemIsPlaceholder(row);
    // Posting an insert removes the placeholder item, so the item is followed by index.
    const QPersistentModelIndex index(m_model->index(row, 0));
    BeginUpdate();
    try {
        m_link->Field()->SetAsString(text);
        data->Post();
        if (index.isValid())
            m_model->itemFromIndex(index)->setText(text);
    } catch (...) {
        // The record stays as it was: the edit is cancelled, the caption restored and the list
        // leaves its update bracket before the error is shown.
        try {
            data->Cancel();
        } catch (...) {
        }
        if (index.isValid())
            m_model->itemFromIndex(index)->setText(before);
        EndUpdate();
        TApplication::HandleCurrentException();
        return;
    }
    EndUpdate();
    // A posted insert has a record now: the list is rebuilt so that its item holds a bookmark.
    if (inserted)
        LoadItems();
}

void TLumDBListView::cancelLabelEdit() {
    if (!Usable())
        return;
    TDataSet* data = m_link->DataSet();
    if (data->State() == dsEdit || data->State() == dsInsert)
        data->Cancel();
}

void TLumDBListView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_loadedOnce) {
        m_loadedOnce = true;
        if (m_updateCount == 0)
            LoadItems();
    }
}

QStandardItem* TLumDBListView::itemAt(int index) const {
    return index >= 0 && index < m_model->rowCount() ? m_model->item(index) : nullptr;
}

int TLumDBListView::ItemCount() const {
    return m_model->rowCount();
}

QString TLumDBListView::ItemCaption(int index) const {
    const QStandardItem* item = itemAt(index);
    return item != nullptr ? item->text() : QString();
}

QStringList TLumDBListView::ItemSubItems(int index) const {
    QStringList result;
    if (itemAt(index) == nullptr)
        return result;
    for (int c = 1; c < m_model->columnCount(); ++c) {
        const QStandardItem* sub = m_model->item(index, c);
        if (sub != nullptr)
            result << sub->text();
    }
    return result;
}

int TLumDBListView::ItemImageIndex(int index) const {
    const QStandardItem* item = itemAt(index);
    return item != nullptr ? item->data(ImageIndexRole).toInt() : -1;
}

bool TLumDBListView::ItemChecked(int index) const {
    const QStandardItem* item = itemAt(index);
    return item != nullptr && item->isCheckable() && item->checkState() == Qt::Checked;
}

bool TLumDBListView::ItemIsPlaceholder(int index) const {
    const QStandardItem* item = itemAt(index);
    return item != nullptr && !item->data(BookmarkIdRole).isValid();
}

int TLumDBListView::ItemIndex() const {
    // The focused item when it is selected, else the first selected one.
    const QItemSelectionModel* selection = m_list->selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isRowSelected(current.row(), QModelIndex()))
        return current.row();
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

bool TLumDBListView::ItemSelected(int index) const {
    return itemAt(index) != nullptr && m_list->selectionModel()->isRowSelected(index, QModelIndex());
}

void TLumDBListView::SetItemSelected(int index, bool selected) {
    if (itemAt(index) == nullptr)
        return;
    const QModelIndex i = m_model->index(index, 0);
    m_list->selectionModel()->setCurrentIndex(
        i,
        (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) | QItemSelectionModel::Rows);
}

int TLumDBListView::SelectedCount() const {
    return int(m_list->selectionModel()->selectedRows().size());
}

void TLumDBListView::EditLabel(int index) {
    if (itemAt(index) == nullptr)
        return;
    View()->setCurrentIndex(m_model->index(index, 0));
    View()->edit(m_model->index(index, 0));
}
