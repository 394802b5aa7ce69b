// SPDX-License-Identifier: GPL-3.0-or-later
#include "updates/UpdateController.h"

#include "model/UserDefaults.h"
#include "updates/PackageDatabase.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QStandardPaths>

namespace {

QString dateText(const QDateTime &date)
{
    return date.toUTC().toString(Qt::ISODateWithMs);
}

} // namespace

UpdateController::UpdateController(QObject *parent) : UpdateController(Options{}, parent) {}

UpdateController::UpdateController(Options options, QObject *parent)
    : QObject(parent), m_options(std::move(options)), m_network(new QNetworkAccessManager(this)),
      m_defaults(m_options.defaults ? m_options.defaults : &UserDefaults::standard())
{
    if (m_options.downloadDirectory.isEmpty()) {
        m_options.downloadDirectory =
            QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
            QStringLiteral("/Orlette/Actualizaciones");
    }
    if (!m_options.builtInFeedURL)
        m_options.builtInFeedURL = QStringLiteral(ORLETTE_UPDATE_FEED_URL);
    if (m_options.executable.isEmpty())
        m_options.executable = QCoreApplication::applicationFilePath();
    if (m_options.packageDatabase.isEmpty())
        m_options.packageDatabase = PackageDatabase::dpkgInfoDirectory;
    m_package = PackageDatabase(m_options.packageDatabase).ownerOf(m_options.executable);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { runCheck(false); });
    connect(m_defaults, &UserDefaults::didChange, this, &UpdateController::settingsChanged);
    m_automatic = automaticallyChecksForUpdates();
    m_lastCheckText = defaults().stringValue(Keys::lastUpdateCheckDate);
    m_canCheck = canEverCheck();
}

UpdateController::~UpdateController()
{
    // A running check goes first, while the network its reply belongs to still exists.
    delete m_check;
}

UserDefaults &UpdateController::defaults() const
{
    return *m_defaults;
}

QString UpdateController::packageManagerNote(const QString &package)
{
    return QStringLiteral("Orlette se instaló con el gestor de paquetes del sistema (paquete "
                          "«%1») y se actualiza con él.")
        .arg(package);
}

bool UpdateController::canEverCheck() const
{
    return !m_package && feedURL().has_value() && !publicKey().isEmpty();
}

void UpdateController::start()
{
    // The package manager brings new versions; a check of our own would only compete.
    if (m_package)
        return;
    m_started = true;
    scheduleNext();
}

bool UpdateController::automaticallyChecksForUpdates() const
{
    return defaults().boolValue(Keys::automaticallyChecksForUpdates, true);
}

void UpdateController::setAutomaticallyChecksForUpdates(bool on)
{
    if (defaults().contains(Keys::automaticallyChecksForUpdates) &&
        automaticallyChecksForUpdates() == on)
        return;
    // The settings announce the write, and settingsChanged follows it up.
    defaults().setValue(Keys::automaticallyChecksForUpdates, on);
}

std::optional<QDateTime> UpdateController::lastUpdateCheckDate() const
{
    const QDateTime date =
        QDateTime::fromString(defaults().stringValue(Keys::lastUpdateCheckDate), Qt::ISODateWithMs);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

bool UpdateController::canCheckForUpdates() const
{
    return m_canCheck;
}

std::optional<QUrl> UpdateController::feedURL() const
{
    QString text = defaults().stringValue(Keys::updateFeedURL).trimmed();
    if (text.isEmpty())
        text = m_options.builtInFeedURL->trimmed();
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != u"https" && url.scheme() != u"http"))
        return std::nullopt;
    return url;
}

QByteArray UpdateController::publicKey() const
{
    if (!m_options.publicKey.isEmpty())
        return m_options.publicKey;
    // A key built into the application cannot be swapped by editing a settings file.
    const QByteArray built(ORLETTE_UPDATE_PUBLIC_KEY);
    if (!built.isEmpty())
        return built;
    return defaults().stringValue(Keys::updatePublicKey).toLatin1();
}

void UpdateController::checkForUpdates()
{
    if (canCheckForUpdates())
        runCheck(true);
}

void UpdateController::runCheck(bool userInitiated)
{
    if (m_check || m_package)
        return;
    m_lastAttempt = QDateTime::currentDateTimeUtc();
    const std::optional<QUrl> url = feedURL();
    if (!url) {
        // Without a feed there is nothing to look at and nothing to say.
        scheduleNext();
        return;
    }
    m_timer.stop();
    m_check = new UpdateCheck(
        *m_network, {*url, m_options.currentVersion, publicKey(), m_options.downloadDirectory},
        this);
    connect(m_check, &UpdateCheck::finished, this,
            [this, userInitiated](const UpdateCheck::Result &result) {
                checkFinished(result, userInitiated);
            });
    refreshCanCheck();
    m_check->start();
}

void UpdateController::checkFinished(const UpdateCheck::Result &result, bool userInitiated)
{
    m_check->deleteLater();
    m_check = nullptr;
    if (result.feedWasRead)
        defaults().setValue(Keys::lastUpdateCheckDate, dateText(QDateTime::currentDateTimeUtc()));
    refreshCanCheck();

    switch (result.outcome) {
    case UpdateCheck::Outcome::found:
        willHandleShowingUpdate(result.update, userInitiated);
        Q_EMIT updateFound(result.update, userInitiated);
        break;
    case UpdateCheck::Outcome::notFound:
        Q_EMIT updateNotFound(userInitiated);
        break;
    case UpdateCheck::Outcome::failed:
        Q_EMIT updateCheckFailed(result.error, userInitiated);
        break;
    }
    scheduleNext();
}

void UpdateController::willHandleShowingUpdate(const AvailableUpdate &, bool userInitiated)
{
    if (userInitiated || !m_options.activator)
        return;
    QTimer::singleShot(0, this, [activator = m_options.activator] { activator(); });
}

void UpdateController::scheduleNext()
{
    if (!m_started || !m_automatic) {
        m_timer.stop();
        return;
    }
    if (m_check)
        return; // the running check schedules the next when it ends
    const qint64 interval = m_options.checkInterval.count();
    QDateTime last = lastUpdateCheckDate().value_or(QDateTime());
    // A failed or feedless attempt waits its turn too, so the timer never spins.
    if (m_lastAttempt.isValid() && (!last.isValid() || m_lastAttempt > last))
        last = m_lastAttempt;
    qint64 delay = 0;
    if (last.isValid())
        delay = std::clamp(interval - last.msecsTo(QDateTime::currentDateTimeUtc()), qint64(0),
                           interval);
    m_timer.start(std::chrono::milliseconds(delay));
}

void UpdateController::settingsChanged()
{
    const bool automatic = automaticallyChecksForUpdates();
    const QString lastCheckText = defaults().stringValue(Keys::lastUpdateCheckDate);
    const bool automaticChanged = automatic != m_automatic;
    const bool lastCheckChanged = lastCheckText != m_lastCheckText;
    m_automatic = automatic;
    m_lastCheckText = lastCheckText;
    if (automaticChanged)
        Q_EMIT automaticallyChecksForUpdatesChanged(automatic);
    if (lastCheckChanged)
        Q_EMIT lastUpdateCheckDateChanged();
    if (automaticChanged || lastCheckChanged)
        scheduleNext();
    refreshCanCheck();
}

void UpdateController::refreshCanCheck()
{
    const bool can = !isChecking() && canEverCheck();
    if (can == m_canCheck)
        return;
    m_canCheck = can;
    Q_EMIT canCheckForUpdatesChanged(can);
}
