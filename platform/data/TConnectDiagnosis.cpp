#include "TConnectDiagnosis.h"

#include "TAdoConnectionString.h"

#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kDefaultPort = 1433;
constexpr int kProbeMs = 3000;

enum class TProbe { Open, Refused, Silent, Unknown };

// One TCP connect to the first address of host; does not send anything.
TProbe probe(const addrinfo* address) {
    const int fd = ::socket(address->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return TProbe::Unknown;
    TProbe result = TProbe::Unknown;
    if (::connect(fd, address->ai_addr, address->ai_addrlen) == 0) {
        result = TProbe::Open;
    } else if (errno == ECONNREFUSED) {
        result = TProbe::Refused;
    } else if (errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        const int n = ::poll(&p, 1, kProbeMs);
        if (n == 0) {
            result = TProbe::Silent;
        } else if (n > 0) {
            int error = 0;
            socklen_t length = sizeof error;
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
            result = error == 0 ? TProbe::Open : error == ECONNREFUSED ? TProbe::Refused : TProbe::Unknown;
        }
    }
    ::close(fd);
    return result;
}

} // namespace

bool TConnectDiagnosis::KerberosTicketMissing() {
    QString cache = qEnvironmentVariable("KRB5CCNAME");
    if (cache.startsWith(QLatin1String("FILE:")))
        cache = cache.mid(5);
    else if (cache.contains(QLatin1Char(':')))
        return false; // a keyring or a daemon: cannot be told from here
    if (cache.isEmpty())
        cache = QStringLiteral("/tmp/krb5cc_%1").arg(::getuid());
    return !QFileInfo::exists(cache);
}

QString TConnectDiagnosis::Explain(const QString& dataSource, bool integratedSecurity,
                                   int loginTimeoutSeconds, qint64 attemptMs) {
    const TAdoConnectionString::ServerAddress a = TAdoConnectionString::SplitServer(dataSource);
    const QString server = dataSource.trimmed();
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(a.host.toUtf8().constData(), nullptr, &hints, &found);
    if (rc == EAI_NONAME || rc == EAI_FAIL)
        return QStringLiteral("Cannot connect to %1: host name \"%2\" not found.").arg(server, a.host);
    if (rc != 0 || found == nullptr)
        return {};
    const int port = a.port > 0 ? a.port : a.instance.isEmpty() ? kDefaultPort : 0;
    TProbe result = TProbe::Unknown;
    if (port > 0) {
        if (found->ai_family == AF_INET)
            reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_port = htons(quint16(port));
        else if (found->ai_family == AF_INET6)
            reinterpret_cast<sockaddr_in6*>(found->ai_addr)->sin6_port = htons(quint16(port));
        result = probe(found);
    }
    ::freeaddrinfo(found);
    const QString at = QStringLiteral("%1:%2").arg(a.host).arg(port);
    switch (result) {
    case TProbe::Refused:
        return QStringLiteral("Cannot connect to %1: connection refused at %2.").arg(server, at);
    case TProbe::Silent:
        return QStringLiteral("Cannot connect to %1: no answer from %2 within %3 seconds.")
            .arg(server, at)
            .arg(kProbeMs / 1000);
    case TProbe::Open:
        if (integratedSecurity && KerberosTicketMissing())
            return QStringLiteral(
                       "Cannot connect to %1 with integrated security: there is no Kerberos ticket "
                       "(run kinit).")
                .arg(server);
        if (loginTimeoutSeconds > 0 && attemptMs >= qint64(loginTimeoutSeconds) * 1000 - 500)
            return QStringLiteral("Cannot connect to %1: no answer to the log-on within %2 seconds.")
                .arg(server)
                .arg(loginTimeoutSeconds);
        return {};
    case TProbe::Unknown:
        break;
    }
    if (integratedSecurity && KerberosTicketMissing())
        return QStringLiteral(
                   "Cannot connect to %1 with integrated security: there is no Kerberos ticket (run kinit).")
            .arg(server);
    return {};
}
