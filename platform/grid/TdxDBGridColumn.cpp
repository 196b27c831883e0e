#include "TdxDBGridColumn.h"

#include "TCustomdxTreeListControl.h"
#include "TImageList.h"

#include <algorithm>
#include <cmath>

TdxDBGridColumn::TdxDBGridColumn(TCustomdxTreeListControl* grid, TdxColumnKind kind, QObject* owner,
                                 const QString& name)
    : QObject(owner ? owner : grid), m_grid(grid), m_kind(kind) {
    setObjectName(name);
    if (kind == ckNumber || kind == ckCurrency)
        m_width = 80;
    if (kind == ckCheck || kind == ckImage)
        m_width = 40;
    if (m_grid)
        m_grid->addColumn(this);
}

TdxDBGridColumn::~TdxDBGridColumn() {
    if (m_grid)
        m_grid->removeColumn(this);
}

TdxColumnKind TdxDBGridColumn::KindForField(TFieldType type) {
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftFloat:
    case ftBCD:
    case ftFMTBcd:
    case ftAutoInc:
    case ftLargeint:
        return ckNumber;
    case ftCurrency:
        return ckCurrency;
    case ftDate:
    case ftTime:
    case ftDateTime:
        return ckDate;
    case ftBoolean:
        return ckCheck;
    default:
        return ckText;
    }
}

int TdxDBGridColumn::Index() const {
    if (!m_grid)
        return -1;
    for (int i = 0; i < m_grid->ColumnCount(); ++i) {
        if (m_grid->Columns(i) == this)
            return i;
    }
    return -1;
}

void TdxDBGridColumn::changed(bool structural) {
    if (m_grid)
        m_grid->ColumnChanged(this, structural);
}

void TdxDBGridColumn::SetFieldName(const QString& value) {
    if (m_fieldName == value)
        return;
    m_fieldName = value;
    changed(true);
}

void TdxDBGridColumn::SetCaption(const QString& value) {
    m_caption = value;
    changed(false);
}

void TdxDBGridColumn::SetWidth(int value) {
    value = qMax(value, m_minWidth);
    if (m_width == value)
        return;
    m_width = value;
    changed(false);
}

void TdxDBGridColumn::SetMinWidth(int value) {
    m_minWidth = qMax(0, value);
    if (m_width < m_minWidth)
        m_width = m_minWidth;
    changed(false);
}

void TdxDBGridColumn::SetSizing(bool value) {
    m_sizing = value;
    changed(false);
}

void TdxDBGridColumn::SetVisible(bool value) {
    if (m_visible == value)
        return;
    m_visible = value;
    changed(false);
}

void TdxDBGridColumn::SetSortOrder(TdxSortOrder value) {
    if (m_sortOrder == value)
        return;
    m_sortOrder = value;
    changed(true);
}

void TdxDBGridColumn::SetGroupIndex(int value) {
    value = qMax(-1, value);
    if (m_groupIndex == value)
        return;
    m_groupIndex = value;
    changed(true);
}

void TdxDBGridColumn::SetDisplayFormat(const QString& value) {
    m_displayFormat = value;
    changed(false);
}

void TdxDBGridColumn::SetSummaryFooterType(TdxSummaryType value) {
    m_summaryType = value;
    changed(false);
}

void TdxDBGridColumn::SetSummaryFooterFormat(const QString& value) {
    m_summaryFormat = value;
    changed(false);
}

void TdxDBGridColumn::SetDisableFilter(bool value) {
    m_disableFilter = value;
    changed(false);
}

void TdxDBGridColumn::SetImages(TImageList* images) {
    m_images = images;
    changed(false);
}

QString TdxDBGridColumn::FormatFloat(const QString& format, double value) {
    if (format.isEmpty())
        return QString::number(value, 'g', 15);
    const qsizetype point = format.indexOf('.');
    int decimals = 0;
    if (point >= 0) {
        for (qsizetype i = point + 1; i < format.size() && (format[i] == '0' || format[i] == '#'); ++i)
            ++decimals;
    }
    const bool thousands = format.contains(',');
    QString text = QString::number(std::fabs(value), 'f', decimals);
    const bool negative =
        value < 0 && std::any_of(text.begin(), text.end(), [](QChar c) { return c >= '1' && c <= '9'; });
    if (thousands) {
        qsizetype end = text.indexOf('.');
        if (end < 0)
            end = text.size();
        for (qsizetype i = end - 3; i > 0; i -= 3)
            text.insert(i, ',');
    }
    return negative ? "-" + text : text;
}
