#pragma once
// Finds out why a connection failed when the driver only says "unable to connect": the host name
// does not resolve, the port refuses, nothing answers in time, or integrated security has no
// Kerberos ticket. Runs on the log-on's worker thread (name look-up and a probe connect wait).
#include <QString>

class TConnectDiagnosis {
public:
    // The message for a failed attempt at dataSource ("host", "host,port", "host\instance"), or
    // empty when nothing better than the driver's text can be said.
    static QString Explain(const QString& dataSource, bool integratedSecurity, int loginTimeoutSeconds,
                           qint64 attemptMs);

    // True when a Kerberos credential cache is known not to exist.
    static bool KerberosTicketMissing();
};
