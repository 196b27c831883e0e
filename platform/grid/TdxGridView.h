#pragma once
// The rows of the grid: a tree view whose group nodes are drawn as full-width bands with their
// value and count, with optional grid lines. Keys, double clicks and mouse moves are passed to
// the grid first.
//
// While the model's top rows have no children (nothing is grouped) the rows are laid out as a
// table instead: positions, hit tests, scrolling, painting and selection are worked out from the
// row number and one row height, and nothing is kept per row. The tree's own layout (an item per
// shown row) is used only for grouped rows, where it holds the groups and the opened groups' rows.
#include <QTreeView>

#include <functional>

class TdxGridView : public QTreeView {
    Q_OBJECT

public:
    explicit TdxGridView(QWidget* parent);

    void SetShowGrid(bool value);
    bool ShowGrid() const { return m_showGrid; }
    // true while the rows are laid out as a flat table.
    bool IsFlat() const { return m_flat; }

    // true: the key was handled and goes no further.
    std::function<bool(QKeyEvent* event)> OnKey;
    std::function<void()> OnDoubleClick;

    // Makes index current and its row the only one selected, and the row a later Shift selection
    // starts from (a plain selection-model change would leave that where the user last clicked).
    void SelectOnly(const QModelIndex& index);

    using QTreeView::edit;
    bool IsEditing() const { return state() == EditingState; }
    // A flat list has nothing to open (and the tree would lay out every row doing it).
    void expandAll();

    QRect visualRect(const QModelIndex& index) const override;
    QModelIndex indexAt(const QPoint& point) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    void reset() override;
    void doItemsLayout() override;
    void selectAll() override;
    void keyboardSearch(const QString& search) override;
    int sizeHintForColumn(int column) const override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int verticalOffset() const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

private:
    void updateFlat();
    int flatRowCount() const;
    int flatRowHeight() const;
    // Viewport y of a row's top, and the row at a viewport y (-1 when there is none).
    int flatRowY(int row) const;
    int flatRowAt(int y) const;
    void updateFlatScrollBars();
    void paintFlat(QPainter* painter, const QRect& area) const;
    void drawFlatRow(QPainter* painter, const QStyleOptionViewItem& option, int row,
                     const QModelIndex& hover) const;
    void drawGridLines(QPainter* painter, const QRect& row) const;
    void selectFlat(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                    QItemSelectionModel::SelectionFlags command);

    bool m_showGrid = true;
    bool m_selectingOnly = false;
    bool m_flat = false;
    bool m_inGeometries = false;
    mutable int m_rowHeight = 0; // 0: not measured yet
};
