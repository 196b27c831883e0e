#pragma once
// Reads the connection string the login dialog builds ("Provider=…;Data Source=…;…;Password=…")
// and writes the ODBC connection string for a driver.
#include <QString>

class TAdoConnectionString {
public:
    TAdoConnectionString() = default;
    explicit TAdoConnectionString(const QString& text) { Parse(text); }

    // Keys compare without case; the password runs to the end of the string, so it may hold
    // any character. Unknown keys are ignored.
    void Parse(const QString& text);

    const QString& DataSource() const { return m_dataSource; }
    const QString& InitialCatalog() const { return m_initialCatalog; }
    const QString& UserId() const { return m_userId; }
    const QString& Password() const { return m_password; }
    bool HasPassword() const { return m_hasPassword; }
    bool IntegratedSecurity() const { return m_integratedSecurity; }
    const QString& ApplicationName() const { return m_applicationName; }

    // "host", "host,port", "host\instance", "tcp:host,port", "(local)" split into parts.
    struct ServerAddress {
        QString host;
        QString instance;
        int port = 0; // 0: the driver's default
    };
    static ServerAddress SplitServer(const QString& dataSource);

    // The ODBC string for the driver (a name registered with the driver manager or a library path).
    // FreeTDS gets TDS 7.4, UTF-8 and a separate PORT; other drivers get "host,port".
    // Raises EDatabaseError for a value FreeTDS cannot be given (one holding "};").
    QString OdbcConnectionString(const QString& driver, const QString& applicationName = {}) const;

    // A value as an ODBC connection string attribute, braced when needed. The standard doubles
    // a "}" inside braces; FreeTDS takes the braced text verbatim up to "};".
    static QString QuoteValue(const QString& value, bool always = false, bool freeTds = false);
    static bool IsFreeTdsDriver(const QString& driver);

private:
    QString m_dataSource;
    QString m_initialCatalog;
    QString m_userId;
    QString m_password;
    QString m_applicationName;
    bool m_hasPassword = false;
    bool m_integratedSecurity = false;
};
