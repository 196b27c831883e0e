#pragma once
// One ODBC statement on a shared connection: sends a command with typed parameters and walks
// its results, reading rows into a TRowStore with block fetches where the columns allow.
#include "TColumnInfo.h"

#include <QList>
#include <QVariant>

#include <sql.h>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class TConnectionObject;
class TRowStore;

class TOdbcStatement {
public:
    struct Parameter {
        QVariant value;              // unassigned and NULL both send NULL
        TFieldType type = ftUnknown; // the type a NULL is sent as; a value brings its own
    };

    explicit TOdbcStatement(std::shared_ptr<TConnectionObject> connection);
    ~TOdbcStatement();
    TOdbcStatement(const TOdbcStatement&) = delete;
    TOdbcStatement& operator=(const TOdbcStatement&) = delete;

    // Sends the command (one "?" per parameter). Clears the connection's Errors first.
    // Afterwards the statement stands on the first result, if the command produced any.
    void Execute(const QString& text, const QList<Parameter>& parameters = {});
    // The databases the login can see, as the driver's catalog list.
    void Catalogs();
    // The primary key columns of a table, in key order; empty when it has none or cannot be read.
    QStringList PrimaryKeys(const QString& catalog, const QString& schema, const QString& table);

    bool HasResult() const { return m_hasResult; }
    // Columns of the current result; none for a statement that returns no rows.
    int ColumnCount() const { return m_columnCount; }
    QList<TColumnInfo> DescribeColumns();
    // Reads every row of the current result into store, whose columns are DescribeColumns().
    void FetchAll(TRowStore& store);
    // Reads about maxRows more rows of the current result into store (whole fetch blocks, so a
    // few more may come); false when the result has no rows left after them.
    bool FetchRows(TRowStore& store, int maxRows);
    // Rows changed by the current result's statement, -1 when not known.
    qint64 RowsAffected() const;
    // Moves to the next result; false when the command has no more (the statement is then idle).
    bool NextResult();
    // Reads and drops everything the command still has to send, keeping its messages.
    void Drain();

    // Abandons unread results, so the connection can carry another command.
    void CloseCursor();
    // The connection is closing: frees the handle; later use raises.
    void Detach();

    static int LongDataChunkBytes() { return 64 * 1024; }

    // Seconds a call may wait on the server before it is cancelled (0: for ever).
    int Timeout() const { return m_timeout; }
    void SetTimeout(int seconds) { m_timeout = seconds; }

private:
    // Runs a driver call that may wait on the server: on a worker thread, cancellable.
    void call(const std::function<void()>& work);
    void closeCursorNow();
    QStringList primaryKeys(const QString& catalog, const QString& schema, const QString& table);
    bool nextResult();
    bool fetchRows(TRowStore& store, qint64 maxRows);
    void stopIfCancelled();
    SQLHSTMT handle() const;
    void check(SQLRETURN rc);
    void afterMove(SQLRETURN rc);
    void bindParameters(const QList<Parameter>& parameters);
    bool fetchBound(TRowStore& store, qint64 maxRows);
    bool fetchPiecewise(TRowStore& store, qint64 maxRows);
    // Column buffers bound for block fetches; they stay bound while a result is read in parts.
    struct TBoundBlock;
    void bindBlock(const QList<TColumnInfo>& cols);
    void releaseBlock();

    std::shared_ptr<TConnectionObject> m_connection;
    SQLHSTMT m_stmt = nullptr;
    bool m_hasResult = false;
    int m_columnCount = 0;
    QList<TColumnInfo> m_columns;
    bool m_described = false;
    bool m_rowsDone = false; // the current result has no rows left to fetch
    std::unique_ptr<TBoundBlock> m_block;
    std::vector<QByteArray> m_parameterData;
    std::vector<SQLLEN> m_parameterLength;
    int m_timeout = 0;
    std::atomic<bool> m_cancelled = false;
};
