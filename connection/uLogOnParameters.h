#pragma once
// The log-on values given on a command line, and the connection string built from log-on values.
// Shared by the login dialog and the command-line script runner, so both take the same switches
// and open the same kind of connection.
#include <QString>
#include <QStringList>

struct TLogOnParameters {
    QString server, database, user, password;
    bool hasServer = false, hasDatabase = false, hasUser = false, hasPassword = false;
    bool trusted = false; // "-t": integrated security

    // Walks the parameters (without the program name): "-s", "-d", "-u" and "-p" (exact, case
    // sensitive) take the next parameter as server, database, user or password; a switch that is
    // the last parameter is ignored; the value is examined as a switch in its turn and a later
    // occurrence of a switch wins. "-t" asks for integrated security.
    static TLogOnParameters Parse(const QStringList& parameters);
    // Whether the switch takes the next parameter as its value.
    static bool TakesValue(const QString& parameter);

    // Enough to log on without asking: a server, a database, and a user or "-t".
    bool Complete() const { return hasServer && hasDatabase && (trusted || hasUser); }

    // "Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=server;", then with the
    // database "Initial Catalog=database;", then "Integrated Security=SSPI;" or
    // "User ID=user;Password=password" (nothing follows the password, so it may hold any character).
    static QString ConnectionString(const QString& server, const QString& database, bool withDatabase,
                                    bool trusted, const QString& user, const QString& password);
};
