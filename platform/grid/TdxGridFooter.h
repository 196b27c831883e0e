#pragma once
// The summary row under the grid: one cell per visible column, lined up with the header's sections.
#include <QWidget>

#include <functional>

class QHeaderView;

class TdxGridFooter : public QWidget {
    Q_OBJECT

public:
    TdxGridFooter(QHeaderView* header, QWidget* parent);

    // The text of a column's footer cell, and whether it is a number (right-aligned).
    std::function<QString(int logical)> TextOf;
    std::function<bool(int logical)> IsNumber;
    // Left edge of the header's first section within this widget (the view's frame and margins).
    void SetOffset(int x);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QHeaderView* m_header;
    int m_offset = 0;
};
