#pragma once

#include <QString>

#include <memory>

namespace tarnvik {

// A place for secrets outside the settings file, such as the desktop's
// keychain. Calls block until the store has answered; a store that cannot
// answer says Unavailable rather than keeping the caller waiting.
class SecretStore
{
public:
    enum class Status { Ok, NotFound, Unavailable };

    virtual ~SecretStore() = default;
    virtual Status read(const QString &key, QString &value) = 0;
    virtual Status write(const QString &key, const QString &value) = 0;
};

// The system keychain (the desktop's secret service; the credential store
// on Windows) under the service name `service`. Each call waits at most
// `timeoutMs` for its answer in a local event loop. A call that runs out of
// time leaves the store Unavailable for good: the keychain runs its jobs one
// after another, so every later one would wait behind the hung one.
std::shared_ptr<SecretStore> systemKeychain(const QString &service, int timeoutMs = 5000);

} // namespace tarnvik
