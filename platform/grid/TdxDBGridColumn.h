#pragma once
// One column of the data-aware grid: the field it shows, how it looks, and how it takes part in
// sorting, grouping, filtering and the footer.
#include "TColumnInfo.h"
#include "TImageList.h"

#include <QObject>
#include <QPointer>
#include <QString>

class TCustomdxTreeListControl;

enum TdxColumnKind { ckText, ckNumber, ckCurrency, ckDate, ckCheck, ckImage };
enum TdxSortOrder { csNone, csUp, csDown };
enum TdxSummaryType { cstNone, cstCount, cstSum, cstAvg };

class TdxDBGridColumn : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString FieldName READ FieldName WRITE SetFieldName)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(int MinWidth READ MinWidth WRITE SetMinWidth)
    Q_PROPERTY(bool Sizing READ Sizing WRITE SetSizing)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(int SortOrder READ SortOrder WRITE SetSortOrderInt)
    Q_PROPERTY(int GroupIndex READ GroupIndex WRITE SetGroupIndex)
    Q_PROPERTY(QString DisplayFormat READ DisplayFormat WRITE SetDisplayFormat)
    Q_PROPERTY(int SummaryFooterType READ SummaryFooterType WRITE SetSummaryFooterTypeInt)
    Q_PROPERTY(QString SummaryFooterFormat READ SummaryFooterFormat WRITE SetSummaryFooterFormat)
    Q_PROPERTY(bool DisableFilter READ DisableFilter WRITE SetDisableFilter)

public:
    // owner: who frees the column (a form, or the grid itself); grid: where it is shown.
    TdxDBGridColumn(TCustomdxTreeListControl* grid, TdxColumnKind kind, QObject* owner = nullptr,
                    const QString& name = {});
    ~TdxDBGridColumn() override;

    TCustomdxTreeListControl* Grid() const { return m_grid; }
    TdxColumnKind Kind() const { return m_kind; }
    // The kind a field of this type is shown with.
    static TdxColumnKind KindForField(TFieldType type);

    QString FieldName() const { return m_fieldName; }
    void SetFieldName(const QString& value);
    // The header text; the field's display label when none is set.
    QString Caption() const { return m_caption; }
    void SetCaption(const QString& value);
    int Width() const { return m_width; }
    void SetWidth(int value);
    int MinWidth() const { return m_minWidth; }
    void SetMinWidth(int value);
    // False: the user cannot resize the column, and automatic width leaves it as it is.
    bool Sizing() const { return m_sizing; }
    void SetSizing(bool value);
    bool Visible() const { return m_visible; }
    void SetVisible(bool value);
    TdxSortOrder SortOrder() const { return m_sortOrder; }
    void SetSortOrder(TdxSortOrder value);
    void SetSortOrderInt(int value) { SetSortOrder(TdxSortOrder(qBound(0, value, 2))); }
    // -1: not grouped; else the group level (0 outermost).
    int GroupIndex() const { return m_groupIndex; }
    void SetGroupIndex(int value);
    QString DisplayFormat() const { return m_displayFormat; }
    void SetDisplayFormat(const QString& value);
    TdxSummaryType SummaryFooterType() const { return m_summaryType; }
    void SetSummaryFooterType(TdxSummaryType value);
    void SetSummaryFooterTypeInt(int value) { SetSummaryFooterType(TdxSummaryType(qBound(0, value, 3))); }
    QString SummaryFooterFormat() const { return m_summaryFormat; }
    void SetSummaryFooterFormat(const QString& value);
    bool DisableFilter() const { return m_disableFilter; }
    void SetDisableFilter(bool value);
    // Image columns: the picture of image n is shown for the value n.
    TImageList* Images() const { return m_images; }
    void SetImages(TImageList* images);

    // Position among the grid's columns.
    int Index() const;

    // Formats a number with a format such as ",0.00" (thousands separated, two decimals) or "0".
    static QString FormatFloat(const QString& format, double value);

private:
    void changed(bool structural);

    TCustomdxTreeListControl* m_grid; // cleared by the grid when it goes first
    TdxColumnKind m_kind;
    QString m_fieldName;
    QString m_caption;
    int m_width = 64;
    int m_minWidth = 4;
    bool m_sizing = true;
    bool m_visible = true;
    TdxSortOrder m_sortOrder = csNone;
    int m_groupIndex = -1;
    QString m_displayFormat;
    TdxSummaryType m_summaryType = cstNone;
    QString m_summaryFormat;
    bool m_disableFilter = false;
    QPointer<TImageList> m_images;

    friend class TCustomdxTreeListControl;
    friend class TdxDBGrid;
};
