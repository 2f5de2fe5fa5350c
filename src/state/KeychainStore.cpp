#include "state/SecretStore.h"

#include <QEventLoop>
#include <QTimer>

#include <optional>

#include <qt6keychain/keychain.h>

namespace tarnvik {

namespace {

class KeychainStore final : public SecretStore
{
public:
    KeychainStore(QString service, int timeoutMs) : m_service(std::move(service)), m_timeoutMs(timeoutMs) {}

    Status read(const QString &key, QString &value) override
    {
        if (m_hung)
            return Status::Unavailable;
        auto *job = new QKeychain::ReadPasswordJob(m_service);
        job->setKey(key);
        const std::optional<QKeychain::Error> error = run(job);
        if (!error)
            return Status::Unavailable;
        const std::unique_ptr<QKeychain::ReadPasswordJob> done(job);
        if (*error == QKeychain::EntryNotFound)
            return Status::NotFound;
        if (*error != QKeychain::NoError)
            return Status::Unavailable;
        value = done->textData();
        return Status::Ok;
    }

    Status write(const QString &key, const QString &value) override
    {
        if (m_hung)
            return Status::Unavailable;
        auto *job = new QKeychain::WritePasswordJob(m_service);
        job->setKey(key);
        job->setTextData(value);
        const std::optional<QKeychain::Error> error = run(job);
        if (!error)
            return Status::Unavailable;
        const std::unique_ptr<QKeychain::WritePasswordJob> done(job);
        return *error == QKeychain::NoError ? Status::Ok : Status::Unavailable;
    }

private:
    // Starts the job and waits for it within the bound: its error, after
    // which the caller owns the job; or nothing when it did not finish in
    // time, and the job deletes itself whenever it does.
    std::optional<QKeychain::Error> run(QKeychain::Job *job)
    {
        job->setAutoDelete(false);
        // Never the keychain library's own plain-text fallback: where there
        // is no keychain, the caller decides where the secret goes.
        job->setInsecureFallback(false);
        QEventLoop loop;
        bool finished = false;
        QObject::connect(job, &QKeychain::Job::finished, &loop, [&] {
            finished = true;
            loop.quit();
        });
        QTimer::singleShot(m_timeoutMs, &loop, &QEventLoop::quit);
        job->start();
        if (!finished)
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        if (!finished) {
            m_hung = true;
            QObject::disconnect(job, nullptr, &loop, nullptr);
            job->setAutoDelete(true);
            return std::nullopt;
        }
        return job->error();
    }

    QString m_service;
    int m_timeoutMs;
    bool m_hung = false;
};

} // namespace

std::shared_ptr<SecretStore> systemKeychain(const QString &service, int timeoutMs)
{
    return std::make_shared<KeychainStore>(service, timeoutMs);
}

} // namespace tarnvik
