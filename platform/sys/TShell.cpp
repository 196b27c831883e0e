#include "TShell.h"

#include <QDesktopServices>
#include <QUrl>

bool TShell::Open(const QString& address) {
    const QUrl url(address, QUrl::TolerantMode);
    return url.isValid() && QDesktopServices::openUrl(url);
}
