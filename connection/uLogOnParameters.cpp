#include "uLogOnParameters.h"

bool TLogOnParameters::TakesValue(const QString& parameter) {
    return parameter == QLatin1String("-s") || parameter == QLatin1String("-d") ||
           parameter == QLatin1String("-u") || parameter == QLatin1String("-p");
}

TLogOnParameters TLogOnParameters::Parse(const QStringList& parameters) {
    TLogOnParameters r;
    const qsizetype n = parameters.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QString& p = parameters[i];
        const bool hasValue = i + 1 < n;
        if (p == QLatin1String("-s") && hasValue) {
            r.server = parameters[i + 1];
            r.hasServer = true;
        } else if (p == QLatin1String("-d") && hasValue) {
            r.database = parameters[i + 1];
            r.hasDatabase = true;
        } else if (p == QLatin1String("-u") && hasValue) {
            r.user = parameters[i + 1];
            r.hasUser = true;
        } else if (p == QLatin1String("-p") && hasValue) {
            r.password = parameters[i + 1];
            r.hasPassword = true;
        } else if (p == QLatin1String("-t")) {
            r.trusted = true;
        }
    }
    return r;
}

QString TLogOnParameters::ConnectionString(const QString& server, const QString& database, bool withDatabase,
                                           bool trusted, const QString& user, const QString& password) {
    QString s = QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=") + server +
                QLatin1Char(';');
    if (withDatabase)
        s += QStringLiteral("Initial Catalog=") + database + QLatin1Char(';');
    if (trusted)
        s += QStringLiteral("Integrated Security=SSPI;");
    else
        s += QStringLiteral("User ID=") + user + QStringLiteral(";Password=") + password;
    return s;
}
