#pragma once

#include "engine/model/keyring.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

// A keyring in memory that answers from the event loop, as a real one does;
// or, while `unavailableBecause` is set, one that never answers (every call
// reports Unavailable with that reason).
class FakeKeyring : public uplark::Keyring
{
public:
    void read(const QString &entry, QObject *context, Done done) override
    {
        calls.append(QStringLiteral("read ") + entry);
        answer(context, std::move(done), [this, entry](Result &result, QString &text) {
            result = entries.contains(entry) ? Result::Done : Result::NotFound;
            text = entries.value(entry);
        });
    }
    void write(const QString &entry, const QString &secret, QObject *context, Done done) override
    {
        calls.append(QStringLiteral("write ") + entry);
        answer(context, std::move(done), [this, entry, secret](Result &result, QString &) {
            entries.insert(entry, secret);
            result = Result::Done;
        });
    }
    void remove(const QString &entry, QObject *context, Done done) override
    {
        calls.append(QStringLiteral("remove ") + entry);
        answer(context, std::move(done), [this, entry](Result &result, QString &) {
            result = entries.remove(entry) ? Result::Done : Result::NotFound;
        });
    }

    QHash<QString, QString> entries;
    QStringList calls;
    QString unavailableBecause;

private:
    template<typename Act>
    void answer(QObject *context, Done done, Act act)
    {
        QTimer::singleShot(0, context, [this, done = std::move(done), act] {
            Result result = Result::Unavailable;
            QString text = unavailableBecause;
            if (unavailableBecause.isEmpty())
                act(result, text);
            done(result, text);
        });
    }
};
