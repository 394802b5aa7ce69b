// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/UrlSafety.h"

#include <QHostAddress>
#include <QUrl>

namespace UrlSafety {

bool isLoopback(const QUrl &url)
{
    const QString host = url.host().toLower();
    if (host.isEmpty())
        return false;
    // RFC 6761: localhost and names under it always mean this computer.
    if (host == u"localhost" || host.endsWith(u".localhost"))
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

bool travelsInClear(const QUrl &url)
{
    return url.scheme().compare(u"http", Qt::CaseInsensitive) == 0 && !isLoopback(url);
}

bool isPrivateChannel(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == u"https" || (scheme == u"http" && isLoopback(url));
}

} // namespace UrlSafety
