#include "uTLumScriptRunner.h"

#include "EDatabaseError.h"
#include "Exception.h"
#include "TADORecordset.h"
#include "TSqlIdentifier.h"
#include "uDatabaseUtils.h"

#include <algorithm>
#include <vector>

namespace {

TLumScriptRunner::TAsker& defaultAsker() {
    static TLumScriptRunner::TAsker asker;
    return asker;
}

// Blanks and control characters count as white space at either end of a line.
QStringView trimmed(QStringView s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= u' ')
        ++b;
    while (e > b && s[e - 1].unicode() <= u' ')
        --e;
    return s.mid(b, e - b);
}

// Cuts text at every character of delimiters; neighbouring delimiters give empty parts.
QStringList splitByChars(QStringView delimiters, QStringView text) {
    QStringList parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || delimiters.contains(text[i])) {
            parts.append(text.mid(start, i - start).toString());
            start = i + 1;
        }
    }
    return parts;
}

// Words that may stand between create and index.
bool isIndexModifier(const QString& word) {
    return word.compare(QLatin1String("unique"), Qt::CaseInsensitive) == 0 ||
           word.compare(QLatin1String("clustered"), Qt::CaseInsensitive) == 0 ||
           word.compare(QLatin1String("nonclustered"), Qt::CaseInsensitive) == 0;
}

// A number cut to its column's width would read as another number: numeric cells are shown whole
// and push the rest of their line to the right instead.
bool isNumberType(int adoType) {
    switch (adoType) {
    case 2:   // smallint
    case 3:   // int
    case 4:   // single
    case 5:   // double
    case 6:   // currency
    case 14:  // decimal
    case 16:  // tinyint
    case 17:  // unsigned tinyint
    case 18:  // unsigned smallint
    case 19:  // unsigned int
    case 20:  // bigint
    case 21:  // unsigned bigint
    case 131: // numeric
    case 139: // variable numeric
        return true;
    default:
        return false;
    }
}

constexpr int kAdDBTime = 134;
constexpr int kAdDBTimeStamp = 135;
constexpr int kDateTimeTextLength = 23; // yyyy-mm-dd hh:nn:ss:zzz

// Flushes lines collected for OnLines at least this often while output is being made.
constexpr qint64 kFlushIntervalMs = 100;

} // namespace

void TLumScriptRunner::SetDefaultAsker(TAsker asker) {
    defaultAsker() = std::move(asker);
}

TLumScriptRunner::TLumScriptRunner(QObject* owner) : QObject(owner) {}

TLumScriptRunner::~TLumScriptRunner() = default;

TADOConnection* TLumScriptRunner::Connection() const {
    return m_connection;
}

void TLumScriptRunner::SetConnection(TADOConnection* connection) {
    m_connection = connection;
}

void TLumScriptRunner::SetScriptText(const QString& text) {
    m_script.clear();
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar ch = text[i];
        if (ch != QLatin1Char('\r') && ch != QLatin1Char('\n'))
            continue;
        m_script.append(text.mid(start, i - start));
        if (ch == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < n)
        m_script.append(text.mid(start));
}

bool TLumScriptRunner::IsSeparator(const QString& line) {
    return trimmed(line).compare(QLatin1String("GO"), Qt::CaseInsensitive) == 0;
}

QString TLumScriptRunner::ContinueQuestion(const QString& error) {
    return QStringLiteral("Возникла ошибка: \"") + error + QStringLiteral("\"\r\nПродолжить выполнение?");
}

QString TLumScriptRunner::PaneLine(const QString& s) {
    QString out = s;
    for (QChar& ch : out) {
        if (ch == QLatin1Char('\r') || ch == QLatin1Char('\n'))
            ch = QLatin1Char(' ');
    }
    return out;
}

QString TLumScriptRunner::IfExistsLine(const QString& name) {
    return QStringLiteral("if exists (select * from sysobjects where id = object_id(") +
           TSqlIdentifier::StringLiteral(name) + QStringLiteral("))");
}

bool TLumScriptRunner::ParseCreateLine(const QString& line, QString& name, QString& dropText) {
    name.clear();
    dropText.clear();
    const QStringView text = trimmed(line);
    if (!text.startsWith(QLatin1String("create "), Qt::CaseInsensitive) || text.contains(QLatin1Char('#')))
        return false;
    const QStringList parts = splitByChars(u" (@\t\r\n", text);
    QString drop = QStringLiteral("drop ");
    int counted = 0;
    bool indexModifiers = false; // the words so far are unique, clustered or nonclustered
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString& part = parts[i];
        if (part.isEmpty())
            continue;
        drop += part + QLatin1Char(' ');
        ++counted;
        // An index is dropped by table and index name, which this line form cannot give.
        if (part.compare(QLatin1String("index"), Qt::CaseInsensitive) == 0 &&
            (counted == 1 || indexModifiers))
            return false;
        if (counted == 1) {
            indexModifiers = isIndexModifier(part);
            continue;
        }
        if (indexModifiers && isIndexModifier(part))
            continue;
        if (counted == 2 || indexModifiers) {
            QString object = part;
            const qsizetype dot = object.indexOf(QLatin1Char('.'));
            if (dot >= 0)
                object.remove(0, dot + 1);
            if (object.startsWith(QLatin1Char('[')) && object.endsWith(QLatin1Char(']')) &&
                object.size() >= 2)
                object = object.mid(1, object.size() - 2);
            name = object;
            dropText = drop;
            return true;
        }
    }
    return false;
}

void TLumScriptRunner::BuildDropScript(QStringList& Target) {
    QString name, drop;
    for (const QString& line : std::as_const(m_script)) {
        if (!ParseCreateLine(line, name, drop))
            continue;
        Target.insert(0, IfExistsLine(name));
        Target.insert(1, QStringLiteral("  ") + drop);
        Target.insert(2, QStringLiteral("GO"));
    }
}

bool TLumScriptRunner::Ask(const QString& AQuestion, TLumAskType aType) {
    flushLines();
    if (OnAsk) {
        bool answer = false;
        OnAsk(this, AQuestion, aType, answer);
        return answer;
    }
    if (defaultAsker())
        return defaultAsker()(AQuestion, aType);
    return false;
}

void TLumScriptRunner::DoProgress(int pos, int max, const QString& comment) {
    flushLines();
    if (OnProgress)
        OnProgress(this, pos, max, comment);
}

void TLumScriptRunner::DoMessage(const QString& s) {
    emitLine(s);
}

void TLumScriptRunner::emitLine(const QString& line) {
    if (OnLines) {
        m_pending.append(line);
        if (m_pending.size() >= LinesBlockSize() || ((m_pending.size() & 63) == 0 && m_sinceFlush.isValid() &&
                                                     m_sinceFlush.elapsed() >= kFlushIntervalMs))
            flushLines();
    } else if (OnMessage) {
        OnMessage(this, line);
    }
}

void TLumScriptRunner::flushLines() {
    m_sinceFlush.start();
    if (m_pending.isEmpty())
        return;
    const QStringList lines = std::exchange(m_pending, QStringList());
    if (OnLines)
        OnLines(this, lines);
}

void TLumScriptRunner::ReportProviderMessages() {
    if (!OnMessage && !OnLines)
        return;
    if (!m_connection)
        return;
    const QList<TAdoError> errors = m_connection->Errors();
    for (const TAdoError& e : errors) {
        // Informational output (PRINT and the like) carries number 0; a failure reaches the user
        // through the error path, and the driver's own warnings are not the server's output.
        if (e.NativeError == 0 && e.Informational)
            DoMessage(e.Description);
    }
    flushLines();
}

void TLumScriptRunner::Cancel() {
    m_cancelRequested = true;
    std::shared_ptr<TConnectionObject> running;
    {
        const std::lock_guard lock(m_cancelMutex);
        running = m_running;
    }
    if (running)
        running->CancelCommand();
}

void TLumScriptRunner::stopIfCancelled() const {
    if (m_cancelRequested)
        throw ECancelled();
}

QString TLumScriptRunner::failureMessage(const std::exception& e) const {
    if (dynamic_cast<const EAbort*>(&e) != nullptr || m_cancelRequested)
        return QStringLiteral("abort");
    // The user's Cancel in the wait window stops the script as well; a command timeout does not.
    if (const auto* cancelled = dynamic_cast<const ECancelled*>(&e);
        cancelled != nullptr && cancelled->SqlState() == QLatin1String("HY008"))
        return QStringLiteral("abort");
    if (const auto* ex = dynamic_cast<const Exception*>(&e))
        return ex->Message();
    return QString::fromUtf8(e.what());
}

bool TLumScriptRunner::Execute() {
    return ExecuteLines(m_script);
}

bool TLumScriptRunner::ExecuteLines(const QStringList& Lines) {
    const int n = int(Lines.size());
    QString batch;
    QString firstLine;
    bool result = true;
    m_cancelRequested = false;
    m_messagesReported = true;
    m_pending.clear();
    m_sinceFlush.start();

    const QPointer<TADOConnection> connection = m_connection;
    const TADOConnection::TCursorLocation savedLocation =
        connection ? connection->CursorLocation() : TADOConnection::clUseClient;
    if (connection) {
        connection->SetCursorLocation(TADOConnection::clUseServer);
        const std::lock_guard lock(m_cancelMutex);
        m_running = connection->ConnectionObject();
    }
    const auto endOfRun = [&] {
        {
            const std::lock_guard lock(m_cancelMutex);
            m_running.reset();
        }
        if (connection)
            connection->SetCursorLocation(savedLocation);
    };

    try {
        DoProgress(0, n, QString());
        for (int i = 0; i < n; ++i) {
            const QString& line = Lines[i];
            const bool separator = IsSeparator(line);
            if (!separator) {
                if (batch.isEmpty())
                    firstLine = line;
                batch += line;
                batch += QLatin1String("\r\n");
                if (i != n - 1)
                    continue;
            }
            DoProgress(i, n, firstLine);
            try {
                stopIfCancelled();
                if (!trimmed(batch).isEmpty())
                    runBatch(batch);
            } catch (const Exception& e) {
                // Messages of a command that failed; those of the previous batch went out with it.
                if (!m_messagesReported)
                    ReportProviderMessages();
                const QString message = failureMessage(e);
                bool aBreak = message.compare(QLatin1String("abort"), Qt::CaseInsensitive) == 0;
                bool aAsk = !aBreak;
                if (OnError)
                    OnError(this, message, aBreak, aAsk);
                if (!aBreak && aAsk && !Ask(ContinueQuestion(message), qtError))
                    aBreak = true;
                if (aBreak || m_cancelRequested) {
                    result = false;
                    break;
                }
            }
            batch.clear();
        }
        flushLines();
        DoProgress(0, n, QString());
    } catch (...) {
        endOfRun();
        // The closing progress call still comes; a second failure in it is not reported over the first.
        try {
            flushLines();
            DoProgress(0, n, QString());
        } catch (...) {
        }
        throw;
    }
    endOfRun();
    return result;
}

void TLumScriptRunner::runBatch(const QString& text) {
    if (!m_connection)
        throw EDatabaseError(QStringLiteral("The script runner has no connection."));
    const TADOConnection::TExecuteOptions options =
        m_noRecords ? TADOConnection::TExecuteOptions(TADOConnection::eoExecuteNoRecords)
                    : TADOConnection::TExecuteOptions();
    m_messagesReported = false;
    std::unique_ptr<TADORecordset> rs = m_connection->Execute(text, TADOConnection::cmdText, options);
    while (rs) {
        if (rs->FieldCount() > 0)
            printRecordset(*rs);
        if (!rs->NextRecordset())
            break;
    }
    rs.reset();
    flushLines();
    m_messagesReported = true;
    ReportProviderMessages();
}

void TLumScriptRunner::printRecordset(TADORecordset& rs) {
    const int c = rs.FieldCount();
    std::vector<int> widths(static_cast<size_t>(c));
    std::vector<char> whole(static_cast<size_t>(c)); // numbers are never cut
    QString header, dashes;
    for (int k = 0; k < c; ++k) {
        const TADOField field = rs.Fields(k);
        const QString name = field.Name();
        int width = FieldDisplayWidth(field);
        // A date-time's text (2004-03-15 13:45:07:123) is longer than its type's display width; a
        // column cut to that width would hide the seconds, so it is as wide as the text.
        if (field.Type() == kAdDBTime || field.Type() == kAdDBTimeStamp)
            width = std::max(width, kDateTimeTextLength);
        if (name.size() > width)
            width = int(name.size());
        if (width < 10)
            width = 10;
        if (width > m_maxFieldLength)
            width = m_maxFieldLength;
        width = std::max(width, 0);
        widths[size_t(k)] = width;
        whole[size_t(k)] = isNumberType(field.Type());
        header += name;
        if (m_tabDelimiter) {
            header += QLatin1Char('\t');
            dashes += QString(name.size(), QLatin1Char('-'));
            dashes += QLatin1Char('\t');
        } else {
            if (width > name.size())
                header += QString(width - name.size(), QLatin1Char(' '));
            header += QLatin1Char(' ');
            dashes += QString(width, QLatin1Char('-'));
            dashes += QLatin1Char(' ');
        }
    }
    emitLine(header);
    emitLine(dashes);

    QString row;
    while (!rs.Eof()) {
        row.resize(0);
        for (int k = 0; k < c; ++k) {
            const int width = widths[size_t(k)];
            const qsizetype start = row.size();
            AppendFieldValueText(row, rs.Fields(k)); // the cell's text, then cut to the width
            if (row.size() - start > width && !whole[size_t(k)])
                row.truncate(start + width);
            const qsizetype shown = std::min<qsizetype>(row.size() - start, width);
            if (m_tabDelimiter)
                row += QLatin1Char('\t');
            else
                row.resize(row.size() + (width - shown) + 1, QLatin1Char(' '));
        }
        emitLine(row);
        stopIfCancelled();
        rs.MoveNext();
    }
}
