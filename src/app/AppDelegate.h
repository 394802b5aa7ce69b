// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/SqliteDatabase.h"
#include "windows/SettingsView.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <optional>

class FloatingNotesCoordinator;
class GlobalHotKey;
class GnomeCustomKeybinding;
class KeyValueStore;
class KeychainCredentials;
class LibraryView;
class MenuBarContent;
class MenuBarLabel;
class ModelContainer;
class Note;
class QUrl;
class QWidget;
class RailCoordinator;
class SettingsView;
class SyncEngine;
class SyncStatus;
class SyncWatcher;
class UpdateController;
class UpdateWindow;
class UserDefaults;
class WelcomeTour;
class WindowSystem;
class QuickNoteKeyChooser;

// Owns everything that lives as long as the process and runs the launch and termination
// sequences. Main thread only.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        // The store on disk; the data folder's default.store when empty.
        QString storePath;
        // Before the welcome tour opens on a first launch.
        std::chrono::milliseconds tourDelay{1000};
        // Before the welcome notes are decided and repeated copies removed.
        std::chrono::milliseconds welcomeDelay{20000};
        // False where the desktop cannot keep the rails at the screen edges: no rails then,
        // and a quick note opens in a floating window.
        bool startsRails = true;
    };

    AppDelegate(WindowSystem &windows, UserDefaults &defaults, Options options,
                QObject *parent = nullptr);
    ~AppDelegate() override;

    // The launch sequence, in its order.
    void applicationDidFinishLaunching();
    // The termination sequence, in its order.
    void applicationWillTerminate();
    // Closing the last window never quits.
    bool applicationShouldTerminateAfterLastWindowClosed() const { return false; }

    // Created on first use through the fallback chain: the store on disk, else one in
    // memory, else the process stops.
    ModelContainer *container();
    SyncStatus *syncStatus() const { return m_syncStatus.get(); }
    UpdateController *updater() const { return m_updater.get(); }
    SyncWatcher *syncWatcher();
    FloatingNotesCoordinator *floatingNotes();
    RailCoordinator *rails() const { return m_rails.get(); }
    GlobalHotKey *quickNoteHotKey() const;
    SyncEngine *syncEngine() const { return m_syncEngine.get(); }

    // Why the notes are not kept on disk, when the store on disk could not be opened.
    QString storeWarning() const;

    // "Nueva nota" and the quick-note hot key: a note on the default edge, revealed.
    void quickNote();
    // What the settings tell of the quick-note key, read afresh from the desktop.
    SettingsView::HotKeyStatus quickNoteKeyStatus() const;
    // Opens the window "library", "settings" or "welcome"; other ids are ignored.
    void openWindow(const QString &windowID);
    // Command-line requests, from this start or handed over by a later one.
    void handleArguments(const QStringList &arguments);

private:
    QWidget *window(const QString &windowID);
    void showWindow(QWidget *window);
    void applyActivationPolicy();
    void showUpdateMessage(const QString &text, const QString &detail, const QUrl &link);

    WindowSystem &m_windows;
    UserDefaults &m_defaults;
    Options m_options;

    std::unique_ptr<ModelContainer> m_container;
    std::optional<StoreError> m_onDiskError;
    std::unique_ptr<KeychainCredentials> m_credentials;
    std::unique_ptr<SyncEngine> m_syncEngine;
    std::unique_ptr<SyncStatus> m_syncStatus;
    std::unique_ptr<UpdateController> m_updater;
    std::unique_ptr<SyncWatcher> m_syncWatcher;
    std::unique_ptr<FloatingNotesCoordinator> m_floatingNotes;
    std::unique_ptr<RailCoordinator> m_rails;
    // GNOME's custom shortcut, offered where it is the only way to the key.
    std::unique_ptr<GnomeCustomKeybinding> m_gnomeShortcut;
    std::unique_ptr<QuickNoteKeyChooser> m_quickNoteKey;
    std::unique_ptr<KeyValueStore> m_keyValues;
    std::unique_ptr<MenuBarContent> m_menu;
    std::unique_ptr<MenuBarLabel> m_label;
    std::unique_ptr<LibraryView> m_library;
    std::unique_ptr<SettingsView> m_settings;
    std::unique_ptr<UpdateWindow> m_updateWindow;
    std::unique_ptr<QWidget> m_welcome;
    bool m_launched = false;
    bool m_terminated = false;
};
