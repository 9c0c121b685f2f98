#pragma once

#include <QSslCertificate>
#include <QString>
#include <QTemporaryDir>

// The test CA and server certificates of make-test-certs.sh (beside this
// file), made afresh in a temporary folder: "localhost.pem"/".key" signed by
// the test CA, "expired", "wronghost" (wrong.example) and "untrusted" (signed
// by a CA no test trusts). Needs the openssl command.
class TestCertificates
{
public:
    // Runs the script; false (with errorString()) when it failed.
    bool make();
    QString errorString() const { return m_error; }

    // The path of one of the files, such as "localhost.pem".
    QString path(const QString &fileName) const;
    // The CA that signs the certificates a test trusts.
    QSslCertificate authority() const;

private:
    QTemporaryDir m_dir;
    QString m_error;
};
