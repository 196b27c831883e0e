#include "TAdoConnectionString.h"

#include "EDatabaseError.h"

#include <QStringList>

namespace {

bool isKey(const QString& key, std::initializer_list<const char*> names) {
    for (const char* n : names) {
        if (key.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool isTrue(const QString& v) {
    const QString t = v.trimmed();
    return t.compare(QLatin1String("SSPI"), Qt::CaseInsensitive) == 0 ||
           t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
           t.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
}

} // namespace

void TAdoConnectionString::Parse(const QString& text) {
    *this = TAdoConnectionString();
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype eq = text.indexOf(QLatin1Char('='), pos);
        if (eq < 0)
            break;
        const QString key = text.mid(pos, eq - pos).trimmed();
        if (isKey(key, {"Password", "PWD"})) {
            // No ";" ends a password: it is the last item and may hold any character.
            m_password = text.mid(eq + 1);
            m_hasPassword = true;
            break;
        }
        qsizetype end = text.indexOf(QLatin1Char(';'), eq + 1);
        if (end < 0)
            end = text.size();
        QString value = text.mid(eq + 1, end - eq - 1).trimmed();
        if (value.size() >= 2 && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')) &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        if (isKey(key, {"Data Source", "Server", "Address", "Addr"}))
            m_dataSource = value;
        else if (isKey(key, {"Initial Catalog", "Database"}))
            m_initialCatalog = value;
        else if (isKey(key, {"User ID", "UID", "User"}))
            m_userId = value;
        else if (isKey(key, {"Integrated Security", "Trusted_Connection"}))
            m_integratedSecurity = isTrue(value);
        else if (isKey(key, {"Application Name", "App"}))
            m_applicationName = value;
        pos = end + 1;
    }
}

TAdoConnectionString::ServerAddress TAdoConnectionString::SplitServer(const QString& dataSource) {
    ServerAddress a;
    QString s = dataSource.trimmed();
    if (s.startsWith(QLatin1String("tcp:"), Qt::CaseInsensitive))
        s = s.mid(4);
    const qsizetype comma = s.lastIndexOf(QLatin1Char(','));
    if (comma >= 0) {
        bool ok = false;
        const int port = s.mid(comma + 1).trimmed().toInt(&ok);
        if (ok && port > 0 && port < 65536)
            a.port = port;
        s = s.left(comma).trimmed();
    }
    const qsizetype slash = s.indexOf(QLatin1Char('\\'));
    if (slash >= 0) {
        a.instance = s.mid(slash + 1).trimmed();
        s = s.left(slash).trimmed();
    }
    if (s.isEmpty() || s == QLatin1String(".") ||
        s.compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0)
        s = QStringLiteral("127.0.0.1");
    a.host = s;
    return a;
}

QString TAdoConnectionString::QuoteValue(const QString& value, bool always, bool freeTds) {
    const bool needs = always || value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('{')) ||
                       value.contains(QLatin1Char('}')) || value.contains(QLatin1Char('=')) ||
                       value != value.trimmed();
    if (!needs)
        return value;
    QString v = value;
    if (!freeTds)
        v.replace(QLatin1Char('}'), QLatin1String("}}"));
    return QLatin1Char('{') + v + QLatin1Char('}');
}

bool TAdoConnectionString::IsFreeTdsDriver(const QString& driver) {
    return driver.contains(QLatin1String("tds"), Qt::CaseInsensitive);
}

QString TAdoConnectionString::OdbcConnectionString(const QString& driver,
                                                   const QString& applicationName) const {
    const bool freeTds = IsFreeTdsDriver(driver);
    const auto quote = [freeTds](const QString& value, bool always = false) {
        if (freeTds && value.contains(QLatin1String("};")))
            throw EDatabaseError(QStringLiteral("The FreeTDS driver cannot take a value containing \"};\"."));
        return QuoteValue(value, always, freeTds);
    };
    const ServerAddress a = SplitServer(m_dataSource);
    QStringList parts;
    parts << QStringLiteral("DRIVER=") + QuoteValue(driver, true);
    QString server = a.host;
    if (!a.instance.isEmpty())
        server += QLatin1Char('\\') + a.instance;
    if (freeTds) {
        parts << QStringLiteral("SERVER=") + quote(server);
        if (a.port > 0)
            parts << QStringLiteral("PORT=%1").arg(a.port);
    } else {
        if (a.port > 0)
            server += QStringLiteral(",%1").arg(a.port);
        parts << QStringLiteral("SERVER=") + quote(server);
    }
    if (!m_initialCatalog.isEmpty())
        parts << QStringLiteral("DATABASE=") + quote(m_initialCatalog);
    if (m_integratedSecurity) {
        parts << QStringLiteral("Trusted_Connection=Yes");
    } else {
        parts << QStringLiteral("UID=") + quote(m_userId, true);
        parts << QStringLiteral("PWD=") + quote(m_password, true);
    }
    const QString app = m_applicationName.isEmpty() ? applicationName : m_applicationName;
    if (!app.isEmpty())
        parts << QStringLiteral("APP=") + quote(app);
    if (freeTds) {
        parts << QStringLiteral("TDS_Version=7.4") << QStringLiteral("ClientCharset=UTF-8");
    } else {
        parts << QStringLiteral("TrustServerCertificate=yes");
    }
    return parts.join(QLatin1Char(';'));
}
