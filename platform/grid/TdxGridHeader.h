#pragma once
// The grid's column header: a click sorts (Shift+click adds a sort column, a second click reverses),
// the sort direction and rank are drawn in the section, a filter button opens the column's filter
// list, and a header is dragged to move a column, to the group panel to group by it, or to the
// customisation box to hide it.
#include <QHeaderView>

#include <functional>

class TdxGridHeader : public QHeaderView {
    Q_OBJECT

public:
    struct SectionState {
        int sortRank = 0; // 1-based among several sort columns, 0 when the column is not sorted
        bool descending = false;
        bool filterable = false;
        bool filtered = false;
    };

    TdxGridHeader(const void* grid, QWidget* parent);

    std::function<SectionState(int logical)> StateOf;
    std::function<void(int logical, bool addToSort)> OnSortClick;
    std::function<void(int logical, QPoint globalPos)> OnFilterClick;
    // A column dropped on the header at a visual position (from this header, the group panel or
    // the customisation box).
    std::function<void(int logical, int visualIndex)> OnColumnDropped;

    // The visual position a drop at x (viewport coordinates) lands on.
    int DropVisualIndex(int x) const;
    // Area of the filter button within a section rectangle.
    static QRect FilterButtonRect(const QRect& section);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logical) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool nearSectionEdge(int x) const;

    const void* m_grid;
    int m_pressed = -1;
    QPoint m_pressPos;
    bool m_resizing = false;
};
