#include "engine/net/netproblems.h"

#include "engine/net/proxy.h"

#include <QCoreApplication>
#include <QSslError>

namespace uplark {

namespace {

QString translate(const char *text)
{
    return QCoreApplication::translate("uplark::NetProblems", text);
}

QString untrustedIssuer()
{
    return translate("certificate is not signed by a trusted authority");
}

} // namespace

QString certificateReason(const QSslError &error)
{
    switch (error.error()) {
    case QSslError::CertificateExpired:
        return translate("certificate has expired");
    case QSslError::CertificateNotYetValid:
        return translate("certificate is not yet valid");
    case QSslError::HostNameMismatch:
        return translate("host name does not match");
    case QSslError::CertificateRevoked:
        return translate("certificate has been revoked");
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
        return untrustedIssuer();
    default:
        return error.errorString();
    }
}

QString certificateReasonForVerifyResult(long result)
{
    // OpenSSL's X509_V_ERR_* values.
    switch (result) {
    case 0:  // the chain was good; libcurl's own check of the name failed
    case 62: // X509_V_ERR_HOSTNAME_MISMATCH
        return translate("host name does not match");
    case 10: // X509_V_ERR_CERT_HAS_EXPIRED
        return translate("certificate has expired");
    case 9: // X509_V_ERR_CERT_NOT_YET_VALID
        return translate("certificate is not yet valid");
    case 23: // X509_V_ERR_CERT_REVOKED
        return translate("certificate has been revoked");
    case 2:  // X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT
    case 18: // X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT
    case 19: // X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN
    case 20: // X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY
    case 21: // X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE
    case 27: // X509_V_ERR_CERT_UNTRUSTED
        return untrustedIssuer();
    default:
        return translate("certificate cannot be verified (error %1)").arg(result);
    }
}

QString certificateProblem(const QString &host, int port, const QString &reason)
{
    const QString shownHost = host.contains(u':') ? u'[' + host + u']' : host;
    const QString where = port == 443 ? shownHost : shownHost + u':' + QString::number(port);
    return translate("Secure connection to %1 refused: %2.").arg(where, reason);
}

QString proxyProblem(const ProxyAddress &proxy, const QString &reason)
{
    return translate("Through the proxy %1: %2.").arg(proxy.name(), reason);
}

} // namespace uplark
