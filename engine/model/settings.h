#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <utility>

class QLockFile;

namespace uplark {

class Keyring;

// The per-user settings store: string values addressed by application,
// section and key, kept in <folder>/<application>/<application>.conf, and
// the desktop keyring for the account's password where one answers. The
// file may hold the password in plain text (where no keyring answers), so
// the folder and the file are kept readable by their owner only.
class SettingsStore
{
public:
    explicit SettingsStore(const QString &folder);

    // The keyring the account's password goes to; none (null) keeps it in
    // the file.
    void setKeyring(Keyring *keyring) { m_keyring = keyring; }
    Keyring *keyring() const { return m_keyring; }

    // The user's configuration folder ($XDG_CONFIG_HOME, ~/.config).
    static QString defaultFolder();

    // The stored string, "" when the key is absent.
    QString value(const QString &application, const QString &section, const QString &key) const;
    // Several keys read from one state of the file, as one write left them.
    QStringList values(const QString &application, const QString &section,
                       const QStringList &keys) const;
    // Stores the string, creating the key, the section and the file as needed.
    // Several programs may write the same file at once (the window and the
    // command line): each write holds a lock file next to it while it reads
    // the file, changes the copy and puts the copy in place with one rename,
    // so no write is lost and no reader sees half a file. False when the
    // file could not be written.
    bool setValue(const QString &application, const QString &section, const QString &key,
                  const QString &value);

    // Several keys of one section, stored together in one replacement of
    // the file under the same lock: a reader sees all of them or none. With
    // `held`, the caller holds the lock already (lockForChange).
    using Values = QList<std::pair<QString, QString>>;
    bool setValues(const QString &application, const QString &section, const Values &values,
                   const QLockFile *held = nullptr);
    // The lock every write of the application's file holds, for a change
    // that takes several steps (the keyring, then the file); null when
    // another program has kept it for 10 s.
    std::unique_ptr<QLockFile> lockForChange(const QString &application);

    QString filePath(const QString &application) const;

private:
    QString m_folder;
    Keyring *m_keyring = nullptr;
};

// The application and section name of every key the program uses.
inline constexpr char16_t SettingsApp[] = u"uplark";

} // namespace uplark
