#include "TADOQuery.h"

#include "EDatabaseError.h"
#include "TSqlIdentifier.h"
#include "Variants.h"

#include <QDateTime>

TADOQuery::TADOQuery(QObject* owner) : TDataSet(owner) {}

TADOQuery::~TADOQuery() {
    if (m_connection)
        m_connection->UnregisterDataSet(this);
}

void TADOQuery::SetConnection(TADOConnection* connection) {
    if (m_connection == connection)
        return;
    Close();
    if (m_connection)
        m_connection->UnregisterDataSet(this);
    m_connection = connection;
    if (m_connection)
        m_connection->RegisterDataSet(this);
}

void TADOQuery::ConnectionDestroyed() {
    Close();
    m_connection = nullptr;
}

void TADOQuery::SetSQL(const QStringList& lines) {
    Close();
    m_sql = lines;
    const QString text = SQLText();
    m_parsed = TSqlParameterParser::Parse(text);
    m_select = TSelectAnalyzer::Analyze(text);
    m_parameters.Rebuild(m_parsed.names);
}

void TADOQuery::SetSQLText(const QString& text) {
    SetSQL(text.split(QLatin1Char('\n')));
}

std::shared_ptr<TConnectionObject> TADOQuery::connectionObject() const {
    if (!m_connection)
        throw EDatabaseError(QStringLiteral("%1: Missing Connection or ConnectionString").arg(objectName()));
    if (!m_connection->Connected()) {
        if (m_connection->Lost())
            throw EDatabaseError(QStringLiteral("The connection to the server is not open."));
        m_connection->Open();
    }
    return m_connection->ConnectionObject();
}

std::unique_ptr<TOdbcStatement> TADOQuery::newStatement() const {
    auto statement = std::make_unique<TOdbcStatement>(connectionObject());
    statement->SetTimeout(m_commandTimeout);
    return statement;
}

QList<TOdbcStatement::Parameter> TADOQuery::parameterValues() const {
    QList<TOdbcStatement::Parameter> values;
    for (const QString& name : m_parsed.markers) {
        const TParameter& p = m_parameters.ParamByName(name);
        values.append({p.Value(), p.DataType()});
    }
    return values;
}

void TADOQuery::InternalOpen() {
    const auto owned = newStatement();
    TOdbcStatement& statement = *owned;
    statement.Execute(m_parsed.odbcText, parameterValues());
    // The rows are the first result that has columns; row counts before it are passed over.
    while (statement.HasResult() && statement.ColumnCount() == 0)
        statement.NextResult();
    if (!statement.HasResult())
        throw EDatabaseError(QStringLiteral("CommandText does not return a result set"));
    QList<TColumnInfo> columns = statement.DescribeColumns();
    if (m_select.singleTable) {
        for (TColumnInfo& c : columns) {
            c.baseColumn = m_select.BaseColumn(c.name);
            c.computed = c.baseColumn.isEmpty();
        }
    }
    MutableStore().SetColumns(columns);
    statement.FetchAll(MutableStore());
    statement.Drain();
    m_keysLoaded = false;
    m_keyColumns.clear();
}

void TADOQuery::InternalClose() {
    m_keysLoaded = false;
    m_keyColumns.clear();
}

int TADOQuery::ExecSQL() {
    const auto owned = newStatement();
    TOdbcStatement& statement = *owned;
    statement.Execute(m_parsed.odbcText, parameterValues());
    qint64 total = -1;
    while (statement.HasResult()) {
        if (statement.ColumnCount() == 0) {
            const qint64 n = statement.RowsAffected();
            if (n >= 0)
                total = std::max<qint64>(total, 0) + n;
        }
        statement.NextResult();
    }
    m_rowsAffected = int(total);
    return m_rowsAffected;
}

bool TADOQuery::CanModify() const {
    if (!Active() || !m_select.singleTable)
        return false;
    for (const TColumnInfo& c : Store().Columns()) {
        if (!c.computed)
            return true;
    }
    return false;
}

void TADOQuery::LoadKeyInfo() {
    if (m_keysLoaded || !Active() || !m_select.singleTable)
        return;
    m_keysLoaded = true;
    m_keyColumns.clear();
    m_keyIsPrimary = false;
    const auto owned = newStatement();
    TOdbcStatement& statement = *owned;
    const QStringList primary =
        statement.PrimaryKeys(m_select.CatalogName(), m_select.SchemaName(), m_select.TableName());
    QList<TColumnInfo>& columns = MutableStore().Columns();
    QList<int> found;
    for (const QString& key : primary) {
        for (int c = 0; c < columns.size(); ++c) {
            if (!columns[c].computed && columns[c].baseColumn.compare(key, Qt::CaseInsensitive) == 0) {
                found.append(c);
                break;
            }
        }
    }
    // Only the whole primary key identifies a row; part of it is no key at all.
    if (!primary.isEmpty() && found.size() == primary.size()) {
        for (int c : found)
            columns[c].keyColumn = true;
        m_keyColumns = found;
        m_keyIsPrimary = true;
        return;
    }
    // Without the whole primary key a row is identified by all its comparable columns.
    for (int c = 0; c < columns.size(); ++c) {
        if (!columns[c].computed && !columns[c].longData)
            m_keyColumns.append(c);
    }
}

QList<int> TADOQuery::KeyColumns() {
    LoadKeyInfo();
    return m_keyColumns;
}

QString TADOQuery::quotedColumn(int column) const {
    return TSqlIdentifier::Quote(Store().Columns()[column].baseColumn);
}

TOdbcStatement::Parameter TADOQuery::originalValue(int row, int column) const {
    const TColumnInfo& c = Store().Columns()[column];
    // Exact numbers go as their text, so the comparison on the server loses no digits.
    if (c.kind == TStorageKind::Decimal64 || c.kind == TStorageKind::Decimal128)
        return {QVariant(Store().Text(row, column)), ftString};
    // A date-time goes as text the server converts to the column's own type: a datetime's
    // 1/300 s ticks would not compare equal to a datetime2 parameter.
    if (c.kind == TStorageKind::DateTime) {
        const QDateTime at = Store().Value(row, column).toDateTime();
        const bool datetime = c.typeName.compare(QLatin1String("datetime"), Qt::CaseInsensitive) == 0 ||
                              c.typeName.compare(QLatin1String("smalldatetime"), Qt::CaseInsensitive) == 0;
        const int64_t micros = Store().Integer(row, column);
        QString text = at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        text += datetime ? at.toString(QStringLiteral(".zzz"))
                         : QStringLiteral(".%1").arg(((micros % 1000000) + 1000000) % 1000000, 6, 10,
                                                     QLatin1Char('0'));
        return {QVariant(text), ftString};
    }
    return {Store().Value(row, column), c.fieldType};
}

QString TADOQuery::keyCondition(int row, QList<TOdbcStatement::Parameter>& parameters) {
    const QList<int> keys = KeyColumns();
    if (keys.isEmpty())
        throw EDatabaseError(QStringLiteral("The rows of this query cannot be identified for updating."));
    QStringList parts;
    for (int c : keys) {
        if (Store().IsNull(row, c)) {
            parts << quotedColumn(c) + QStringLiteral(" IS NULL");
        } else {
            parts << quotedColumn(c) + QStringLiteral(" = ?");
            parameters.append(originalValue(row, c));
        }
    }
    return parts.join(QStringLiteral(" AND "));
}

void TADOQuery::checkUnique(const QString& condition, const QList<TOdbcStatement::Parameter>& parameters) {
    if (m_keyIsPrimary)
        return;
    const auto owned = newStatement();
    TOdbcStatement& statement = *owned;
    statement.Execute(
        QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2").arg(m_select.QuotedTable(), condition),
        parameters);
    qint64 count = -1;
    if (statement.HasResult() && statement.ColumnCount() > 0) {
        TRowStore rows;
        rows.SetColumns(statement.DescribeColumns());
        statement.FetchAll(rows);
        if (rows.RowCount() > 0)
            count = rows.Integer(0, 0);
    }
    statement.Drain();
    if (count > 1)
        throw EDatabaseError(
            QStringLiteral(
                "The record cannot be identified uniquely: %1 rows of the table have the same values.")
                .arg(count));
}

qint64 TADOQuery::write(const QString& sql, const QList<TOdbcStatement::Parameter>& parameters,
                        QVariant* lastValue) {
    const auto owned = newStatement();
    TOdbcStatement& statement = *owned;
    statement.Execute(sql, parameters);
    qint64 affected = -1;
    while (statement.HasResult()) {
        if (statement.ColumnCount() == 0) {
            if (affected < 0)
                affected = statement.RowsAffected();
        } else if (lastValue != nullptr) {
            TRowStore rows;
            rows.SetColumns(statement.DescribeColumns());
            statement.FetchAll(rows);
            if (rows.RowCount() > 0)
                *lastValue = rows.Value(0, 0);
        }
        statement.NextResult();
    }
    return affected;
}

void TADOQuery::InternalPost(bool inserting, int row, QList<QVariant>& values,
                             const std::vector<bool>& changed) {
    if (!CanModify())
        throw EDatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
    const QList<TColumnInfo>& columns = Store().Columns();
    QStringList names;
    QList<TOdbcStatement::Parameter> parameters;
    int identity = -1;
    for (int c = 0; c < columns.size(); ++c) {
        if (columns[c].identity)
            identity = c;
        if (!changed[size_t(c)] || columns[c].computed || columns[c].identity || Fields()[c]->ReadOnly())
            continue;
        names << quotedColumn(c);
        parameters.append({values[c], columns[c].fieldType});
    }
    if (inserting) {
        QString sql =
            names.isEmpty()
                ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(m_select.QuotedTable())
                : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(m_select.QuotedTable(), names.join(QStringLiteral(", ")),
                           QStringList(names.size(), QStringLiteral("?")).join(QStringLiteral(", ")));
        QVariant newIdentity;
        if (identity >= 0)
            sql += QStringLiteral("; SELECT SCOPE_IDENTITY()");
        write(sql, parameters, identity >= 0 ? &newIdentity : nullptr);
        if (identity >= 0 && !IsNullOrUnassigned(newIdentity))
            values[identity] = Fields()[identity]->Coerce(newIdentity);
        return;
    }
    if (names.isEmpty())
        return;
    QList<TOdbcStatement::Parameter> keyParameters;
    const QString condition = keyCondition(row, keyParameters);
    checkUnique(condition, keyParameters);
    QStringList assignments;
    for (const QString& n : names)
        assignments << n + QStringLiteral(" = ?");
    const qint64 affected =
        write(QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                  .arg(m_select.QuotedTable(), assignments.join(QStringLiteral(", ")), condition),
              parameters + keyParameters);
    if (affected == 0)
        throw EDatabaseError(QStringLiteral(
            "Row cannot be located for updating. Some values may have been changed since it was last read."));
}

void TADOQuery::InternalDelete(int row) {
    if (!CanModify())
        throw EDatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
    QList<TOdbcStatement::Parameter> parameters;
    const QString condition = keyCondition(row, parameters);
    checkUnique(condition, parameters);
    const qint64 affected =
        write(QStringLiteral("DELETE FROM %1 WHERE %2").arg(m_select.QuotedTable(), condition), parameters);
    if (affected == 0)
        throw EDatabaseError(QStringLiteral(
            "Row cannot be located for deleting. Some values may have been changed since it was last read."));
}
