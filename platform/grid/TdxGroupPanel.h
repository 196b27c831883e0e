#pragma once
// The strip above the grid's header that shows what the rows are grouped by. Column headers are
// dragged onto it to group and dragged back to the header to ungroup; a click on a box reverses
// that group's order.
#include <QWidget>

#include <functional>

class TdxGroupPanel : public QWidget {
    Q_OBJECT

public:
    struct Item {
        int column;
        QString caption;
        bool descending;
    };

    TdxGroupPanel(const void* grid, QWidget* parent);

    void SetItems(const QList<Item>& items);
    const QList<Item>& Items() const { return m_items; }
    // Where a drop at x lands among the boxes.
    int DropPosition(int x) const;
    QRect ItemRect(int position) const;

    std::function<void(int column, int position)> OnColumnDropped;
    std::function<void(int column)> OnItemClicked;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    int itemAt(QPoint pos) const;

    const void* m_grid;
    QList<Item> m_items;
    int m_pressed = -1;
    QPoint m_pressPos;
    int m_dropMark = -1;
};
