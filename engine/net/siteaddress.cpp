#include "engine/net/siteaddress.h"

#include "uplark_config.h"

#include <QHostAddress>

using namespace Qt::StringLiterals;

namespace uplark {

SiteAddress defaultSiteAddress()
{
    return {QString::fromLatin1(SiteHost), quint16(SitePort), QByteArray(SiteHost)};
}

SiteAddress defaultConversionAddress()
{
    return {QString::fromLatin1(ConversionHost), quint16(SitePort), QByteArray(ConversionHost)};
}

namespace {

bool isHostNameCharacter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')
           || c == u'-' || c == u'.' || c == u'_';
}

} // namespace

bool parseSiteAddress(const QString &given, SiteAddress *address, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (given.isEmpty())
        return fail(u"the address is empty"_s);
    bool tls = false;
    QString text = given;
    if (const qsizetype schemeEnd = text.indexOf(u"://"_s); schemeEnd >= 0) {
        const QString scheme = text.left(schemeEnd).toLower();
        if (scheme != u"http"_s && scheme != u"https"_s)
            return fail(u"only http:// and https:// addresses are supported"_s);
        tls = scheme == u"https"_s;
        text = text.mid(schemeEnd + 3);
        // An address copied from a browser ends in a slash.
        if (text.endsWith(u'/'))
            text.chop(1);
    }
    if (text.contains(u'/') || text.contains(u'?') || text.contains(u'#'))
        return fail(u"give the host without a path"_s);

    QString host;
    QString portText;
    bool hasPort = false;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close < 0)
            return fail(u"an IPv6 address lacks its closing bracket"_s);
        host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(u':'))
                return fail(u"only a port may follow the IPv6 address"_s);
            hasPort = true;
            portText = rest.mid(1);
        }
        QHostAddress v6;
        if (!v6.setAddress(host) || v6.protocol() != QAbstractSocket::IPv6Protocol)
            return fail(u"not an IPv6 address in brackets"_s);
    } else {
        const qsizetype colon = text.indexOf(u':');
        if (colon >= 0 && text.indexOf(u':', colon + 1) >= 0)
            return fail(u"put an IPv6 address in brackets, as in [::1]:8000"_s);
        host = colon < 0 ? text : text.left(colon);
        if (colon >= 0) {
            hasPort = true;
            portText = text.mid(colon + 1);
        }
        for (const QChar c : host) {
            if (!isHostNameCharacter(c))
                return fail(u"a host name has only letters, digits, '-', '.' and '_'"_s);
        }
    }
    if (host.isEmpty())
        return fail(u"the host is missing"_s);

    quint16 port = tls ? 443 : 80;
    if (hasPort) {
        bool digitsOnly = !portText.isEmpty() && portText.size() <= 5;
        for (const QChar c : portText)
            digitsOnly = digitsOnly && c >= u'0' && c <= u'9';
        const uint number = digitsOnly ? portText.toUInt() : 0;
        if (number < 1 || number > 65535)
            return fail(u"the port must be a number from 1 to 65535"_s);
        port = quint16(number);
    }
    address->host = host;
    address->port = port;
    // As HTTP writes an authority: the text as given, port and brackets too.
    address->authority = text.toLatin1();
    address->tls = tls;
    return true;
}

QString endpointText(const QString &host, int port)
{
    return (host.contains(u':') ? u'[' + host + u']' : host) + u':' + QString::number(port);
}

} // namespace uplark
