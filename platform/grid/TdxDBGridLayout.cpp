// Saving and loading the grid's column layout: order, widths, visibility, sorting and grouping,
// kept in an INI section with one subsection per column.
#include "TIniFile.h"
#include "TdxDBGrid.h"
#include "TdxGridHeader.h"

#include <algorithm>

namespace {

QString columnSection(const QString& section, int i) {
    return QStringLiteral("%1.Column%2").arg(section).arg(i);
}

QString columnKey(const TdxDBGridColumn* c) {
    return c->objectName().isEmpty() ? c->FieldName() : c->objectName();
}

} // namespace

void TdxDBGrid::SaveToIniFile(TIniFile& ini, const QString& section) const {
    // Subsections of an earlier layout with more columns go first, so nothing stale is read back.
    const int before = ini.ReadInteger(section, "ColumnCount", 0);
    for (int i = ColumnCount(); i < before; ++i)
        ini.EraseSection(columnSection(section, i));
    ini.WriteInteger(section, "Version", 1);
    ini.WriteInteger(section, "ColumnCount", ColumnCount());
    for (int i = 0; i < ColumnCount(); ++i) {
        const TdxDBGridColumn* c = Columns(i);
        const QString s = columnSection(section, i);
        ini.WriteString(s, "Name", columnKey(c));
        ini.WriteInteger(s, "Position", m_header->visualIndex(i));
        ini.WriteInteger(s, "Width", c->Width());
        ini.WriteBool(s, "Visible", c->Visible());
        ini.WriteInteger(s, "SortOrder", int(c->SortOrder()));
        ini.WriteInteger(s, "SortIndex", int(m_sortColumns.indexOf(const_cast<TdxDBGridColumn*>(c))));
        ini.WriteInteger(s, "GroupIndex", c->GroupIndex());
    }
}

void TdxDBGrid::LoadFromIniFile(TIniFile& ini, const QString& section) {
    if (!ini.SectionExists(section))
        return;
    const int count = qBound(0, ini.ReadInteger(section, "ColumnCount", 0), 10000);
    struct Entry {
        TdxDBGridColumn* column;
        int position, sortIndex;
    };
    QList<Entry> entries;
    for (int i = 0; i < count; ++i) {
        const QString s = columnSection(section, i);
        const QString name = ini.ReadString(s, "Name", QString());
        TdxDBGridColumn* c = ColumnByName(name);
        if (!c)
            c = ColumnByFieldName(name);
        if (!c || std::any_of(entries.begin(), entries.end(), [&](const Entry& e) { return e.column == c; }))
            continue;
        const int width = ini.ReadInteger(s, "Width", c->Width());
        if (width > 0)
            c->m_width = qMax(width, c->MinWidth());
        c->m_visible = ini.ReadBool(s, "Visible", c->Visible());
        c->m_sortOrder = TdxSortOrder(qBound(0, ini.ReadInteger(s, "SortOrder", int(c->SortOrder())), 2));
        c->m_groupIndex = qMax(-1, ini.ReadInteger(s, "GroupIndex", c->GroupIndex()));
        entries.append({c, ini.ReadInteger(s, "Position", -1), ini.ReadInteger(s, "SortIndex", -1)});
    }
    // Sort columns in their saved rank; columns the file does not know keep theirs after them.
    QList<Entry> sorted = entries;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Entry& a, const Entry& b) { return a.sortIndex < b.sortIndex; });
    QList<TdxDBGridColumn*> sortColumns;
    for (const Entry& e : sorted) {
        if (e.column->SortOrder() != csNone)
            sortColumns.append(e.column);
    }
    for (TdxDBGridColumn* c : m_sortColumns) {
        if (!sortColumns.contains(c) && c->SortOrder() != csNone)
            sortColumns.append(c);
    }
    m_sortColumns = sortColumns;
    // Header order: place the saved positions from the left.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.position < b.position; });
    for (const Entry& e : entries) {
        if (e.position < 0 || e.position >= m_header->count())
            continue;
        const int from = m_header->visualIndex(columnIndex(e.column));
        if (from != e.position)
            m_header->moveSection(from, e.position);
    }
    RegroupColumns();
}
