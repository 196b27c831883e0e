// The grid's rows: following the data set, rebuilding the order, moving the data set, searching,
// filtering, editing cells and the footer.
#include "TApplication.h"
#include "TDataSource.h"
#include "TForm.h"
#include "TMessageBox.h"
#include "TdxDBGrid.h"
#include "TdxDBGridLink.h"
#include "TdxGridFooter.h"
#include "TdxGridHeader.h"
#include "TdxGridView.h"
#include "TdxGroupPanel.h"
#include "Variants.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QTimer>

void TdxDBGrid::rowsReplaced() {
    m_rowsReplaced = true;
    m_model->RowsChanged();
}

void TdxDBGrid::dataSetActiveChanged() {
    rowsReplaced();
    if (m_defaultFields && m_link->Active()) {
        CreateDefaultColumns();
    } else {
        rebuildColumns();
        rebuild();
    }
    applyOptions();
}

void TdxDBGrid::dataSetChanged() {
    if (!m_link->Active())
        return;
    if (m_dirty || m_model->StoreRowCount() != m_rowCountSeen) {
        rowsReplaced();
        // While the grid itself is moving the data set, the view is inside its own signal; the rows
        // are rebuilt once that returns.
        if (m_syncing)
            scheduleRebuild();
        else
            rebuild();
        return;
    }
    syncFromDataSet();
    m_view->viewport()->update();
}

void TdxDBGrid::dataSetScrolled() {
    syncFromDataSet();
}

void TdxDBGrid::layoutChanged() {
    // The fields were made again (a refresh): their positions may have moved.
    m_dirty = true;
    rowsReplaced();
    if (m_defaultFields) {
        CreateDefaultColumns();
        return;
    }
    rebuildColumns();
}

void TdxDBGrid::scheduleRebuild() {
    if (m_rebuildPending)
        return;
    m_rebuildPending = true;
    QTimer::singleShot(0, this, [this] {
        if (m_rebuildPending)
            rebuild();
    });
}

QStringList TdxDBGrid::expandedPaths() const {
    QStringList paths;
    std::function<void(const QModelIndex&, const QString&)> walk = [&](const QModelIndex& parent,
                                                                       const QString& path) {
        for (int r = 0; r < m_model->rowCount(parent); ++r) {
            const QModelIndex i = m_model->index(r, 0, parent);
            if (!m_model->IsGroup(i) || !m_view->isExpanded(i))
                continue;
            const QString p = path + QChar(0x1f) + i.data(TdxGridModel::GroupValueRole).toString();
            paths.append(p);
            walk(i, p);
        }
    };
    if (m_model->GroupLevelCount() > 0)
        walk({}, {});
    return paths;
}

void TdxDBGrid::restoreExpanded(const QStringList& paths) {
    if (paths.isEmpty() || m_model->GroupLevelCount() == 0)
        return;
    const QSet<QString> wanted(paths.begin(), paths.end());
    std::function<void(const QModelIndex&, const QString&)> walk = [&](const QModelIndex& parent,
                                                                       const QString& path) {
        for (int r = 0; r < m_model->rowCount(parent); ++r) {
            const QModelIndex i = m_model->index(r, 0, parent);
            if (!m_model->IsGroup(i))
                return;
            const QString p = path + QChar(0x1f) + i.data(TdxGridModel::GroupValueRole).toString();
            if (wanted.contains(p)) {
                m_view->expand(i);
                walk(i, p);
            }
        }
    };
    walk({}, {});
}

void TdxDBGrid::rebuild() {
    m_rebuildPending = false;
    // A new order or grouping of the same rows keeps the rows selected; other rows do not.
    const bool keepSelection = !m_rowsReplaced && (m_optionsView & edgoMultiSelect);
    m_rowsReplaced = false;
    const std::vector<bool> selected = keepSelection ? selectedStoreRowMarks() : std::vector<bool>();
    const QStringList expanded = expandedPaths();
    const bool wasSyncing = m_syncing;
    m_syncing = true;
    applyOrder();
    m_model->SetLoadAll(m_optionsDB & edgoLoadAllRecords);
    m_model->SetEditable(editingAllowed());
    const int insertAt = m_model->InsertRowPosition();
    m_model->Rebuild();
    TDataSet* ds = m_link->DataSet();
    if (insertAt >= 0 && ds && ds->State() == dsInsert)
        m_model->ShowInsertRow(insertAt);
    m_rowCountSeen = m_model->StoreRowCount();
    m_dirty = false;
    restoreExpanded(expanded);
    m_sums.clear();
    m_syncing = wasSyncing;
    updateGroupPanel();
    updateFooter();
    updateFilterBar();
    m_header->viewport()->update();
    syncFromDataSet();
    if (!selected.empty())
        reselectStoreRows(selected);
}

std::vector<bool> TdxDBGrid::selectedStoreRowMarks() const {
    std::vector<bool> marks;
    // By ranges: the selection model's index list would hold an entry per selected cell.
    for (const QItemSelectionRange& range : m_view->selectionModel()->selection()) {
        if (range.model() != m_model)
            continue;
        for (int r = range.top(); r <= range.bottom(); ++r) {
            const int store = m_model->StoreRow(m_model->index(r, 0, range.parent()));
            if (store < 0)
                continue;
            if (marks.empty())
                marks.resize(size_t(m_model->StoreRowCount()));
            if (size_t(store) < marks.size())
                marks[size_t(store)] = true;
        }
    }
    return marks;
}

void TdxDBGrid::reselectStoreRows(const std::vector<bool>& marks) {
    // One pass over the rows in their new order; neighbours under the same parent make one range.
    QItemSelection selection;
    QModelIndex first, last;
    const int lastColumn = m_model->columnCount() - 1;
    const auto flush = [&] {
        if (first.isValid())
            selection.append(QItemSelectionRange(first, last.siblingAtColumn(lastColumn)));
    };
    const int n = m_model->DataRowCount();
    for (int p = 0; p < n; ++p) {
        const int store = m_model->OrderedStoreRow(p);
        if (store < 0 || size_t(store) >= marks.size() || !marks[size_t(store)])
            continue;
        const QModelIndex i = m_model->IndexOfPosition(p, 0);
        if (!i.isValid())
            continue;
        if (last.isValid() && i.parent() == last.parent() && i.row() == last.row() + 1) {
            last = i;
            continue;
        }
        flush();
        first = last = i;
    }
    flush();
    if (!selection.isEmpty())
        m_view->selectionModel()->select(selection, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TdxDBGrid::syncFromDataSet() {
    if (m_syncing)
        return;
    TDataSet* ds = m_link->DataSet();
    if (!ds || !ds->Active() || ds->State() == dsInsert)
        return;
    const int row = ds->RecNo() - 1;
    if (row < 0)
        return;
    int column = m_view->currentIndex().column();
    if (column < 0) {
        const QList<TdxDBGridColumn*> visible = VisibleColumns();
        column = visible.isEmpty() ? 0 : columnIndex(visible.first());
    }
    if (m_model->StoreRow(m_view->currentIndex()) == row)
        return;
    m_syncing = true;
    const QModelIndex index = m_model->IndexOfStoreRow(row, column);
    if (index.isValid()) {
        for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
            m_view->expand(p);
        m_view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
        m_view->scrollTo(index);
    }
    m_syncing = false;
}

void TdxDBGrid::currentRowChanged(const QModelIndex& current) {
    if (m_syncing || !(m_optionsDB & edgoCanNavigation))
        return;
    TDataSet* ds = m_link->DataSet();
    const int row = m_model->StoreRow(current);
    if (!ds || !ds->Active() || row < 0 || (ds->RecNo() - 1 == row && ds->State() == dsBrowse))
        return;
    m_syncing = true;
    try {
        // Posting a new record shifts the rows after it; the target is found again by its identity.
        const uint32_t id = ds->Store().RowId(row);
        if (ds->State() == dsEdit || ds->State() == dsInsert)
            ds->CheckBrowseMode();
        const int now = ds->Store().FindRow(id, row);
        if (now >= 0)
            ds->SetRecNo(now + 1);
        m_syncing = false;
    } catch (...) {
        // A record that cannot be posted stays in edit, and the grid goes back to it.
        m_syncing = false;
        TApplication::HandleCurrentException();
        QTimer::singleShot(0, this, [this] { syncFromDataSet(); });
    }
}

int TdxDBGrid::FocusedStoreRow() const {
    return m_model->StoreRow(m_view->currentIndex());
}

QList<int> TdxDBGrid::SelectedStoreRows() const {
    QList<int> rows;
    QSet<int> seen;
    for (const QModelIndex& i : m_view->selectionModel()->selectedIndexes()) {
        const int r = m_model->StoreRow(i);
        if (r >= 0 && !seen.contains(r)) {
            seen.insert(r);
            rows.append(r);
        }
    }
    return rows;
}

bool TdxDBGrid::keyPressed(QKeyEvent* event) {
    int key = event->key();
    if (OnKeyDown) {
        bool failed = false;
        try {
            OnKeyDown(this, key, event->modifiers());
        } catch (...) {
            failed = true;
            TApplication::HandleCurrentException();
        }
        if (key == 0 || failed)
            return true;
    }
    TDataSet* ds = m_link->DataSet();
    const bool editing = editingAllowed() && !m_view->IsEditing();
    if (editing && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        // Enter posts a changed record, or opens the editor when that is asked for.
        if (ds && (ds->State() == dsEdit || ds->State() == dsInsert) && ds->Modified()) {
            SafeCall([&] { ds->Post(); });
            return true;
        }
        if (m_optionsView & edgoEnterShowEditor) {
            m_view->edit(m_view->currentIndex());
            return true;
        }
    }
    if (editing && key == Qt::Key_Escape && ds && (ds->State() == dsEdit || ds->State() == dsInsert)) {
        SafeCall([&] { ds->Cancel(); });
        return true;
    }
    const bool canAdd = editingAllowed() && ds && ds->Active() && m_model->GroupLevelCount() == 0 &&
                        ds->State() == dsBrowse && !m_view->IsEditing();
    if (canAdd && key == Qt::Key_Insert && event->modifiers() == Qt::NoModifier &&
        (m_optionsDB & edgoCanInsert)) {
        // A new record before the focused row.
        const int position = qMax(0, m_model->PositionOfStoreRow(FocusedStoreRow()));
        SafeCall([&] { beginNewRecord(false, position); });
        return true;
    }
    if (canAdd && key == Qt::Key_Down && event->modifiers() == Qt::NoModifier &&
        (m_optionsDB & edgoCanAppend) &&
        (m_model->DataRowCount() == 0 ||
         m_model->PositionOfStoreRow(FocusedStoreRow()) == m_model->DataRowCount() - 1)) {
        // Down on the last row appends a record.
        SafeCall([&] { beginNewRecord(true, m_model->DataRowCount()); });
        return true;
    }
    if (key == Qt::Key_Delete && (event->modifiers() & Qt::ControlModifier) &&
        (m_optionsDB & edgoCanDelete) && ds && ds->Active() && ds->CanModify() && !ds->IsEmpty() &&
        !m_link->ReadOnly()) {
        // Deleting a record is asked for first; the data set writes the delete.
        SafeCall([&] {
            if (MessageDlg(tr("Delete record?"), mtConfirmation, mbOK | mbCancel) == mrOk)
                ds->Delete();
        });
        return true;
    }
    const bool typingEdits = editingAllowed() && (m_optionsView & edgoImmediateEditor);
    if ((m_optionsView & edgoIncSearch) && !typingEdits) {
        const QString text = event->text();
        if (key == Qt::Key_Backspace && !m_searchText.isEmpty()) {
            const QString shorter = m_searchText.chopped(1);
            if (shorter.isEmpty())
                m_searchText.clear();
            else
                incrementalSearch(shorter);
            return true;
        }
        if (!text.isEmpty() && text[0].isPrint() &&
            !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            incrementalSearch(m_searchText + text);
            return true;
        }
    }
    m_searchText.clear();
    return false;
}

bool TdxDBGrid::incrementalSearch(const QString& text) {
    int column = m_view->currentIndex().column();
    if (column < 0 || m_header->isSectionHidden(column)) {
        const QList<TdxDBGridColumn*> visible = VisibleColumns();
        if (visible.isEmpty())
            return false;
        column = columnIndex(visible.first());
    }
    if (m_searchColumn != column)
        m_searchText.clear(), m_searchColumn = column;
    const int n = m_model->DataRowCount();
    const int current = m_model->PositionOfStoreRow(FocusedStoreRow());
    const int start = current < 0 ? 0 : current;
    for (int i = 0; i < n; ++i) {
        const int position = (start + i) % n;
        if (!m_model->CellText(m_model->OrderedStoreRow(position), column)
                 .startsWith(text, Qt::CaseInsensitive))
            continue;
        m_searchText = text;
        const QModelIndex index = m_model->IndexOfPosition(position, column);
        for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
            m_view->expand(p);
        m_view->SelectOnly(index);
        m_view->scrollTo(index);
        return true;
    }
    return false;
}

bool TdxDBGrid::setCell(int storeRow, int column, const QVariant& value) {
    TDataSet* ds = m_link->DataSet();
    TdxDBGridColumn* c = Columns(column);
    if (!ds || !c)
        return false;
    try {
        if (storeRow < 0) {
            if (ds->State() != dsInsert)
                return false;
        } else if (ds->RecNo() - 1 != storeRow || ds->State() == dsInsert) {
            m_syncing = true;
            ds->SetRecNo(storeRow + 1);
            m_syncing = false;
        }
        if (!m_link->Edit())
            return false;
        TField* f = ds->FieldByName(c->FieldName());
        // An emptied cell of a non-text column is NULL.
        const bool empty = !value.isValid() || (value.typeId() == QMetaType::QString &&
                                                value.toString().isEmpty() && c->Kind() != ckText);
        f->SetValue(empty ? NullVariant() : value);
        m_view->viewport()->update();
        return true;
    } catch (...) {
        m_syncing = false;
        TApplication::HandleCurrentException();
        return false;
    }
}

void TdxDBGrid::SetColumnFilter(TdxDBGridColumn* column, const QString& value) {
    const int i = columnIndex(column);
    if (i < 0)
        return;
    m_model->SetFilter(i, value);
    rebuild();
}

void TdxDBGrid::ClearFilters() {
    m_model->ClearFilters();
    rebuild();
}

QString TdxDBGrid::FilterText() const {
    QStringList parts;
    const QMap<int, QString>& filters = m_model->Filters();
    for (auto it = filters.cbegin(); it != filters.cend(); ++it) {
        if (TdxDBGridColumn* c = Columns(it.key()))
            parts.append(QStringLiteral("%1 = '%2'").arg(captionOf(c), it.value()));
    }
    return parts.join(QStringLiteral(" and "));
}

void TdxDBGrid::DropDownFilter(TdxDBGridColumn* column, QPoint globalPos) {
    const int i = columnIndex(column);
    if (i < 0)
        return;
    auto* menu = new QMenu(this);
    menu->setObjectName("FilterMenu");
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QString all = tr("(All)");
    menu->addAction(all, this, [this, column] { SafeCall([&] { SetColumnFilter(column, QString()); }); });
    constexpr int kLimit = 1000;
    for (const QString& value : m_model->DistinctTexts(i, kLimit)) {
        const QString shown = value.isEmpty() ? tr("(Blanks)") : value;
        QAction* a = menu->addAction(shown, this, [this, column, value] {
            SafeCall([&] { SetColumnFilter(column, value.isNull() ? QString("") : value); });
        });
        a->setCheckable(true);
        a->setChecked(m_model->Filters().value(i, QString()) == value && m_model->Filters().contains(i));
    }
    menu->popup(globalPos);
}

void TdxDBGrid::updateFilterBar() {
    const QString text = FilterText();
    m_filterLabel->setText(text);
    m_filterBar->setVisible(!text.isEmpty());
}

void TdxDBGrid::updateGroupPanel() {
    QList<TdxGroupPanel::Item> items;
    for (TdxDBGridColumn* c : GroupColumns())
        items.append({columnIndex(c), captionOf(c), c->SortOrder() == csDown});
    m_groupPanel->SetItems(items);
    m_view->setRootIsDecorated(false);
}

void TdxDBGrid::updateFooter() {
    m_footer->update();
}

QString TdxDBGrid::SummaryText(TdxDBGridColumn* column) const {
    const int i = columnIndex(column);
    if (i < 0)
        return {};
    const QString format = column->SummaryFooterFormat();
    const TdxSummaryType type = column->SummaryFooterType();
    if ((type == cstSum || type == cstAvg) && !m_sums.contains(i))
        m_sums.insert(i, m_model->Sum(i));
    switch (column->SummaryFooterType()) {
    case cstNone:
        return {};
    case cstCount:
        return format.isEmpty() ? QString::number(m_model->DataRowCount())
                                : TdxDBGridColumn::FormatFloat(format, m_model->DataRowCount());
    case cstSum:
        return TdxDBGridColumn::FormatFloat(format.isEmpty() ? column->DisplayFormat() : format,
                                            m_sums.value(i));
    case cstAvg: {
        const int n = m_model->DataRowCount();
        return n == 0 ? QString()
                      : TdxDBGridColumn::FormatFloat(format.isEmpty() ? column->DisplayFormat() : format,
                                                     m_sums.value(i) / n);
    }
    }
    return {};
}

void TdxDBGrid::beginNewRecord(bool append, int position) {
    TDataSet* ds = m_link->DataSet();
    const int column = qMax(0, m_view->currentIndex().column());
    if (append)
        ds->Append();
    else
        ds->Insert();
    if (ds->State() != dsInsert)
        return;
    m_syncing = true;
    m_model->ShowInsertRow(position);
    const QModelIndex index = m_model->index(m_model->InsertRowPosition(), column);
    m_view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
    m_view->scrollTo(index);
    m_syncing = false;
}
