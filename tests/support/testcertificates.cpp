#include "testcertificates.h"

#include <QProcess>

using namespace Qt::StringLiterals;

bool TestCertificates::make()
{
    QProcess script;
    script.start(QStringLiteral(UPLARK_TEST_CERTS_SCRIPT), {m_dir.path()});
    if (!script.waitForFinished(60000) || script.exitStatus() != QProcess::NormalExit
        || script.exitCode() != 0) {
        m_error = u"make-test-certs.sh failed: "_s + script.errorString() + u' '
                  + QString::fromLocal8Bit(script.readAllStandardError());
        return false;
    }
    return true;
}

QString TestCertificates::path(const QString &fileName) const
{
    return m_dir.filePath(fileName);
}

QSslCertificate TestCertificates::authority() const
{
    return QSslCertificate::fromPath(path(u"ca.pem"_s)).value(0);
}
