#pragma once
// The data-aware grid: shows a data source's rows in columns, follows the data set's current record
// and moves it, and lets the user sort, group (through the group panel), filter, search by typing,
// edit cells and choose the columns. Its column layout can be saved to and loaded from an INI file.
#include "TCustomdxTreeListControl.h"
#include "TDataLink.h"
#include "TdxColumnsCustomizeBox.h"
#include "TdxGridModel.h"

#include <QFlags>
#include <QHash>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QToolButton;
class TDataSource;
class TIniFile;
class TdxGridFooter;
class TdxGridHeader;
class TdxGridView;
class TdxGroupPanel;

class TdxDBGrid : public TCustomdxTreeListControl {
    Q_OBJECT

public:
    // What the grid may do with the data.
    enum TdxDBGridOptionDB {
        edgoCanAppend = 0x1,      // Down on the last row appends a record
        edgoCanDelete = 0x2,      // Ctrl+Delete deletes the current record (after asking)
        edgoCanInsert = 0x4,      // Insert adds a record before the focused row
        edgoLoadAllRecords = 0x8, // the grid holds every record at once
        edgoCanNavigation = 0x10, // moving in the grid moves the data set
    };
    Q_DECLARE_FLAGS(TdxDBGridOptionsDB, TdxDBGridOptionDB)
    Q_FLAG(TdxDBGridOptionsDB)
    enum TdxDBGridOptionView {
        edgoRowSelect = 0x1,        // whole rows are selected; cells are not edited
        edgoAutoWidth = 0x2,        // the columns share the grid's width
        edgoMultiSelect = 0x4,      // several rows may be selected
        edgoIncSearch = 0x8,        // typing searches the focused column
        edgoEnterShowEditor = 0x10, // Enter opens the cell editor
        edgoImmediateEditor = 0x20, // typing or a click opens the editor at once
        edgoTabs = 0x40,            // Tab moves between cells
    };
    Q_DECLARE_FLAGS(TdxDBGridOptionsView, TdxDBGridOptionView)
    Q_FLAG(TdxDBGridOptionsView)

    Q_PROPERTY(QString KeyField READ KeyField WRITE SetKeyField)
    Q_PROPERTY(TdxDBGrid::TdxDBGridOptionsDB OptionsDB READ OptionsDB WRITE SetOptionsDB)
    Q_PROPERTY(TdxDBGrid::TdxDBGridOptionsView OptionsView READ OptionsView WRITE SetOptionsView)
    Q_PROPERTY(bool ShowGroupPanel READ ShowGroupPanel WRITE SetShowGroupPanel)
    Q_PROPERTY(bool ShowGrid READ ShowGrid WRITE SetShowGrid)
    Q_PROPERTY(bool ShowHeader READ ShowHeader WRITE SetShowHeader)
    Q_PROPERTY(bool ShowSummaryFooter READ ShowSummaryFooter WRITE SetShowSummaryFooter)
    Q_PROPERTY(bool Flat READ Flat WRITE SetFlat)
    Q_PROPERTY(bool Filtering READ Filtering WRITE SetFiltering)
    Q_PROPERTY(bool DefaultFields READ DefaultFields WRITE SetDefaultFields)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)

public:
    using TNotifyEvent = std::function<void(QObject* sender)>;
    using TKeyEvent = std::function<void(QObject* sender, int& key, Qt::KeyboardModifiers shift)>;
    using TMouseMoveEvent = std::function<void(QObject* sender, Qt::KeyboardModifiers shift, int x, int y)>;

    explicit TdxDBGrid(QWidget* parent = nullptr, const QString& name = {});
    ~TdxDBGrid() override;

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* source);
    QString KeyField() const { return m_keyField; }
    void SetKeyField(const QString& value) { m_keyField = value; }

    TdxDBGridOptionsDB OptionsDB() const { return m_optionsDB; }
    void SetOptionsDB(TdxDBGridOptionsDB value);
    TdxDBGridOptionsView OptionsView() const { return m_optionsView; }
    void SetOptionsView(TdxDBGridOptionsView value);
    bool ShowGroupPanel() const { return m_showGroupPanel; }
    void SetShowGroupPanel(bool value);
    bool ShowGrid() const;
    void SetShowGrid(bool value);
    bool ShowHeader() const { return m_showHeader; }
    void SetShowHeader(bool value);
    bool ShowSummaryFooter() const { return m_showFooter; }
    void SetShowSummaryFooter(bool value);
    bool Flat() const { return m_flat; }
    void SetFlat(bool value);
    bool Filtering() const { return m_filtering; }
    void SetFiltering(bool value);
    // The grid makes one column per field of the data set itself each time it opens.
    bool DefaultFields() const { return m_defaultFields; }
    void SetDefaultFields(bool value);
    QString Hint() const { return m_hint; }
    void SetHint(const QString& value) { m_hint = value; }
    // Shows the hint at once at a screen position.
    void ShowHintAt(QPoint globalPos);

    // Column changes between these two calls are applied once, at the end.
    void BeginUpdate() { ++m_lockColumnChanges; }
    void EndUpdate();

    // Creates a column of the kind its field's type calls for, owned by owner (the grid when none).
    TdxDBGridColumn* CreateColumn(const QString& fieldName, QObject* owner = nullptr,
                                  const QString& name = {});
    // Replaces the columns by one per field of the open data set (owned by the grid).
    void CreateDefaultColumns();
    // Applies the columns' group indexes and sort orders again (after columns were set up by code).
    void RegroupColumns();

    // Sorting: a click sorts by the column alone (again: reversed); adding keeps the other columns.
    void SortByColumn(TdxDBGridColumn* column, bool add);
    QList<TdxDBGridColumn*> SortColumns() const { return m_sortColumns; }
    // Grouping: the grouped columns in level order; grouping at a position inserts a level there.
    QList<TdxDBGridColumn*> GroupColumns() const;
    void GroupByColumn(TdxDBGridColumn* column, int position);
    // Ungroups the column and shows it in the header at a visual position.
    void UngroupColumn(TdxDBGridColumn* column, int visualIndex);
    // Shows a column in the header at a visual position (moving it when shown already).
    void ShowColumnAt(TdxDBGridColumn* column, int visualIndex);
    // Columns as the header shows them, left to right (hidden and grouped ones left out).
    QList<TdxDBGridColumn*> VisibleColumns() const;
    int VisualIndex(TdxDBGridColumn* column) const;

    // Filtering: only rows whose column text equals the value (a null string removes it).
    void SetColumnFilter(TdxDBGridColumn* column, const QString& value);
    void ClearFilters();
    QString FilterText() const;
    // Opens the list of a column's values (with "(All)") under its header.
    void DropDownFilter(TdxDBGridColumn* column, QPoint globalPos);

    // Incremental search: what has been typed so far.
    QString SearchText() const { return m_searchText; }

    // The footer text of a column ("" when it has no summary).
    QString SummaryText(TdxDBGridColumn* column) const;

    // The store row of the focused data row (-1 on a group node or when empty).
    int FocusedStoreRow() const;
    QList<int> SelectedStoreRows() const;
    int SelectedCount() const { return int(SelectedStoreRows().size()); }

    // The column whose header is at a point of the grid, or none.
    TdxDBGridColumn* HeaderColumnAt(QPoint gridPos) const;

    void SaveToIniFile(TIniFile& ini, const QString& section) const;
    void LoadFromIniFile(TIniFile& ini, const QString& section);

    int TopNodeCount() const override;
    void FullExpand() override;
    void FullCollapse() override;
    int HeaderAreaHeight() const override;
    bool ColumnsCustomizing() const override;
    void ColumnsCustomize() override;
    void EndColumnsCustomizing() override;

    TdxGridModel* Model() const { return m_model; }
    TdxGridView* View() const { return m_view; }
    TdxGridHeader* Header() const { return m_header; }
    TdxGroupPanel* GroupPanel() const { return m_groupPanel; }
    TdxGridFooter* Footer() const { return m_footer; }
    TdxColumnsCustomizeBox* CustomizeBox() const { return m_customizeBox; }
    QWidget* FilterBar() const { return m_filterBar; }

    TNotifyEvent OnDblClick;
    TKeyEvent OnKeyDown;
    TMouseMoveEvent OnMouseMove;

protected:
    void ColumnChanged(TdxDBGridColumn* column, bool structural) override;
    void ColumnsListChanged() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class Link;
    friend class Link;

    // From the data link.
    void dataSetActiveChanged();
    void dataSetChanged();
    void dataSetScrolled();
    void layoutChanged();

    void rebuildColumns(); // model columns and header sections from the column list
    void rebuild();        // rows again, keeping expanded groups and the current row
    void applyHeader();    // hidden sections, widths, resize modes
    void applyWidths();
    void applyOptions();
    void syncFromDataSet();
    void currentRowChanged(const QModelIndex& current);
    void updateGroupPanel();
    void updateFooter();
    void updateFilterBar();
    void scheduleRebuild();
    bool keyPressed(QKeyEvent* event);
    bool incrementalSearch(const QString& text);
    void beginNewRecord(bool append, int position);
    bool setCell(int storeRow, int column, const QVariant& value);
    int columnIndex(const TdxDBGridColumn* column) const;
    QString captionOf(const TdxDBGridColumn* column) const;
    void applyOrder();
    void updateCustomizeBox();
    bool editingAllowed() const;
    QStringList expandedPaths() const;
    void restoreExpanded(const QStringList& paths);
    void rowsReplaced(); // the data set's rows are other rows now
    // The selected data rows as a mark per store row (empty when none is selected), and selecting
    // the marked rows again once the rows are in a new order.
    std::vector<bool> selectedStoreRowMarks() const;
    void reselectStoreRows(const std::vector<bool>& marks);

    std::unique_ptr<Link> m_link;
    TdxGridModel* m_model;
    TdxGridView* m_view;
    TdxGridHeader* m_header;
    TdxGroupPanel* m_groupPanel;
    TdxGridFooter* m_footer;
    QWidget* m_filterBar;
    QLabel* m_filterLabel;
    QPointer<TdxColumnsCustomizeBox> m_customizeBox;

    QString m_keyField;
    TdxDBGridOptionsDB m_optionsDB = TdxDBGridOptionsDB(edgoCanNavigation);
    TdxDBGridOptionsView m_optionsView;
    bool m_showGroupPanel = false;
    bool m_showHeader = true;
    bool m_showFooter = false;
    bool m_flat = false;
    bool m_filtering = false;
    bool m_defaultFields = false;
    QString m_hint;

    QList<TdxDBGridColumn*> m_sortColumns;
    QList<TdxDBGridColumn*> m_headerColumns; // the header's logical sections, as last built
    QString m_searchText;
    int m_searchColumn = -1;
    int m_rowCountSeen = -1;
    bool m_dirty = false;
    bool m_syncing = false;
    bool m_applyingWidths = false;
    bool m_inColumnsChange = false;
    bool m_rebuildPending = false;
    bool m_rowsReplaced = false; // store rows no longer stand for the rows selected before
    int m_lockColumnChanges = 0;
    bool m_columnsPending = false;
    mutable QHash<int, double> m_sums; // footer sums per column, until the rows change
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TdxDBGrid::TdxDBGridOptionsDB)
Q_DECLARE_OPERATORS_FOR_FLAGS(TdxDBGrid::TdxDBGridOptionsView)
