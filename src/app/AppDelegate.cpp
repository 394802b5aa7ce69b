// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppDelegate.h"

#include "app/GlobalHotKey.h"
#include "app/QuickNoteKey.h"
#include "app/QuickNoteKeyChooser.h"
#include "library/LibraryView.h"
#include "library/MenuBarContent.h"
#include "library/MenuBarLabel.h"
#include "model/AppPaths.h"
#include "model/AppSettings.h"
#include "model/LocalKeyValueStore.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/NoteActions.h"
#include "model/StoreOpening.h"
#include "model/UserDefaults.h"
#include "model/WelcomeNotes.h"
#include "platform/GnomeCustomKeybinding.h"
#include "platform/KGlobalAccelHotKeyService.h"
#include "platform/NotificationCenter.h"
#include "platform/PortalHotKeyService.h"
#include "platform/SessionKind.h"
#include "platform/X11HotKeyService.h"
#include "rail/RailCoordinator.h"
#include "rail/WindowSystem.h"
#include "surfaces/FloatingNotesCoordinator.h"
#include "sync/KeychainCredentials.h"
#include "sync/RemoteKeyValueStore.h"
#include "sync/StoreCheck.h"
#include "sync/SyncEngine.h"
#include "sync/SyncStatus.h"
#include "sync/SyncWatcher.h"
#include "updates/PendingUpdate.h"
#include "updates/UpdateCheck.h"
#include "updates/UpdateController.h"
#include "updates/UpdateInstaller.h"
#include "windows/SettingsView.h"
#include "windows/UpdateWindow.h"
#include "windows/WelcomeTour.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTimer>
#include <tuple>

AppDelegate::AppDelegate(WindowSystem &windows, UserDefaults &defaults, Options options,
                         QObject *parent)
    : QObject(parent), m_windows(windows), m_defaults(defaults), m_options(std::move(options))
{
    // The sync status listens to the mirroring, which works on the store.
    m_credentials = std::make_unique<KeychainCredentials>();
    m_syncEngine = std::make_unique<SyncEngine>(container(), m_defaults, m_credentials.get());
    m_syncStatus = std::make_unique<SyncStatus>(m_syncEngine.get());
    UpdateController::Options updates;
    updates.defaults = &m_defaults;
    updates.activator = [this] { m_windows.activateApplication(); };
    m_updater = std::make_unique<UpdateController>(updates);
}

AppDelegate::~AppDelegate()
{
    applicationWillTerminate();
    // Everything that holds the store goes before it.
    m_library.reset();
    m_settings.reset();
    m_welcome.reset();
    m_rails.reset();
    m_floatingNotes.reset();
    m_syncWatcher.reset();
    m_syncStatus.reset();
    m_syncEngine.reset();
    m_keyValues.reset();
    m_container.reset();
}

ModelContainer *AppDelegate::container()
{
    if (!m_container) {
        // A reset asked for in the previous run moves the old store aside before anything
        // opens it.
        StoreCheck::resetIfRequested();
        const QString path =
            m_options.storePath.isEmpty() ? AppPaths::storeFile() : m_options.storePath;
        m_container = StoreOpening::openOrStop(path, &m_onDiskError);
        if (m_onDiskError) {
            qWarning("Orlette: %s", qPrintable(storeWarning()));
        }
    }
    return m_container.get();
}

QString AppDelegate::storeWarning() const
{
    if (!m_onDiskError)
        return {};
    return QStringLiteral("Las notas no se están guardando en disco: %1. Lo que escribas se "
                          "perderá al salir. El archivo del almacén no se ha tocado.")
        .arg(m_onDiskError->description);
}

SyncWatcher *AppDelegate::syncWatcher()
{
    if (!m_syncWatcher)
        m_syncWatcher = std::make_unique<SyncWatcher>(container());
    return m_syncWatcher.get();
}

FloatingNotesCoordinator *AppDelegate::floatingNotes()
{
    if (!m_floatingNotes) {
        NoteSurfaceEnvironment environment;
        environment.context = container()->mainContext();
        environment.defaults = &m_defaults;
        m_floatingNotes =
            std::make_unique<FloatingNotesCoordinator>(container(), m_windows, environment);
    }
    return m_floatingNotes.get();
}

void AppDelegate::applyActivationPolicy()
{
    m_windows.setActivationPolicy(m_defaults.boolValue(AppSettings::Keys::showsDockIcon)
                                      ? ActivationPolicy::regular
                                      : ActivationPolicy::accessory);
}

void AppDelegate::applicationDidFinishLaunching()
{
    if (m_launched)
        return;
    m_launched = true;

    // 1. The Dock icon, which on this desktop is whether windows show in the task bar.
    applyActivationPolicy();
    // 2. Remote notifications have no counterpart here: the mirroring engine is ours.

    // The tray, the one permanent piece of interface besides the rails.
    m_menu = std::make_unique<MenuBarContent>(
        MenuBarContent::Actions{[this] { quickNote(); }, [] { QCoreApplication::quit(); }});
    m_label = std::make_unique<MenuBarLabel>([this](const QString &id) { openWindow(id); },
                                             [this] { m_windows.activateApplication(); });
    m_label->setToolTip(m_onDiskError ? QStringLiteral("Orlette — ") + storeWarning()
                                      : QStringLiteral("Orlette"));
    m_label->show(m_menu->menu());

    // 3. The sync status, and the mirroring it reports on.
    m_syncStatus->start();
    m_syncEngine->start();
    if (m_syncEngine->isConfigured())
        m_keyValues = std::make_unique<RemoteKeyValueStore>(m_syncEngine.get());
    else
        m_keyValues = std::make_unique<LocalKeyValueStore>();

    // 4. The updater. A checked release is announced in a small window and installed when
    // the application quits; a check the person started also says when there is nothing
    // new or the check failed. An install that failed at the last quit is told once.
    const QString installError = PendingUpdate(m_defaults).takeInstallError();
    if (!installError.isEmpty())
        showUpdateMessage(QStringLiteral("No se pudo instalar la versión nueva de Orlette."),
                          installError, {});
    connect(
        m_updater.get(), &UpdateController::updateFound, this,
        [this](const AvailableUpdate &update, bool) {
            const bool atQuit =
                PendingUpdate(m_defaults).remember(update, QCoreApplication::applicationFilePath());
            showUpdateMessage(
                QStringLiteral("Hay una versión nueva de Orlette: %1.").arg(update.version),
                QStringLiteral("El archivo está descargado y su firma comprobada en %1. %2")
                    .arg(QDir::toNativeSeparators(update.archivePath),
                         atQuit ? QStringLiteral("Se instalará al cerrar Orlette.")
                                : UpdateInstaller::packageManagerMessage(update.version)),
                update.releaseNotesLink.isValid() ? update.releaseNotesLink : update.downloadURL);
        });
    connect(m_updater.get(), &UpdateController::updateNotFound, this, [this](bool userInitiated) {
        if (userInitiated)
            showUpdateMessage(QStringLiteral("Orlette está al día."), {}, {});
    });
    connect(m_updater.get(), &UpdateController::updateCheckFailed, this,
            [this](const QString &error, bool userInitiated) {
                if (userInitiated)
                    showUpdateMessage(QStringLiteral("No se pudo buscar una versión nueva."), error,
                                      {});
            });
    m_updater->start();

    // 5. The welcome tour, once.
    if (!m_defaults.boolValue(AppSettings::Keys::hasSeenTour)) {
        const QPointer<AppDelegate> weak(this);
        QTimer::singleShot(m_options.tourDelay, this, [weak] {
            if (!weak)
                return;
            MenuBarContent::requestWindow(QStringLiteral("welcome"));
            weak->m_windows.activateApplication();
        });
    }

    // 6 and 7. The welcome notes, and the clean-up of copies two computers both made.
    ModelContext *context = container()->mainContext();
    WelcomeNotes::seedIfNeeded(this, context, m_keyValues.get(), m_options.welcomeDelay);
    WelcomeNotes::scheduleRemovalOfRepeatedCopies(this, context, m_options.welcomeDelay);

    // 8. Floating notes come back where they were.
    floatingNotes()->restore();

    // 9. The rails.
    if (m_options.startsRails) {
        m_rails = std::make_unique<RailCoordinator>(m_windows, m_defaults, container(),
                                                    floatingNotes(), syncWatcher());
        m_rails->start();
    }

    // 10. The quick-note hot key, through the service the session offers; where the desktop
    // portal must be asked first, its answer arrives while the application already runs.
    // GNOME without the portal's shortcuts adds a shortcut of its own with the person's
    // consent (offered in the settings).
    const SessionKind session(SessionKind::Environment::fromProcess());
    if (session.isWayland() && session.isDesktop("GNOME"))
        m_gnomeShortcut = std::make_unique<GnomeCustomKeybinding>(QuickNoteKey::gnomePath);
    QuickNoteKeyChooser::Services services;
    services.keyGrab = [] { return std::make_unique<X11HotKeyService>(); };
    services.kde = [] { return std::make_unique<KGlobalAccelHotKeyService>(); };
    services.portal = [] {
        return std::make_unique<PortalHotKeyService>(QDBusConnection::sessionBus(),
                                                     QGuiApplication::desktopFileName());
    };
    const QPointer<AppDelegate> weak(this);
    m_quickNoteKey = std::make_unique<QuickNoteKeyChooser>(std::move(services), [weak] {
        if (weak)
            weak->quickNote();
    });
    connect(m_quickNoteKey.get(), &QuickNoteKeyChooser::changed, this, [this] {
        if (m_settings)
            m_settings->refreshHotKeyStatus();
    });
    QuickNoteKeyChooser::Session chooserSession;
    chooserSession.wayland = session.isWayland();
    chooserSession.plasma = session.isDesktop("KDE");
    // Listed is enough, changed by the person or not: the key is GNOME's shortcut's then.
    chooserSession.gnomeHasTheKey = m_gnomeShortcut && m_gnomeShortcut->isListed().value_or(false);
    m_quickNoteKey->start(chooserSession);
}

GlobalHotKey *AppDelegate::quickNoteHotKey() const
{
    return m_quickNoteKey ? m_quickNoteKey->hotKey() : nullptr;
}

SettingsView::HotKeyStatus AppDelegate::quickNoteKeyStatus() const
{
    return QuickNoteKey::status(
        m_quickNoteKey ? m_quickNoteKey->registration() : QuickNoteKey::Registration{},
        m_gnomeShortcut.get(),
        QuickNoteKey::gnomeBinding(QCoreApplication::applicationFilePath(),
                                   QStandardPaths::findExecutable(QStringLiteral("orlette"))));
}

void AppDelegate::applicationWillTerminate()
{
    if (!m_launched || m_terminated)
        return;
    m_terminated = true;
    if (m_quickNoteKey)
        m_quickNoteKey->stop();
    if (m_rails)
        m_rails->stop();
    if (m_floatingNotes)
        m_floatingNotes->closeAll();
    // Whatever an editor had not written yet goes out before the store closes.
    std::ignore = container()->mainContext()->save();
    // Edits of the last seconds go to the other computers now, not at the next launch.
    m_syncEngine->pushPendingChanges(std::chrono::seconds(3));
    m_syncEngine->stop();
    // Last, once the notes are safe; every step of it is bounded in time.
    PendingUpdate(m_defaults)
        .installOnQuit(UpdateInstaller(), QStringLiteral(ORLETTE_VERSION),
                       QCoreApplication::applicationFilePath());
}

void AppDelegate::quickNote()
{
    ModelContext *context = container()->mainContext();
    Note *note = NoteActions::makeNote(*context, AppSettings::defaultEdge(m_defaults));
    // Without rails its window is the only place the note is seen: it floats, and so comes
    // back in its window at the next start.
    if (!m_options.startsRails)
        note->setIsFloating(true);
    std::ignore = context->save();
    if (m_rails)
        m_rails->reveal(*note);
    else if (!m_options.startsRails)
        floatingNotes()->open(note);
}

void AppDelegate::handleArguments(const QStringList &arguments)
{
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--library"))
            MenuBarContent::requestWindow(QStringLiteral("library"));
        else if (argument == QLatin1String("--settings"))
            MenuBarContent::requestWindow(QStringLiteral("settings"));
        else if (argument == QLatin1String("--welcome"))
            MenuBarContent::requestWindow(QStringLiteral("welcome"));
        else if (argument == QLatin1String("--new-note"))
            quickNote();
    }
}

void AppDelegate::openWindow(const QString &windowID)
{
    if (QWidget *target = window(windowID))
        showWindow(target);
}

QWidget *AppDelegate::window(const QString &windowID)
{
    if (windowID == QLatin1String("library")) {
        if (!m_library)
            m_library = std::make_unique<LibraryView>(container(), floatingNotes());
        return m_library.get();
    }
    if (windowID == QLatin1String("settings")) {
        if (!m_settings) {
            SettingsView::Dependencies dependencies;
            dependencies.windowSystem = &m_windows;
            dependencies.sync = m_syncStatus.get();
            dependencies.watcher = syncWatcher();
            dependencies.updater = m_updater.get();
            dependencies.container = container();
            dependencies.syncEngine = m_syncEngine.get();
            if (m_onDiskError)
                dependencies.storeWarning = m_onDiskError->description;
            dependencies.hotKeyStatus = [this] { return quickNoteKeyStatus(); };
            dependencies.setActivationPolicy = [this](ActivationPolicy policy) {
                m_windows.setActivationPolicy(policy);
            };
            m_settings = std::make_unique<SettingsView>(m_defaults, std::move(dependencies));
            m_settings->setWindowTitle(QStringLiteral("Ajustes"));
        }
        return m_settings.get();
    }
    if (windowID == QLatin1String("welcome")) {
        // Built afresh each time, so every opening starts at the first page; it centres
        // itself when shown.
        if (!m_welcome || !m_welcome->isVisible()) {
            auto tour = std::make_unique<WelcomeTourWindow>(m_defaults);
            tour->setWindowTitle(QStringLiteral("Bienvenida"));
            m_welcome = std::move(tour);
        }
        return m_welcome.get();
    }
    return nullptr;
}

void AppDelegate::showUpdateMessage(const QString &text, const QString &detail, const QUrl &link)
{
    // One window, reused: a second message replaces the first instead of stacking on it.
    if (!m_updateWindow)
        m_updateWindow = std::make_unique<UpdateWindow>();
    m_updateWindow->present(text, detail, link);
}

void AppDelegate::showWindow(QWidget *target)
{
    target->show();
    target->raise();
    m_windows.activateWindow(target);
}
