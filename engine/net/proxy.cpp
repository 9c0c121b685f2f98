#include "engine/net/proxy.h"

#include "engine/net/siteaddress.h"

#include <QHostAddress>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace uplark {

QString ProxyAddress::name() const
{
    const QString shownHost = host.contains(u':') ? u'[' + host + u']' : host;
    return shownHost + u':' + QString::number(port);
}

bool parseProxyAddress(const QString &given, ProxyAddress *proxy, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    QString text = given.trimmed();
    if (const qsizetype schemeEnd = text.indexOf(u"://"_s); schemeEnd >= 0) {
        if (text.left(schemeEnd).compare(u"http"_s, Qt::CaseInsensitive) != 0)
            return fail(u"only http:// proxies are supported"_s);
        text = text.mid(schemeEnd + 3);
    }
    if (text.endsWith(u'/'))
        text.chop(1);

    ProxyAddress parsed;
    if (const qsizetype at = text.lastIndexOf(u'@'); at >= 0) {
        const QString userInfo = text.left(at);
        const qsizetype colon = userInfo.indexOf(u':');
        parsed.user = QUrl::fromPercentEncoding(userInfo.left(colon).toUtf8());
        if (colon >= 0)
            parsed.password = QUrl::fromPercentEncoding(userInfo.mid(colon + 1).toUtf8());
        text = text.mid(at + 1);
    }

    SiteAddress address;
    QString why;
    if (!parseSiteAddress(text, &address, &why))
        return fail(why);
    parsed.host = address.host;
    // A port follows the host, or the closing bracket of an IPv6 address.
    const qsizetype hostEnd = text.startsWith(u'[') ? text.indexOf(u']') : 0;
    parsed.port = text.indexOf(u':', hostEnd) >= 0 ? address.port : 1080;
    *proxy = parsed;
    return true;
}

namespace {

bool isExempt(const QStringList &exempt, const QString &givenHost)
{
    const QString host = givenHost.toLower();
    QHostAddress ip;
    const bool isIp = ip.setAddress(host);
    for (QString entry : exempt) {
        entry = entry.trimmed().toLower();
        if (entry.isEmpty())
            continue;
        if (entry == u"*"_s)
            return true;
        if (entry.contains(u'/')) {
            if (isIp && ip.isInSubnet(QHostAddress::parseSubnet(entry)))
                return true;
            continue;
        }
        if (entry.startsWith(u'[') && entry.endsWith(u']'))
            entry = entry.mid(1, entry.size() - 2);
        if (entry.startsWith(u'.'))
            entry = entry.mid(1);
        if (host == entry || (!isIp && host.endsWith(u'.' + entry)))
            return true;
    }
    return false;
}

// The variable in lower case, else in upper case; empty counts as unset.
QString variable(const QProcessEnvironment &environment, const QString &lowerName)
{
    const QString lower = environment.value(lowerName);
    return lower.isEmpty() ? environment.value(lowerName.toUpper()) : lower;
}

} // namespace

std::optional<ProxyAddress> ProxySettings::proxyFor(const QString &host, bool tls) const
{
    const std::optional<ProxyAddress> &proxy = every ? every : (tls ? https : http);
    if (!proxy || isExempt(exempt, host))
        return std::nullopt;
    return proxy;
}

bool proxySettingsFromEnvironment(const QProcessEnvironment &environment, ProxySettings *settings,
                                  QString *error)
{
    ProxySettings read;
    for (const auto &[name, slot] :
         {std::pair{u"http_proxy"_s, &read.http}, std::pair{u"https_proxy"_s, &read.https}}) {
        const QString value = variable(environment, name);
        if (value.isEmpty())
            continue;
        ProxyAddress proxy;
        QString why;
        if (!parseProxyAddress(value, &proxy, &why)) {
            if (error)
                *error = u"bad proxy address in %1: %2"_s.arg(name, why);
            return false;
        }
        *slot = proxy;
    }
    read.exempt = variable(environment, u"no_proxy"_s).split(u',', Qt::SkipEmptyParts);
    *settings = read;
    return true;
}

} // namespace uplark
