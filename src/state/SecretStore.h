#pragma once

#include <QString>

#include <functional>
#include <memory>

class QObject;

namespace tarnvik {

// A place for secrets outside the settings file, such as the desktop's
// keychain. Calls return at once; the answer comes later, on the calling
// thread, and only while `context` lives. A store may take as long as it
// needs: the desktop's keychain may be waiting for the user at a prompt of
// its own, and nothing here gives up on that.
class SecretStore
{
public:
    enum class Status { Ok, NotFound, Unavailable };
    // The status and, for a read that found the key, its value.
    using Answer = std::function<void(Status status, const QString &value)>;

    virtual ~SecretStore() = default;
    virtual void read(const QString &key, QObject *context, Answer answer) = 0;
    virtual void write(const QString &key, const QString &value, QObject *context, Answer answer) = 0;
};

// The system keychain (the desktop's secret service; the credential store
// on Windows) under the service name `service`.
std::shared_ptr<SecretStore> systemKeychain(const QString &service);

} // namespace tarnvik
