#pragma once

#include <QString>

class QSslError;

namespace uplark {

struct ProxyAddress;

// What the user is told, beyond "Connection error!", when a connection is
// refused because the server's certificate cannot be trusted, or fails on
// its way through a proxy. The connections of the chain and the libcurl
// request give the same texts.

// Why a certificate is refused: "certificate has expired", "host name does
// not match", "certificate is not signed by a trusted authority", ...
QString certificateReason(const QSslError &error);
// The same for an OpenSSL verification result as libcurl reports it; 0 (the
// chain itself was good) is the host name that libcurl found not to match.
QString certificateReasonForVerifyResult(long result);

// "Secure connection to HOST refused: REASON." (HOST with its port unless
// it is 443).
QString certificateProblem(const QString &host, int port, const QString &reason);
// "Through the proxy HOST:PORT: REASON."
QString proxyProblem(const ProxyAddress &proxy, const QString &reason);

} // namespace uplark
