#include "siteprocess.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

quint16 portOf(const QByteArray &line)
{
    const qsizetype colon = line.lastIndexOf(':');
    return colon < 0 ? 0 : quint16(line.mid(colon + 1).trimmed().toUInt());
}

QString executable()
{
    return QProcessEnvironment::systemEnvironment().value(u"UPLARK_VIDEOSITE"_s);
}

} // namespace

SiteProcess::~SiteProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool SiteProcess::start(const QStringList &extraArgs)
{
    if (executable().isEmpty()) {
        m_error = u"UPLARK_VIDEOSITE is not set"_s;
        return false;
    }
    m_process.start(executable(),
                    QStringList{u"--data"_s, m_data.path(), u"--listen"_s, u"127.0.0.1:0"_s,
                                u"--upload-listen"_s, u"127.0.0.1:0"_s}
                        + extraArgs);
    if (!m_process.waitForStarted(10000)) {
        m_error = m_process.errorString();
        return false;
    }
    // The server prints the site address and then the upload server address.
    QList<QByteArray> lines;
    QDeadlineTimer deadline(20000);
    while (lines.size() < 2 && !deadline.hasExpired()) {
        while (m_process.canReadLine() && lines.size() < 2)
            lines.append(m_process.readLine());
        if (lines.size() < 2 && !m_process.waitForReadyRead(int(deadline.remainingTime())))
            break;
    }
    if (lines.size() < 2) {
        m_error = u"videosite printed no addresses: "_s
                  + QString::fromLocal8Bit(m_process.readAllStandardError());
        return false;
    }
    m_sitePort = portOf(lines.at(0));
    m_uploadPort = portOf(lines.at(1));
    return m_sitePort != 0 && m_uploadPort != 0;
}

bool SiteProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return false;
    ::kill(pid_t(m_process.processId()), SIGTERM);
    return m_process.waitForFinished(15000) && m_process.exitStatus() == QProcess::NormalExit
           && m_process.exitCode() == 0;
}

bool SiteProcess::addAccount(const QString &name, const QString &password)
{
    QProcess p;
    p.start(executable(), {u"--data"_s, m_data.path(), u"add-account"_s, name});
    p.write(password.toUtf8() + '\n');
    p.closeWriteChannel();
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

void SiteProcess::kill()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}
