// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include "updates/AppcastFeed.h"
#include "updates/UpdateSignature.h"

class QNetworkAccessManager;
class QNetworkReply;

// A release that was found, downloaded and whose signature holds.
struct AvailableUpdate
{
    QString version;      // as people are shown it
    QString buildVersion; // as it was compared
    QUrl releaseNotesLink;
    QUrl downloadURL;
    // The checked archive, kept for installing.
    QString archivePath;
    QDateTime publishedAt;

    friend bool operator==(const AvailableUpdate &, const AvailableUpdate &) = default;
};

// One look for a newer release: read the feed, pick the newest applicable release,
// fetch its archive and accept it only when the Ed25519 signature holds. Nothing here
// blocks; the result comes with `finished`, once.
class UpdateCheck : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QUrl feedURL;
        QString currentVersion;
        QByteArray publicKey; // base64
        QString downloadDirectory;
    };

    enum class Outcome
    {
        found,
        notFound,
        failed
    };

    struct Result
    {
        Outcome outcome = Outcome::failed;
        AvailableUpdate update;
        // Why it failed, in words for the user.
        QString error;
        // The feed answered, so the check counts as made even if the archive failed.
        bool feedWasRead = false;
    };

    // Limits against a feed or a download that never ends.
    static constexpr qint64 maximumFeedSize = 4 * 1024 * 1024;
    static constexpr qint64 maximumArchiveSize = 512 * 1024 * 1024;
    static constexpr int transferTimeoutMs = 60'000;

    UpdateCheck(QNetworkAccessManager &network, Request request, QObject *parent = nullptr);
    ~UpdateCheck() override;

    void start();

Q_SIGNALS:
    void finished(const UpdateCheck::Result &result);

private:
    void feedArrived();
    void download();
    void archiveArrived();
    // Runs `work` on a thread of its own and hands its result to `then` here.
    template <typename Work, typename Then> void inBackground(Work work, Then then);
    void announce();
    QString archivePath() const;
    void finish(Result result);
    void fail(const QString &error);
    QNetworkReply *get(const QUrl &url, qint64 limit);

    QNetworkAccessManager &m_network;
    const Request m_request;
    AppcastFeed::Item m_item;
    std::optional<UpdateSignature> m_signature;
    QPointer<QNetworkReply> m_reply;
    bool m_feedWasRead = false;
    bool m_finished = false;
};
