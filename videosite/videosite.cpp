#include "videosite/videosite.h"

#include <QFile>
#include <QSslKey>
#include <QSslSocket>

#include <optional>

using namespace Qt::StringLiterals;

namespace videosite {

namespace {

SiteConfig configFrom(const ServerOptions &options)
{
    SiteConfig config;
    config.publicHost = options.publicHost;
    config.tls = !options.tlsCertificate.isEmpty();
    config.login.windowSeconds = options.lockoutSeconds;
    config.ticketLifetime = options.ticketLifetimeSeconds;
    return config;
}

HttpLimits limitsFrom(const ServerOptions &options)
{
    HttpLimits limits;
    limits.idleTimeoutMs = options.idleTimeoutSeconds * 1000;
    limits.headTimeoutMs = options.headTimeoutSeconds * 1000;
    limits.bodyWindowMs = options.headTimeoutSeconds * 1000;
    limits.maxConnections = options.maxConnections;
    limits.maxConnectionsPerAddress = options.connectionsPerAddress;
    return limits;
}

// The servers' side of TLS: the certificate chain and its key, from PEM files.
std::optional<QSslConfiguration> tlsConfiguration(const ServerOptions &options, QString *error)
{
    if (!QSslSocket::supportsSsl()) {
        *error = u"TLS is not available: "_s + QSslSocket::sslLibraryVersionString();
        return std::nullopt;
    }
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(options.tlsCertificate);
    if (chain.isEmpty() || chain.first().isNull()) {
        *error = u"no PEM certificate in "_s + options.tlsCertificate;
        return std::nullopt;
    }
    QFile keyFile(options.tlsKey);
    if (!keyFile.open(QIODevice::ReadOnly)) {
        *error = options.tlsKey + u": "_s + keyFile.errorString();
        return std::nullopt;
    }
    const QByteArray pem = keyFile.readAll();
    QSslKey key;
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa}) {
        key = QSslKey(pem, algorithm, QSsl::Pem, QSsl::PrivateKey);
        if (!key.isNull())
            break;
    }
    if (key.isNull()) {
        *error = u"no unencrypted PEM private key in "_s + options.tlsKey;
        return std::nullopt;
    }
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificateChain(chain);
    config.setPrivateKey(key);
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    config.setProtocol(QSsl::TlsV1_2OrLater);
    return config;
}

} // namespace

VideoSite::VideoSite(const ServerOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_config(configFrom(options))
    , m_store(options.dataDir)
    , m_siteHandler(m_store, m_config)
    , m_uploadHandler(m_store, m_config)
    , m_site(new HttpServer(&m_siteHandler, limitsFrom(options), this))
    , m_upload(new HttpServer(&m_uploadHandler, limitsFrom(options), this))
{
    connect(&m_purgeTimer, &QTimer::timeout, this, [this] { m_siteHandler.purgeExpired(); });
}

// The servers (and their connections, with any upload in progress) go first,
// while the store they use still exists.
VideoSite::~VideoSite()
{
    delete m_site;
    delete m_upload;
}

bool VideoSite::start()
{
    if (m_config.tls) {
        const std::optional<QSslConfiguration> tls = tlsConfiguration(m_options, &m_error);
        if (!tls)
            return false;
        m_site->setTlsConfiguration(*tls);
        m_upload->setTlsConfiguration(*tls);
    }
    if (!m_store.open()) {
        m_error = u"cannot open the data folder: "_s + m_store.errorString();
        return false;
    }
    const Store::CleanUp cleanUp = m_store.removeUnfinishedUploads();
    for (const QString &path : cleanUp.removed)
        qInfo("videosite: removed unfinished upload %s", qPrintable(path));
    for (const QString &path : cleanUp.unknown)
        qWarning("videosite: %s has no record in the database; kept", qPrintable(path));

    // Expired sessions, tickets and login failures are deleted now, then
    // every ten minutes, or once a ticket lifetime when that is shorter.
    m_siteHandler.purgeExpired();
    m_purgeTimer.start(int(qBound<qint64>(1, m_config.ticketLifetime, MaxPurgeIntervalSeconds))
                       * 1000);

    if (!m_site->listen(m_options.site.host, m_options.site.port)) {
        m_error = u"cannot listen on "_s + formatAddress(m_options.site.host, m_options.site.port)
                  + u": "_s + m_site->errorString();
        return false;
    }
    if (!m_upload->listen(m_options.upload.host, m_options.upload.port)) {
        m_error = u"cannot listen on "_s
                  + formatAddress(m_options.upload.host, m_options.upload.port) + u": "_s
                  + m_upload->errorString();
        return false;
    }
    m_config.sitePort = m_site->port();
    m_config.uploadPort = m_upload->port();
    return true;
}

QString VideoSite::siteAddress() const
{
    return formatAddress(m_site->address(), m_site->port());
}

QString VideoSite::uploadAddress() const
{
    return formatAddress(m_upload->address(), m_upload->port());
}

} // namespace videosite
