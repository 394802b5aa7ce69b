// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/KeychainCredentials.h"

#include <qt6keychain/keychain.h>

#include <QPointer>
#include <QTimer>

#include <memory>

namespace {

SyncError keychainError(int code, const QString &description, const QString &account)
{
    SyncError inner;
    inner.domain = QStringLiteral("QtKeychain");
    inner.code = code;
    inner.localizedDescription = description;
    return SyncError::wrapping(SyncError::notAuthenticated,
                               QStringLiteral("No se pudo leer la contraseña del almacén de "
                                              "secretos."),
                               inner)
        .with(SyncErrorInfo::plain(QStringLiteral("account"), account));
}

// Runs a job and answers once: with its result, or as failed after the timeout. The
// answer holds no reference to the job, which deletes itself when it ends.
template <typename Job, typename Answer>
void runJob(Job *job, std::chrono::milliseconds timeout, QObject *owner, Answer answer)
{
    auto answered = std::make_shared<bool>(false);
    auto timer = new QTimer(owner);
    timer->setSingleShot(true);
    QObject::connect(job, &QKeychain::Job::finished, owner,
                     [answered, answer, timer](QKeychain::Job *finished) {
                         timer->deleteLater();
                         if (*answered)
                             return;
                         *answered = true;
                         answer(static_cast<Job *>(finished));
                     });
    QObject::connect(timer, &QTimer::timeout, owner, [answered, answer, timer] {
        timer->deleteLater();
        if (*answered)
            return;
        *answered = true;
        answer(nullptr);
    });
    timer->start(timeout);
    job->setAutoDelete(true);
    job->start();
}

} // namespace

KeychainCredentials::KeychainCredentials(QObject *parent, std::chrono::milliseconds timeout)
    : SyncCredentials(parent), m_timeout(timeout)
{
}

void KeychainCredentials::readPassword(const QString &account, ReadDone done)
{
    auto *job = new QKeychain::ReadPasswordJob(service);
    job->setKey(account);
    job->setInsecureFallback(false);
    runJob(job, m_timeout, this, [done, account](QKeychain::ReadPasswordJob *finished) {
        if (!finished) {
            done(Unexpected(keychainError(
                -1, QStringLiteral("El almacén de secretos no respondió."), account)));
            return;
        }
        if (finished->error() != QKeychain::NoError) {
            done(Unexpected(keychainError(finished->error(), finished->errorString(), account)));
            return;
        }
        done(finished->textData());
    });
}

void KeychainCredentials::writePassword(const QString &account, const QString &password,
                                        WriteDone done)
{
    auto *job = new QKeychain::WritePasswordJob(service);
    job->setKey(account);
    job->setInsecureFallback(false);
    job->setTextData(password);
    runJob(job, m_timeout, this, [done, account](QKeychain::WritePasswordJob *finished) {
        if (!finished) {
            done(Unexpected(keychainError(
                -1, QStringLiteral("El almacén de secretos no respondió."), account)));
            return;
        }
        if (finished->error() != QKeychain::NoError) {
            done(Unexpected(keychainError(finished->error(), finished->errorString(), account)));
            return;
        }
        done({});
    });
}

void KeychainCredentials::removePassword(const QString &account, WriteDone done)
{
    auto *job = new QKeychain::DeletePasswordJob(service);
    job->setKey(account);
    job->setInsecureFallback(false);
    runJob(job, m_timeout, this, [done, account](QKeychain::DeletePasswordJob *finished) {
        if (!finished) {
            done(Unexpected(keychainError(
                -1, QStringLiteral("El almacén de secretos no respondió."), account)));
            return;
        }
        if (finished->error() != QKeychain::NoError &&
            finished->error() != QKeychain::EntryNotFound) {
            done(Unexpected(keychainError(finished->error(), finished->errorString(), account)));
            return;
        }
        done({});
    });
}
