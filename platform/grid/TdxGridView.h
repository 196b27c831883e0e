#pragma once
// The rows of the grid: a tree view whose group nodes are drawn as full-width bands with their
// value and count, with optional grid lines. Keys, double clicks and mouse moves are passed to
// the grid first.
#include <QTreeView>

#include <functional>

class TdxGridView : public QTreeView {
    Q_OBJECT

public:
    explicit TdxGridView(QWidget* parent);

    void SetShowGrid(bool value);
    bool ShowGrid() const { return m_showGrid; }

    // true: the key was handled and goes no further.
    std::function<bool(QKeyEvent* event)> OnKey;
    std::function<void()> OnDoubleClick;

    // Makes index current and its row the only one selected, and the row a later Shift selection
    // starts from (a plain selection-model change would leave that where the user last clicked).
    void SelectOnly(const QModelIndex& index);

    using QTreeView::edit;
    bool IsEditing() const { return state() == EditingState; }

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;

private:
    bool m_showGrid = true;
    bool m_selectingOnly = false;
};
