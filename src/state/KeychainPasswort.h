#pragma once

#include "state/SecretStore.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace tarnvik {

// The user's password with the keychain as its place. Nothing here waits
// for the keychain: it is read and written in the background, and the
// answer, whenever it comes (the keychain may be asking the user for its own
// password), is announced by `keychainAnswered`. Without a keychain the
// password lives in the settings file alone.
class KeychainPasswort : public QObject
{
    Q_OBJECT
public:
    explicit KeychainPasswort(std::shared_ptr<SecretStore> store, QObject *parent = nullptr);

    // Starts with what the settings file holds: a password found there
    // moves into the keychain (and out of the file once the keychain has
    // taken it); without one, the keychain is read.
    void start(const std::optional<QString> &inFile);

    bool hasKeychain() const { return bool(m_store); }
    // Whether the keychain is still to answer the reading at start.
    bool reading() const { return m_reading; }
    // Whether the password is known. It is not while it is read, nor where
    // the keychain could not be read: an unknown password is never stored,
    // neither as empty nor otherwise, unless the user sets one.
    bool known() const { return m_known; }
    // The password; empty while it is not known.
    const QString &value() const { return m_value; }
    // Whether the keychain holds the password as it is now.
    bool inKeychain() const { return m_inKeychain; }

    // The user's new password: written to the keychain at once.
    void set(const QString &value);

    enum class FileEntry { Leave, Put, Remove };
    // What the settings file should hold of the password: none where the
    // keychain has taken it; the password where the keychain has refused it
    // or there is none; and where it is unknown, or the keychain is still to
    // answer a write (before `finish`), whatever the file holds now.
    FileEntry fileEntry() const;

    // At exit: a changed password that the keychain has not taken yet gets
    // one more chance of at most `maxWaitMs`; afterwards a password the
    // keychain has not taken belongs in the settings file.
    void finish(int maxWaitMs);

Q_SIGNALS:
    // known(), value(), inKeychain() or fileEntry() may have changed.
    void keychainAnswered();

private:
    void write(const QString &value);

    std::shared_ptr<SecretStore> m_store;
    QString m_value;
    bool m_known = false;
    bool m_reading = false;
    bool m_inKeychain = false;
    bool m_changed = false;
    bool m_finished = false;
    // Writes sent and not answered; only the answer to the latest counts.
    int m_writesOpen = 0;
    int m_latestWrite = 0;
};

} // namespace tarnvik
