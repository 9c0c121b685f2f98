#pragma once

#include <QString>

#include <functional>

class QObject;

namespace uplark {

// The desktop's keyring (the Secret Service of GNOME Keyring or KeePassXC,
// or KWallet): secrets kept under an entry name, asked for asynchronously.
// Each call answers once, through `done`, from the event loop and never
// before it returns; not at all when `context` is gone by then.
class Keyring
{
public:
    enum class Result {
        Done,        // read, written or removed
        NotFound,    // no such entry (reading or removing)
        Unavailable, // no keyring answered, or it refused; `text` says why
    };
    // `text`: the secret read, or why the keyring is unavailable.
    using Done = std::function<void(Result result, const QString &text)>;

    virtual ~Keyring() = default;
    virtual void read(const QString &entry, QObject *context, Done done) = 0;
    virtual void write(const QString &entry, const QString &secret, QObject *context,
                       Done done) = 0;
    virtual void remove(const QString &entry, QObject *context, Done done) = 0;
};

} // namespace uplark
