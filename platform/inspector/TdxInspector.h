#pragma once
// A property inspector: rows of a caption and a value, the captions left of a divider, category
// rows that collapse the rows below them, hidden rows, and an in-place editor for the focused row.
// The drawing handlers may change the colours and font of each caption and value cell.
#include "TdxInspectorRows.h"
#include <QColor>
#include <QFont>
#include <QFrame>
#include <QList>
#include <QPointer>
#include <functional>
#include <memory>

class QTreeWidget;
class QTreeWidgetItem;
class TdxInspectorDelegate;

// What a drawing handler may change before a cell is painted.
struct TdxInspectorDrawInfo {
    QString text;
    QColor background;
    QColor fontColor;
    QFont font;
};

class TdxInspector : public QFrame {
    Q_OBJECT
public:
    enum TdxInspectorPaintStyle { ipsStandard, ipsExtended };
    Q_ENUM(TdxInspectorPaintStyle)
    enum TBorderStyle { bsNone, bsSingle };
    Q_ENUM(TBorderStyle)

private:
    Q_PROPERTY(int DividerPos READ DividerPos WRITE SetDividerPos)
    Q_PROPERTY(bool Flat READ Flat WRITE SetFlat)
    Q_PROPERTY(TdxInspector::TdxInspectorPaintStyle PaintStyle READ PaintStyle WRITE SetPaintStyle)
    Q_PROPERTY(TdxInspector::TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)

public:
    using TDrawEvent =
        std::function<void(TdxInspector* sender, TdxInspectorRow* row, TdxInspectorDrawInfo& info)>;

    explicit TdxInspector(QWidget* parent = nullptr);
    ~TdxInspector() override;

    // Rows are owned by the inspector; parentRow must be one of its category rows (or none).
    template <class Row> Row* AddRow(TdxInspectorRow* parentRow = nullptr) {
        auto* row = new Row(this, parentRow);
        adopt(row);
        return row;
    }
    int Count() const { return int(m_rows.size()); }
    TdxInspectorRow* Rows(int index) const { return m_rows.value(index); }
    void RemoveRow(TdxInspectorRow* row);
    void ClearRows();

    // Changes of rows between these calls are shown once, at the end.
    void BeginUpdate();
    void EndUpdate();

    int DividerPos() const;
    void SetDividerPos(int value);
    bool Flat() const { return m_flat; }
    void SetFlat(bool value);
    TdxInspectorPaintStyle PaintStyle() const { return m_paintStyle; }
    void SetPaintStyle(TdxInspectorPaintStyle value);
    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TBorderStyle value);

    // The height of a row that does not set its own.
    int DefaultRowHeight() const;
    // The heights of the rows shown (visible, not inside a collapsed category) added up.
    int RowsHeight() const;
    // A row is shown when it and every category above it is visible; collapsed categories hide
    // their rows too.
    bool RowShown(const TdxInspectorRow* row) const;

    TdxInspectorRow* FocusedRow() const;
    void SetFocusedRow(TdxInspectorRow* row);
    // Whether the rows may be edited at all.
    virtual bool CanEditing() const { return true; }
    bool CanEditRow(const TdxInspectorRow* row) const;
    // Opens the in-place editor of the focused row (when it can be edited).
    void ShowEditor();
    bool EditorOpen() const;
    QWidget* Editor() const;
    // Closes the editor; keepValue writes what was typed into the row first.
    void CloseEditor(bool keepValue);

    // The rectangles of a row's caption and value cells, in the inspector's coordinates.
    QRect CaptionRect(const TdxInspectorRow* row) const;
    QRect ValueRect(const TdxInspectorRow* row) const;
    // What painting the cell would use, after the drawing handlers.
    TdxInspectorDrawInfo CaptionDrawInfo(TdxInspectorRow* row) const;
    TdxInspectorDrawInfo ValueDrawInfo(TdxInspectorRow* row) const;

    TDrawEvent OnDrawCaption;
    TDrawEvent OnDrawValue;

    // Repaints the values (the rows' texts changed).
    void RefreshValues();

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Rows were added, removed or changed: shown again (at the end of an update).
    void rowChanged();

private:
    friend class TdxInspectorRow;
    friend class TdxInspectorDelegate;
    void adopt(TdxInspectorRow* row);
    void rebuild();
    QTreeWidgetItem* itemOf(const TdxInspectorRow* row) const;
    static TdxInspectorRow* rowOf(const QTreeWidgetItem* item);

    QList<TdxInspectorRow*> m_rows;
    QTreeWidget* m_tree;
    TdxInspectorDelegate* m_delegate;
    int m_updateCount = 0;
    bool m_dirty = false;
    bool m_flat = false;
    int m_divider = -1; // -1: half of the width
    TdxInspectorPaintStyle m_paintStyle = ipsStandard;
    TBorderStyle m_borderStyle = bsSingle;
};
