#pragma once

// A keychain in memory for tests of the data module: it answers at once, and
// `available` false makes it behave as a system without a keychain.
#include "state/SecretStore.h"

#include <QHash>

struct MemorySecretStore : tarnvik::SecretStore {
    QHash<QString, QString> values;
    bool available = true;

    Status read(const QString &key, QString &value) override
    {
        if (!available)
            return Status::Unavailable;
        const auto it = values.constFind(key);
        if (it == values.constEnd())
            return Status::NotFound;
        value = *it;
        return Status::Ok;
    }

    Status write(const QString &key, const QString &value) override
    {
        if (!available)
            return Status::Unavailable;
        values.insert(key, value);
        return Status::Ok;
    }
};
