#pragma once
// A data set filled by a SQL command on a TADOConnection. ":name" parameters in the text are
// sent as typed parameters. A select over one table can be edited: inserts, edits and deletes
// are written back to that table by its key.
#include "TADOConnection.h"
#include "TDataSet.h"
#include "TOdbcStatement.h"
#include "TParameters.h"
#include "TSelectAnalyzer.h"
#include "TSqlParameterParser.h"

#include <QPointer>
#include <QStringList>

class TADOQuery : public TDataSet {
    Q_OBJECT
    Q_PROPERTY(QStringList SQL READ SQL WRITE SetSQL)
    Q_PROPERTY(TCursorType CursorType READ CursorType WRITE SetCursorType)
    Q_PROPERTY(int CommandTimeout READ CommandTimeout WRITE SetCommandTimeout)

public:
    enum TCursorType { ctUnspecified, ctOpenForwardOnly, ctKeyset, ctDynamic, ctStatic };
    Q_ENUM(TCursorType)

    explicit TADOQuery(QObject* owner = nullptr);
    ~TADOQuery() override;

    TADOConnection* Connection() const { return m_connection.data(); }
    void SetConnection(TADOConnection* connection);
    // Changing the text closes the query; parameters of the same name keep their values.
    const QStringList& SQL() const { return m_sql; }
    void SetSQL(const QStringList& lines);
    QString SQLText() const { return m_sql.join(QLatin1Char('\n')); }
    void SetSQLText(const QString& text);
    TParameters& Parameters() { return m_parameters; }
    // Rows are always read completely into memory; the cursor type is kept for the callers that set it.
    TCursorType CursorType() const { return m_cursorType; }
    void SetCursorType(TCursorType value) { m_cursorType = value; }

    // Seconds a command may wait on the server before it is cancelled (0: for ever).
    int CommandTimeout() const { return m_commandTimeout; }
    void SetCommandTimeout(int seconds) { m_commandTimeout = qMax(0, seconds); }

    // Runs a command that returns no rows; returns the rows it changed (-1 when not reported).
    int ExecSQL();
    int RowsAffected() const { return m_rowsAffected; }

    bool CanModify() const override;
    // The columns that identify a row when writing back: the table's primary key when the
    // result holds it, else every comparable column. Reads the key from the server once per open.
    QList<int> KeyColumns();

    void ConnectionDestroyed() override;

protected:
    void InternalOpen() override;
    void InternalClose() override;
    void InternalPost(bool inserting, int row, QList<QVariant>& values,
                      const std::vector<bool>& changed) override;
    void InternalDelete(int row) override;
    void LoadKeyInfo() override;

private:
    std::shared_ptr<TConnectionObject> connectionObject() const;
    // A statement on the connection with this query's command timeout.
    std::unique_ptr<TOdbcStatement> newStatement() const;
    QList<TOdbcStatement::Parameter> parameterValues() const;
    TOdbcStatement::Parameter originalValue(int row, int column) const;
    QString keyCondition(int row, QList<TOdbcStatement::Parameter>& parameters);
    void checkUnique(const QString& condition, const QList<TOdbcStatement::Parameter>& parameters);
    qint64 write(const QString& sql, const QList<TOdbcStatement::Parameter>& parameters,
                 QVariant* lastValue = nullptr);
    QString quotedColumn(int column) const;

    QPointer<TADOConnection> m_connection;
    QStringList m_sql;
    TParameters m_parameters;
    TSqlParameterParser::Result m_parsed;
    TSelectAnalyzer::Result m_select;
    TCursorType m_cursorType = ctUnspecified;
    int m_rowsAffected = -1;
    int m_commandTimeout = 0;
    bool m_keysLoaded = false;
    bool m_keyIsPrimary = false;
    QList<int> m_keyColumns;
};
