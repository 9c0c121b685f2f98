#pragma once

#include <QString>

namespace uplark {

// The per-user settings store: string values addressed by application,
// section and key, kept in <folder>/<application>/<application>.conf.
// The file holds the account password in plain text, so the folder and the
// file are kept readable by their owner only.
class SettingsStore
{
public:
    explicit SettingsStore(const QString &folder);

    // The user's configuration folder ($XDG_CONFIG_HOME, ~/.config).
    static QString defaultFolder();

    // The stored string, "" when the key is absent.
    QString value(const QString &application, const QString &section, const QString &key) const;
    // Stores the string, creating the key, the section and the file as needed.
    // Several programs may write the same file at once (the window and the
    // command line): each write holds a lock file next to it while it reads
    // the file, changes the copy and puts the copy in place with one rename,
    // so no write is lost and no reader sees half a file. False when the
    // file could not be written.
    bool setValue(const QString &application, const QString &section, const QString &key,
                  const QString &value);

    QString filePath(const QString &application) const;

private:
    QString m_folder;
};

// The application and section name of every key the program uses.
inline constexpr char16_t SettingsApp[] = u"uplark";

} // namespace uplark
