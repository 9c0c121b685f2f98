#include "engine/model/settings.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cstdio>

namespace uplark {

using namespace Qt::StringLiterals;

SettingsStore::SettingsStore(const QString &folder)
    : m_folder(folder)
{
}

QString SettingsStore::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString SettingsStore::filePath(const QString &application) const
{
    return m_folder + u'/' + application + u'/' + application + u".conf"_s;
}

QString SettingsStore::value(const QString &application, const QString &section,
                             const QString &key) const
{
    return values(application, section, {key}).constFirst();
}

QStringList SettingsStore::values(const QString &application, const QString &section,
                                  const QStringList &keys) const
{
    QStringList found;
    if (!QFile::exists(filePath(application))) {
        for (qsizetype i = 0; i < keys.size(); ++i)
            found.append(QString());
        return found;
    }
    // QSettings reads the file once, when first asked.
    QSettings settings(filePath(application), QSettings::IniFormat);
    settings.beginGroup(section);
    // Values are written as strings, but QSettings may hand back another type
    // that it cached in this process: always read strings.
    for (const QString &key : keys)
        found.append(settings.value(key).toString());
    return found;
}

bool SettingsStore::setValue(const QString &application, const QString &section, const QString &key,
                             const QString &value)
{
    return setValues(application, section, {{key, value}});
}

std::unique_ptr<QLockFile> SettingsStore::lockForChange(const QString &application)
{
    const QString dir = m_folder + u'/' + application;
    QDir().mkpath(dir);
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // QSettings locks "<file>.lock" itself while it writes a file: this lock
    // has a name of its own.
    auto lock = std::make_unique<QLockFile>(filePath(application) + u".writing"_s);
    if (!lock->tryLock(10000))
        return nullptr;
    return lock;
}

bool SettingsStore::setValues(const QString &application, const QString &section,
                              const Values &values, const QLockFile *held)
{
    std::unique_ptr<QLockFile> lock;
    if (!held) {
        lock = lockForChange(application);
        if (!lock)
            return false;
    }
    const QString path = filePath(application);

    // The copy is made readable by its owner only before anything is written
    // into it, and keeps that mode when it takes the file's place.
    QTemporaryFile copy(path + u".XXXXXX"_s);
    if (!copy.open())
        return false;
    copy.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    QFile current(path);
    if (current.open(QIODevice::ReadOnly)) {
        if (copy.write(current.readAll()) < 0 || current.error() != QFile::NoError)
            return false;
        current.close();
    }
    copy.close();
    {
        QSettings settings(copy.fileName(), QSettings::IniFormat);
        settings.beginGroup(section);
        for (const auto &[key, value] : values)
            settings.setValue(key, value);
        settings.endGroup();
        settings.sync();
        if (settings.status() != QSettings::NoError)
            return false;
    }
    QFile::setPermissions(copy.fileName(), QFile::ReadOwner | QFile::WriteOwner);
    if (::rename(QFile::encodeName(copy.fileName()).constData(),
                 QFile::encodeName(path).constData())
        != 0)
        return false;
    copy.setAutoRemove(false);
    return true;
}

} // namespace uplark
