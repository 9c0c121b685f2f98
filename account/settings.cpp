#include "account/settings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

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
    if (!QFile::exists(filePath(application)))
        return {};
    QSettings settings(filePath(application), QSettings::IniFormat);
    settings.beginGroup(section);
    // Values are written as strings, but QSettings may hand back another type
    // that it cached in this process: always read strings.
    return settings.value(key).toString();
}

void SettingsStore::setValue(const QString &application, const QString &section,
                             const QString &key, const QString &value)
{
    const QString dir = m_folder + u'/' + application;
    QDir().mkpath(dir);
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString path = filePath(application);
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.beginGroup(section);
        settings.setValue(key, value);
        settings.endGroup();
        settings.sync();
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace uplark
