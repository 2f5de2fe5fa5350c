#include "state/KeychainPasswort.h"

#include "state/ErrorReport.h"

#include <QEventLoop>
#include <QTimer>

namespace tarnvik {

namespace {

const QString kKey = QStringLiteral("Passwort");
// A password larger than this is taken as damaged.
constexpr qsizetype kMaxPasswort = 1 << 20;

} // namespace

KeychainPasswort::KeychainPasswort(std::shared_ptr<SecretStore> store, QObject *parent)
    : QObject(parent), m_store(std::move(store))
{
}

void KeychainPasswort::start(const std::optional<QString> &inFile)
{
    if (!m_store || inFile) {
        m_value = inFile.value_or(QString());
        m_known = true;
        // A password kept in plain text moves into the keychain now rather
        // than at exit, so that it is safe even if the program does not end
        // normally.
        if (m_store)
            write(m_value);
        return;
    }
    m_reading = true;
    m_store->read(kKey, this, [this](SecretStore::Status status, const QString &value) {
        m_reading = false;
        // A password the user set meanwhile wins over the stored one.
        if (!m_changed) {
            switch (status) {
            case SecretStore::Status::Ok:
                m_inKeychain = true;
                if (value.size() > kMaxPasswort) {
                    reportError(QStringLiteral("Fehler beim Holen der Daten für '%1'").arg(kKey));
                } else {
                    m_value = value;
                    m_known = true;
                }
                break;
            case SecretStore::Status::NotFound:
                m_inKeychain = true;
                m_known = true;
                break;
            case SecretStore::Status::Unavailable:
                break;
            }
        }
        emit keychainAnswered();
    });
}

void KeychainPasswort::set(const QString &value)
{
    m_value = value;
    m_known = true;
    m_changed = true;
    m_inKeychain = false;
    if (m_store)
        write(value);
}

void KeychainPasswort::write(const QString &value)
{
    ++m_writesOpen;
    const int number = ++m_latestWrite;
    m_store->write(kKey, value, this, [this, number](SecretStore::Status status, const QString &) {
        --m_writesOpen;
        if (number == m_latestWrite)
            m_inKeychain = status == SecretStore::Status::Ok;
        emit keychainAnswered();
    });
}

KeychainPasswort::FileEntry KeychainPasswort::fileEntry() const
{
    if (!m_known)
        return FileEntry::Leave;
    if (m_inKeychain)
        return FileEntry::Remove;
    if (m_store && m_writesOpen > 0 && !m_finished)
        return FileEntry::Leave;
    return FileEntry::Put;
}

void KeychainPasswort::finish(int maxWaitMs)
{
    if (m_store && m_changed && !m_inKeychain) {
        // The keychain may have come back since it last refused.
        if (m_writesOpen == 0)
            write(m_value);
        QEventLoop loop;
        connect(this, &KeychainPasswort::keychainAnswered, &loop, [this, &loop] {
            if (m_inKeychain || m_writesOpen == 0)
                loop.quit();
        });
        QTimer::singleShot(maxWaitMs, &loop, &QEventLoop::quit);
        if (!m_inKeychain && m_writesOpen > 0)
            loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    m_finished = true;
}

} // namespace tarnvik
