#include "state/SecretStore.h"

#include <QObject>

#include <qt6keychain/keychain.h>

namespace tarnvik {

namespace {

class KeychainStore final : public SecretStore
{
public:
    explicit KeychainStore(QString service) : m_service(std::move(service)) {}

    void read(const QString &key, QObject *context, Answer answer) override
    {
        auto *job = new QKeychain::ReadPasswordJob(m_service);
        job->setKey(key);
        start(job, context, [job, answer = std::move(answer)](QKeychain::Error error) {
            if (error == QKeychain::NoError)
                answer(Status::Ok, job->textData());
            else
                answer(error == QKeychain::EntryNotFound ? Status::NotFound : Status::Unavailable, QString());
        });
    }

    void write(const QString &key, const QString &value, QObject *context, Answer answer) override
    {
        auto *job = new QKeychain::WritePasswordJob(m_service);
        job->setKey(key);
        job->setTextData(value);
        start(job, context, [answer = std::move(answer)](QKeychain::Error error) {
            answer(error == QKeychain::NoError ? Status::Ok : Status::Unavailable, QString());
        });
    }

private:
    // The job deletes itself once it has answered; until then it belongs to
    // nobody, so that neither the caller going away nor anything else ends
    // it while the keychain may be asking the user.
    static void start(QKeychain::Job *job, QObject *context, std::function<void(QKeychain::Error)> done)
    {
        job->setAutoDelete(true);
        // Never the keychain library's own plain-text fallback: where there
        // is no keychain, the caller decides where the secret goes.
        job->setInsecureFallback(false);
        QObject::connect(job, &QKeychain::Job::finished, context,
                         [job, done = std::move(done)] { done(job->error()); });
        job->start();
    }

    QString m_service;
};

} // namespace

std::shared_ptr<SecretStore> systemKeychain(const QString &service)
{
    return std::make_shared<KeychainStore>(service);
}

} // namespace tarnvik
