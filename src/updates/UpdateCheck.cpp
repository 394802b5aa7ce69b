// SPDX-License-Identifier: GPL-3.0-or-later
#include "updates/UpdateCheck.h"

#include "model/UrlSafety.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>
#include <QThread>

#include <memory>
#include <type_traits>

namespace {

// A name made only of harmless characters, so a crafted link cannot reach outside the
// download folder.
QString safeFileName(const QString &name, const QString &fallback)
{
    QString safe;
    for (const QChar c : name) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                           (c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == u'_';
        safe += plain ? c : u'_';
    }
    if (safe.isEmpty() || safe.startsWith(u'.'))
        return fallback;
    return safe;
}

// Why a reply ended without an answer worth reading, in words for the user; empty when it
// has one.
QString failureOf(const QNetworkReply &reply)
{
    const QUrl refused = reply.property("refusedRedirect").toUrl();
    if (refused.isValid()) {
        return QStringLiteral("redirige a %1, que no usa https://")
            .arg(refused.toString(QUrl::RemoveUserInfo));
    }
    if (reply.error() != QNetworkReply::NoError)
        return reply.errorString();
    return {};
}

} // namespace

UpdateCheck::UpdateCheck(QNetworkAccessManager &network, Request request, QObject *parent)
    : QObject(parent), m_network(network), m_request(std::move(request))
{
}

UpdateCheck::~UpdateCheck()
{
    // An abandoned check reports nothing: its reply must not call back into a dying object.
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void UpdateCheck::start()
{
    // The signature guards the archive, but not the feed: read in clear, it could be
    // altered on the way to hide an update.
    if (!UrlSafety::isPrivateChannel(m_request.feedURL)) {
        // Told from the event loop, as every other result, not from inside `start`.
        QMetaObject::invokeMethod(
            this,
            [this] {
                fail(QStringLiteral("El canal de actualizaciones no usa https://; no se lee: %1")
                         .arg(m_request.feedURL.toString(QUrl::RemoveUserInfo)));
            },
            Qt::QueuedConnection);
        return;
    }
    QNetworkReply *reply = get(m_request.feedURL, maximumFeedSize);
    connect(reply, &QNetworkReply::finished, this, &UpdateCheck::feedArrived);
}

QNetworkReply *UpdateCheck::get(const QUrl &url, qint64 limit)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(transferTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Orlette/%1").arg(m_request.currentVersion));
    QNetworkReply *reply = m_network.get(request);
    reply->setParent(this);
    m_reply = reply;
    connect(reply, &QNetworkReply::redirected, reply, [reply](const QUrl &target) {
        if (UrlSafety::isPrivateChannel(target)) {
            Q_EMIT reply->redirectAllowed();
        } else {
            reply->setProperty("refusedRedirect", target);
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::downloadProgress, reply,
            [reply, limit](qint64 received, qint64 total) {
                if (received > limit || total > limit)
                    reply->abort();
            });
    return reply;
}

void UpdateCheck::feedArrived()
{
    QNetworkReply *reply = m_reply;
    reply->deleteLater();
    if (const QString failure = failureOf(*reply); !failure.isEmpty()) {
        fail(QStringLiteral("No se pudo leer el canal de actualizaciones: %1").arg(failure));
        return;
    }
    QString error;
    const auto feed = AppcastFeed::parse(reply->readAll(), reply->url(), &error);
    if (!feed) {
        fail(QStringLiteral("El canal de actualizaciones no se entiende: %1").arg(error));
        return;
    }
    m_feedWasRead = true;
    const auto item = feed->newestApplicable(m_request.currentVersion);
    if (!item) {
        finish({Outcome::notFound, {}, {}, true});
        return;
    }
    m_item = *item;
    m_signature = UpdateSignature::fromPublicKey(m_request.publicKey);
    if (!m_signature) {
        fail(QStringLiteral("No hay una clave válida para comprobar la firma de las "
                            "actualizaciones."));
        return;
    }

    // A daily check should not fetch the same archive again: one kept from an earlier
    // check is used when it still passes the signature.
    inBackground(
        [signature = *m_signature, expected = m_item.edSignature, path = archivePath()] {
            QFile kept(path);
            if (!kept.open(QIODevice::ReadOnly) || kept.size() > maximumArchiveSize)
                return false;
            return signature.verifies(kept.readAll(), expected);
        },
        [this](bool usable) {
            if (usable)
                announce();
            else
                download();
        });
}

void UpdateCheck::download()
{
    if (m_item.length > maximumArchiveSize) {
        fail(QStringLiteral("La actualización es demasiado grande para descargarla."));
        return;
    }
    if (!UrlSafety::isPrivateChannel(m_item.downloadURL)) {
        fail(QStringLiteral("La actualización no se descarga por https://; no se descarga: %1")
                 .arg(m_item.downloadURL.toString(QUrl::RemoveUserInfo)));
        return;
    }
    QNetworkReply *reply = get(m_item.downloadURL, maximumArchiveSize);
    connect(reply, &QNetworkReply::finished, this, &UpdateCheck::archiveArrived);
}

void UpdateCheck::archiveArrived()
{
    QNetworkReply *reply = m_reply;
    reply->deleteLater();
    if (const QString failure = failureOf(*reply); !failure.isEmpty()) {
        fail(QStringLiteral("No se pudo descargar la actualización: %1").arg(failure));
        return;
    }
    // Checking and writing tens of megabytes takes long enough to be felt in the
    // interface, so it happens away from it.
    inBackground(
        [signature = *m_signature, expected = m_item.edSignature, archive = reply->readAll(),
         folder = m_request.downloadDirectory, path = archivePath(),
         version = m_item.displayVersion()]() -> QString {
            if (!signature.verifies(archive, expected))
                return QStringLiteral("La firma de la actualización %1 no es válida; se descarta.")
                    .arg(version);
            QDir().mkpath(folder);
            QSaveFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(archive) != archive.size() ||
                !file.commit())
                return QStringLiteral("No se pudo guardar la actualización: %1")
                    .arg(file.errorString());
            return {};
        },
        [this](const QString &error) {
            if (error.isEmpty())
                announce();
            else
                fail(error);
        });
}

template <typename Work, typename Then> void UpdateCheck::inBackground(Work work, Then then)
{
    using Result = std::invoke_result_t<Work>;
    auto result = std::make_shared<Result>();
    QThread *thread = QThread::create([work = std::move(work), result] { *result = work(); });
    // The answer comes back on this object's thread, and not at all once it is gone; the
    // thread cleans up after itself either way.
    connect(thread, &QThread::finished, this, [result, then = std::move(then)] { then(*result); });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

void UpdateCheck::announce()
{
    AvailableUpdate update;
    update.version = m_item.displayVersion();
    update.buildVersion = m_item.version;
    update.releaseNotesLink = m_item.releaseNotesLink;
    update.downloadURL = m_item.downloadURL;
    update.archivePath = archivePath();
    update.publishedAt = m_item.publishedAt;
    finish({Outcome::found, update, {}, true});
}

QString UpdateCheck::archivePath() const
{
    const QString fallback =
        safeFileName(QStringLiteral("Orlette-") + m_item.version, QStringLiteral("Orlette-update"));
    return QDir(m_request.downloadDirectory)
        .filePath(safeFileName(m_item.downloadURL.fileName(), fallback));
}

void UpdateCheck::fail(const QString &error)
{
    finish({Outcome::failed, {}, error, m_feedWasRead});
}

void UpdateCheck::finish(Result result)
{
    if (m_finished)
        return;
    m_finished = true;
    Q_EMIT finished(result);
}
