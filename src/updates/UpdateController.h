// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/UserDefaults.h"
#include "updates/UpdateCheck.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

class QNetworkAccessManager;

// Looks for new releases of the application in its update feed (the `updateFeedURL`
// setting, else the address built in): by itself once a day while automatic checks are on,
// and when the user asks. A release is announced only after its archive has been downloaded
// and its signature checked. A program installed by the package manager checks nothing: the
// package manager updates it.
class UpdateController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool automaticallyChecksForUpdates READ automaticallyChecksForUpdates WRITE
                   setAutomaticallyChecksForUpdates NOTIFY automaticallyChecksForUpdatesChanged)
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)

public:
    struct Keys
    {
        static inline const QString automaticallyChecksForUpdates =
            QStringLiteral("automaticallyChecksForUpdates");
        static inline const QString lastUpdateCheckDate = QStringLiteral("lastUpdateCheckDate");
        static inline const QString updateFeedURL = QStringLiteral("updateFeedURL");
        // Used only when the build carries no key of its own.
        static inline const QString updatePublicKey = QStringLiteral("updatePublicKey");
    };

    struct Options
    {
        // The standard settings of the process when none.
        UserDefaults *defaults = nullptr;
        QString currentVersion = QStringLiteral(ORLETTE_VERSION);
        // The key built into the application when empty.
        QByteArray publicKey;
        // The feed read when the settings name none; the address built into the application
        // when absent.
        std::optional<QString> builtInFeedURL;
        // The program that would be replaced, and the package database asked whether a
        // package installed it.
        QString executable;
        QString packageDatabase;
        std::chrono::milliseconds checkInterval = std::chrono::hours(24);
        // The user's cache folder when empty.
        QString downloadDirectory;
        // Brings the application in front of other applications.
        std::function<void()> activator;
    };

    explicit UpdateController(QObject *parent = nullptr);
    explicit UpdateController(Options options, QObject *parent = nullptr);
    ~UpdateController() override;

    // Starts the automatic checks; the first comes when a day has passed since the last.
    void start();

    bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool on);
    std::optional<QDateTime> lastUpdateCheckDate() const;
    // False while a check runs, when no update feed or no key is configured, and when the
    // package manager updates the program.
    bool canCheckForUpdates() const;
    // The package that installed the program, when one did.
    std::optional<QString> installingPackage() const { return m_package; }
    // What the settings say instead of offering a check, when a package installed the program.
    static QString packageManagerNote(const QString &package);
    // A check the user asked for; does nothing when one cannot be made.
    void checkForUpdates();

    // Scheduled checks remind gently: they do not interrupt, the application only comes
    // forward when it has something to show.
    bool supportsGentleScheduledUpdateReminders() const { return true; }
    // Before an update is shown: one found by a scheduled check brings the application
    // in front, on the next turn of the event loop; the user who asked is already there.
    void willHandleShowingUpdate(const AvailableUpdate &update, bool userInitiated);

    // The configured feed (or the built-in one), if it is a web address.
    std::optional<QUrl> feedURL() const;
    bool isChecking() const { return m_check != nullptr; }

Q_SIGNALS:
    void automaticallyChecksForUpdatesChanged(bool on);
    void lastUpdateCheckDateChanged();
    void canCheckForUpdatesChanged(bool can);
    void updateFound(const AvailableUpdate &update, bool userInitiated);
    void updateNotFound(bool userInitiated);
    void updateCheckFailed(const QString &error, bool userInitiated);

private:
    void runCheck(bool userInitiated);
    void checkFinished(const UpdateCheck::Result &result, bool userInitiated);
    void scheduleNext();
    void settingsChanged();
    void refreshCanCheck();
    UserDefaults &defaults() const;
    QByteArray publicKey() const;

    bool canEverCheck() const;

    Options m_options;
    std::optional<QString> m_package;
    QNetworkAccessManager *m_network;
    QPointer<UserDefaults> m_defaults;
    QTimer m_timer;
    QPointer<UpdateCheck> m_check;
    QDateTime m_lastAttempt;
    QString m_lastCheckText;
    bool m_started = false;
    bool m_canCheck = false;
    bool m_automatic = false;
};
