#pragma once
// The column customisation box: a small tool window listing the grid's hidden columns. A column is
// hidden by dragging its header into the box and shown again by dragging it back to the header.
#include <QWidget>

#include <functional>

class TdxColumnsCustomizeBox : public QWidget {
    Q_OBJECT

public:
    struct Item {
        int column;
        QString caption;
    };

    TdxColumnsCustomizeBox(const void* grid, QWidget* owner);

    void SetItems(const QList<Item>& items);
    const QList<Item>& Items() const { return m_items; }
    // Height for this many rows of items.
    void SetRowCount(int rows);
    int RowHeight() const;

    std::function<void(int column)> OnColumnDropped;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    const void* m_grid;
    QList<Item> m_items;
    int m_pressed = -1;
    QPoint m_pressPos;
};
