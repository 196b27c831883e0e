#pragma once
// The common ground of the tree-shaped lists: nodes that can be expanded and collapsed as a whole.
#include <QWidget>

class TCustomdxTreeList : public QWidget {
    Q_OBJECT

public:
    explicit TCustomdxTreeList(QWidget* parent = nullptr) : QWidget(parent) {}

    // Nodes at the top level (groups, or rows when nothing is grouped).
    virtual int TopNodeCount() const = 0;
    // Expands every node and all its descendants.
    virtual void FullExpand() = 0;
    // Collapses every node down to the top level.
    virtual void FullCollapse() = 0;
};
