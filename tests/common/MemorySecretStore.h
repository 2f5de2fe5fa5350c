#pragma once

// A keychain in memory for tests of the data module. It answers as the real
// one does, later and on the event loop; `available` false makes it behave as
// a system without a keychain, and `held` keeps every answer back, as a
// keychain that waits for the user at its prompt, until `answerHeld`.
#include "state/SecretStore.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

struct MemorySecretStore : tarnvik::SecretStore {
    QHash<QString, QString> values;
    bool available = true;
    bool held = false;
    // Every write asked for, answered or not, as "key=value".
    QStringList writes;

    void read(const QString &key, QObject *context, Answer answer) override
    {
        post(context, [this, key, answer] {
            if (!available)
                return answer(Status::Unavailable, QString());
            const auto it = values.constFind(key);
            answer(it == values.constEnd() ? Status::NotFound : Status::Ok, it == values.constEnd() ? QString() : *it);
        });
    }

    void write(const QString &key, const QString &value, QObject *context, Answer answer) override
    {
        writes << key + QLatin1Char('=') + value;
        post(context, [this, key, value, answer] {
            if (!available)
                return answer(Status::Unavailable, QString());
            values.insert(key, value);
            answer(Status::Ok, QString());
        });
    }

    // Gives the answers kept back, in order, and answers at once from now on.
    void answerHeld()
    {
        held = false;
        const QList<std::function<void()>> pending = std::exchange(m_pending, {});
        for (const std::function<void()> &answer : pending)
            answer();
    }

private:
    void post(QObject *context, std::function<void()> answer)
    {
        const QPointer<QObject> guard(context);
        std::function<void()> guarded = [guard, answer] {
            if (guard)
                answer();
        };
        if (held)
            m_pending << guarded;
        else
            QTimer::singleShot(0, context, guarded);
    }

    QList<std::function<void()>> m_pending;
};
