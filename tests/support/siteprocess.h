#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// Runs the stand-in video site (the videosite executable named by the
// UPLARK_VIDEOSITE environment variable) as a separate process on ephemeral
// loopback ports, with its data in a temporary folder.
class SiteProcess
{
public:
    ~SiteProcess();

    // Starts the server; false (with errorString()) when it did not come up.
    bool start(const QStringList &extraArgs = {});
    // Stops it with SIGTERM and waits for it to end; true when it exited cleanly.
    bool stop();
    // Ends it at once with SIGKILL.
    void kill();

    // Adds or resets an account through the executable's add-account command.
    bool addAccount(const QString &name, const QString &password);

    QString dataDir() const { return m_data.path(); }
    quint16 sitePort() const { return m_sitePort; }
    quint16 uploadPort() const { return m_uploadPort; }
    QString errorString() const { return m_error; }
    QProcess &process() { return m_process; }

private:
    QTemporaryDir m_data;
    QProcess m_process;
    quint16 m_sitePort = 0;
    quint16 m_uploadPort = 0;
    QString m_error;
};
