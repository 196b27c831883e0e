#include "TDataSet.h"

#include "EDatabaseError.h"
#include "TDataSource.h"
#include "Variants.h"

#include <map>

TDataSet::TDataSet(QObject* owner) : QObject(owner) {}

TDataSet::~TDataSet() {
    // Detaching tells the data links, whose handlers may raise: nothing may leave a destructor.
    const QList<TDataSource*> sources = m_sources;
    for (TDataSource* s : sources) {
        try {
            s->SetDataSet(nullptr);
        } catch (const std::exception& e) {
            qWarning("Detaching %s: %s", qPrintable(objectName()), e.what());
        }
    }
}

void TDataSet::CheckActive() const {
    if (!Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void TDataSet::CheckCanModify() const {
    if (!CanModify())
        throw EDatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
}

void TDataSet::SetActive(bool value) {
    if (value)
        Open();
    else
        Close();
}

void TDataSet::CreateFields() {
    // A field of the same name is kept (with what the program set on it), so pointers to it stay good.
    std::map<QString, TField*> old;
    for (TField* f : m_fields.Items())
        old.emplace(f->FieldName().toLower(), f);
    TFields fresh;
    for (int c = 0; c < m_store.ColumnCount(); ++c) {
        const TColumnInfo& column = m_store.Columns()[c];
        auto it = old.find(column.name.toLower());
        if (it != old.end() && it->second->Column().kind == column.kind) {
            it->second->Rebind(c, column);
            fresh.Add(it->second);
            old.erase(it);
        } else {
            auto* f = new TField(this, c, column);
            if (it != old.end())
                f->TakeSettings(*it->second);
            fresh.Add(f);
        }
    }
    m_fields = fresh;
    for (auto& [name, f] : old)
        delete f;
}

void TDataSet::Open() {
    if (Active())
        return;
    doEvent(BeforeOpen);
    m_store.ClearRows();
    InternalOpen();
    CreateFields();
    m_current = m_store.RowCount() > 0 ? 0 : -1;
    m_bof = true;
    m_eof = m_store.RowCount() == 0;
    m_modified = false;
    setState(dsBrowse);
    doEvent(AfterOpen);
    doEvent(AfterScroll);
}

void TDataSet::Close() {
    if (!Active())
        return;
    doEvent(BeforeClose);
    m_buffer.clear();
    m_changed.clear();
    m_modified = false;
    InternalClose();
    m_store.ClearRows();
    m_current = -1;
    m_bof = m_eof = true;
    setState(dsInactive);
    doEvent(AfterClose);
}

void TDataSet::setState(TDataSetState state) {
    if (m_state == state)
        return;
    m_state = state;
    DataEvent(deUpdateState);
}

bool TDataSet::IsEmpty() const {
    return m_store.RowCount() == 0 && m_state != dsInsert;
}

int TDataSet::RecordCount() const {
    return Active() ? m_store.RowCount() : 0;
}

int TDataSet::RecNo() const {
    if (!Active() || m_state == dsInsert || m_current < 0)
        return 0;
    return m_current + 1;
}

void TDataSet::SetRecNo(int value) {
    CheckActive();
    CheckBrowseMode();
    if (value < 1 || value > m_store.RowCount() || value - 1 == m_current)
        return;
    moveTo(value - 1);
}

void TDataSet::moveTo(int row) {
    doEvent(BeforeScroll);
    m_current = row;
    m_bof = m_eof = false;
    DataEvent(deDataSetScroll);
    doEvent(AfterScroll);
}

void TDataSet::First() {
    CheckActive();
    CheckBrowseMode();
    doEvent(BeforeScroll);
    m_current = m_store.RowCount() > 0 ? 0 : -1;
    m_bof = true;
    m_eof = m_store.RowCount() == 0;
    DataEvent(deDataSetChange);
    doEvent(AfterScroll);
}

void TDataSet::Last() {
    CheckActive();
    CheckBrowseMode();
    doEvent(BeforeScroll);
    m_current = m_store.RowCount() - 1;
    m_eof = true;
    m_bof = m_store.RowCount() == 0;
    DataEvent(deDataSetChange);
    doEvent(AfterScroll);
}

int TDataSet::MoveBy(int distance) {
    CheckActive();
    CheckBrowseMode();
    if (distance == 0 || m_store.RowCount() == 0) {
        if (distance > 0)
            m_eof = true;
        else if (distance < 0)
            m_bof = true;
        return 0;
    }
    const int target = qBound(0, m_current + distance, m_store.RowCount() - 1);
    const int moved = target - m_current;
    if (moved != 0) {
        doEvent(BeforeScroll);
        m_current = target;
        m_bof = m_eof = false;
    }
    // Asking to go past the end (or the start) sets EOF (or BOF) and stays on the last record.
    if (moved != distance) {
        if (distance > 0)
            m_eof = true;
        else
            m_bof = true;
    }
    if (moved != 0) {
        DataEvent(deDataSetScroll);
        doEvent(AfterScroll);
    }
    return moved;
}

void TDataSet::Next() {
    MoveBy(1);
}

void TDataSet::Prior() {
    MoveBy(-1);
}

QVariant TDataSet::FieldValue(int index) const {
    if (m_state == dsEdit || m_state == dsInsert)
        return m_buffer.value(index);
    if (m_current < 0 || m_current >= m_store.RowCount())
        return QVariant();
    return m_store.Value(m_current, index);
}

QString TDataSet::FieldText(int index) const {
    if (m_state == dsEdit || m_state == dsInsert)
        return TField::VariantText(m_buffer.value(index));
    if (m_current < 0 || m_current >= m_store.RowCount())
        return QString();
    return m_store.Text(m_current, index);
}

bool TDataSet::FieldIsNull(int index) const {
    if (m_state == dsEdit || m_state == dsInsert)
        return IsNullOrUnassigned(m_buffer.value(index));
    if (m_current < 0 || m_current >= m_store.RowCount())
        return true;
    return m_store.IsNull(m_current, index);
}

void TDataSet::SetFieldValue(int index, const QVariant& value) {
    TField* field = m_fields[index];
    if (m_state != dsEdit && m_state != dsInsert)
        throw EDatabaseError(QStringLiteral("Dataset not in edit or insert mode"));
    if (field->ReadOnly())
        throw EDatabaseError(QStringLiteral("Field '%1' cannot be modified").arg(field->FieldName()));
    m_buffer[index] = field->Coerce(value);
    m_changed[size_t(index)] = true;
    m_modified = true;
    DataEvent(deFieldChange, field);
}

void TDataSet::beginInsert(bool append) {
    CheckActive();
    CheckBrowseMode();
    CheckCanModify();
    doEvent(BeforeInsert);
    doEvent(BeforeScroll);
    if (append || m_current < 0)
        m_current = m_store.RowCount();
    m_buffer = QList<QVariant>(m_store.ColumnCount());
    m_changed.assign(size_t(m_store.ColumnCount()), false);
    m_bof = m_eof = false;
    setState(dsInsert);
    doEvent(OnNewRecord);
    m_modified = false;
    DataEvent(deDataSetChange);
    doEvent(AfterInsert);
    doEvent(AfterScroll);
}

void TDataSet::Insert() {
    beginInsert(false);
}

void TDataSet::Append() {
    beginInsert(true);
}

void TDataSet::Edit() {
    if (m_state == dsEdit || m_state == dsInsert)
        return;
    CheckActive();
    if (m_store.RowCount() == 0) {
        Insert();
        return;
    }
    CheckCanModify();
    doEvent(BeforeEdit);
    m_buffer.clear();
    for (int c = 0; c < m_store.ColumnCount(); ++c)
        m_buffer.append(m_store.Value(m_current, c));
    m_changed.assign(size_t(m_store.ColumnCount()), false);
    m_modified = false;
    setState(dsEdit);
    DataEvent(deRecordChange);
    doEvent(AfterEdit);
}

void TDataSet::Post() {
    DataEvent(deUpdateRecord);
    if (m_state != dsEdit && m_state != dsInsert)
        return;
    doEvent(BeforePost);
    const bool inserting = m_state == dsInsert;
    // A server error leaves the record in its editing state with the values as entered.
    QList<QVariant> values = m_buffer;
    InternalPost(inserting, m_current, values, m_changed);
    if (inserting)
        m_current = m_store.InsertValues(m_current, values);
    else
        m_store.ReplaceValues(m_current, values);
    m_buffer.clear();
    m_changed.clear();
    m_modified = false;
    setState(dsBrowse);
    DataEvent(deDataSetChange);
    doEvent(AfterPost);
}

void TDataSet::Cancel() {
    if (m_state != dsEdit && m_state != dsInsert)
        return;
    doEvent(BeforeCancel);
    const bool inserting = m_state == dsInsert;
    m_buffer.clear();
    m_changed.clear();
    m_modified = false;
    if (inserting && m_current >= m_store.RowCount())
        m_current = m_store.RowCount() - 1;
    m_bof = m_current <= 0;
    m_eof = m_store.RowCount() == 0;
    setState(dsBrowse);
    DataEvent(deDataSetChange);
    doEvent(AfterCancel);
}

void TDataSet::Delete() {
    CheckActive();
    if (m_state == dsInsert) {
        Cancel();
        return;
    }
    if (m_store.RowCount() == 0)
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    CheckCanModify();
    doEvent(BeforeDelete);
    doEvent(BeforeScroll);
    InternalDelete(m_current);
    m_store.Remove(m_current);
    m_buffer.clear();
    m_changed.clear();
    m_modified = false;
    if (m_current >= m_store.RowCount())
        m_current = m_store.RowCount() - 1;
    m_bof = m_store.RowCount() == 0;
    m_eof = m_store.RowCount() == 0;
    setState(dsBrowse);
    DataEvent(deDataSetChange);
    doEvent(AfterDelete);
    doEvent(AfterScroll);
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(deCheckBrowseMode);
    if (m_state == dsEdit || m_state == dsInsert) {
        DataEvent(deUpdateRecord);
        if (m_modified)
            Post();
        else
            Cancel();
    } else if (m_state == dsSetKey) {
        setState(dsBrowse);
    }
}

void TDataSet::Refresh() {
    CheckActive();
    CheckBrowseMode();
    doEvent(BeforeRefresh);
    const int recNo = m_current;
    m_store.ClearRows();
    try {
        InternalOpen();
    } catch (...) {
        // Rows that may no longer be true are not kept.
        m_store.ClearRows();
        m_current = -1;
        m_bof = m_eof = true;
        DataEvent(deDataSetChange);
        throw;
    }
    CreateFields();
    DataEvent(deLayoutChange);
    // Rows read again get new identities; the position by number is kept.
    m_current = m_store.RowCount() == 0 ? -1 : qBound(0, recNo, m_store.RowCount() - 1);
    m_bof = m_current <= 0;
    m_eof = m_store.RowCount() == 0;
    DataEvent(deDataSetChange);
    doEvent(AfterRefresh);
}

TBookmark TDataSet::GetBookmark() const {
    if (!Active() || m_current < 0 || m_current >= m_store.RowCount() || m_state == dsInsert)
        return {};
    return TBookmark{m_store.RowId(m_current), m_current};
}

bool TDataSet::BookmarkValid(const TBookmark& bookmark) const {
    return Active() && bookmark.IsValid() && m_store.FindRow(bookmark.id, bookmark.hint) >= 0;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
    CheckActive();
    CheckBrowseMode();
    const int row = bookmark.IsValid() ? m_store.FindRow(bookmark.id, bookmark.hint) : -1;
    if (row < 0)
        throw EDatabaseError(QStringLiteral("Record not found"));
    moveTo(row);
}

bool TDataSet::matches(int row, const QList<int>& columns, const QVariantList& values,
                       TLocateOptions options) const {
    const Qt::CaseSensitivity cs = (options & loCaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const int c = columns[i];
        const QVariant& want = values.value(i);
        if (IsNullOrUnassigned(want)) {
            if (!m_store.IsNull(row, c))
                return false;
            continue;
        }
        if (m_store.IsNull(row, c))
            return false;
        const TStorageKind kind = m_store.Columns()[c].kind;
        if (kind == TStorageKind::Text || kind == TStorageKind::Guid) {
            const QString have = m_store.Text(row, c);
            const QString text = want.toString();
            if ((options & loPartialKey) ? !have.startsWith(text, cs) : have.compare(text, cs) != 0)
                return false;
        } else if (kind == TStorageKind::DateTime || kind == TStorageKind::Date ||
                   kind == TStorageKind::Time) {
            if (m_store.Value(row, c) != m_fields[c]->Coerce(want))
                return false;
        } else {
            bool ok = false;
            const double d = want.toDouble(&ok);
            if (!ok || m_store.Real(row, c) != d)
                return false;
        }
    }
    return true;
}

bool TDataSet::Locate(const QString& keyFields, const QVariant& keyValues, TLocateOptions options) {
    CheckActive();
    CheckBrowseMode();
    QList<int> columns;
    for (const QString& name : keyFields.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        columns.append(FieldByName(name.trimmed())->Index());
    const QVariantList values = columns.size() > 1 && keyValues.typeId() == QMetaType::QVariantList
                                    ? keyValues.toList()
                                    : QVariantList{keyValues};
    for (int r = 0; r < m_store.RowCount(); ++r) {
        if (matches(r, columns, values, options)) {
            moveTo(r);
            return true;
        }
    }
    return false;
}

void TDataSet::DisableControls() {
    if (m_disableCount == 0)
        m_disableState = m_state;
    ++m_disableCount;
}

void TDataSet::EnableControls() {
    if (m_disableCount == 0)
        return;
    if (--m_disableCount > 0)
        return;
    if (m_state != m_disableState)
        DataEvent(deUpdateState);
    DataEvent(deDataSetChange);
}

void TDataSet::AddDataSource(TDataSource* source) {
    if (!m_sources.contains(source))
        m_sources.append(source);
}

void TDataSet::RemoveDataSource(TDataSource* source) {
    m_sources.removeAll(source);
}

void TDataSet::DataEvent(TDataEvent event, TField* field) {
    // While controls are disabled only the collection of pending edits goes through.
    if (m_disableCount > 0 && event != deUpdateRecord && event != deCheckBrowseMode)
        return;
    const QList<TDataSource*> sources = m_sources;
    for (TDataSource* s : sources)
        s->DataEvent(event, field);
}
