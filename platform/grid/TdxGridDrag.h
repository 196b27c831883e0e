#pragma once
// What a dragged grid column carries between the header, the group panel and the customisation box:
// the grid it belongs to and the column's position among the grid's columns.
#include <QByteArray>
#include <QDropEvent>
#include <QMimeData>
#include <QString>

#include <cstdint>

namespace TdxGridDrag {

inline QString MimeType() {
    return QStringLiteral("application/x-marlinde-grid-column");
}

inline QMimeData* Make(const void* grid, int column) {
    auto* data = new QMimeData;
    data->setData(MimeType(), QByteArray::number(qulonglong(reinterpret_cast<uintptr_t>(grid))) + ':' +
                                  QByteArray::number(column));
    return data;
}

// The column dragged from this grid, or -1 when the data is something else.
inline int Column(const QMimeData* data, const void* grid) {
    if (!data || !data->hasFormat(MimeType()))
        return -1;
    const QList<QByteArray> parts = data->data(MimeType()).split(':');
    if (parts.size() != 2 || parts[0].toULongLong() != qulonglong(reinterpret_cast<uintptr_t>(grid)))
        return -1;
    bool ok = false;
    const int column = parts[1].toInt(&ok);
    return ok ? column : -1;
}

// Accepts a drag or drop carrying a column of this grid and returns the column; anything else is
// ignored (-1).
inline int Accept(QDropEvent* event, const void* grid) {
    const int column = Column(event->mimeData(), grid);
    if (column >= 0)
        event->acceptProposedAction();
    else
        event->ignore();
    return column;
}

} // namespace TdxGridDrag
