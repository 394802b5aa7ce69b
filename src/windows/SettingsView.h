// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/RelativeDateFormatter.h"
#include "platform/LoginItem.h"
#include "rail/WindowSystem.h"

#include <QDateTime>
#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <functional>
#include <optional>

class ModelContainer;
class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QSlider;
class QTimer;
class FontSampleView;
class SettingsSection;
class SettingsSwitch;
class SyncEngine;
class SyncSettingsSection;
class SyncStatus;
class SyncWatcher;
class UpdateController;
class UserDefaults;

// The content of the "Ajustes" window: the note font and size with a sample, the edge and
// screen of the rails, login item and Dock icon, the health of the mirroring with its
// actions, and the update settings. Controls are bound to the settings keys: they show
// what the settings hold, and write them when the person changes them.
class SettingsView : public QWidget
{
    Q_OBJECT

public:
    // What the settings tell of the quick-note hot key on this desktop.
    struct HotKeyStatus
    {
        QString text;
        // The key could not be had: told as a warning.
        bool isWarning = false;
        // Where the desktop adds the key only with the person's consent (GNOME on
        // Wayland): the button's text, and what it does; the error's text when that
        // failed. No button when the label is empty.
        QString offerLabel;
        std::function<std::optional<QString>()> accept;
    };

    struct Dependencies
    {
        // Screens for "Anclar a:"; the picker is rebuilt when they change.
        WindowSystem *windowSystem = nullptr;
        SyncStatus *sync = nullptr;
        SyncWatcher *watcher = nullptr;
        UpdateController *updater = nullptr;
        ModelContainer *container = nullptr;
        // The mirroring, for the form of the sync target; no form without it.
        SyncEngine *syncEngine = nullptr;
        LoginItem loginItem;
        // The quick-note hot key's state, read when the window is built and again when it
        // opens; no row without it.
        std::function<HotKeyStatus()> hotKeyStatus;
        // Applies the Dock-icon choice; the window system's activation policy when empty.
        std::function<void(ActivationPolicy)> setActivationPolicy;
        // The confirmed sync reset; the real one (which ends the application) when empty.
        std::function<void()> requestReset;
        // Asks for the sync folder; a folder dialog when empty.
        std::function<std::optional<QString>(const QString &start)> chooseSyncFolder;
        // Why the notes are kept in memory only, when the store on disk could not be opened.
        QString storeWarning;
        // The application's version as the build names it.
        QString version = QStringLiteral(ORLETTE_VERSION);
        // The live store's folder; the application's data folder when empty.
        QString dataDirectory;
        std::function<QDateTime()> now;
    };

    static inline const QString edgeCaption = QStringLiteral(
        "Cambiarlo lleva todas tus notas a ese borde, y ahí nacerán las nuevas. Una nota suelta "
        "se puede mover al otro lado con el botón derecho.");
    static inline const QString fixedScreenCaption = QStringLiteral(
        "Las notas se quedan fijas en esa pantalla. Si la desconectas, vuelven a la principal.");
    static inline const QString dockCaption =
        QStringLiteral("Sin icono en el Dock, Orlette vive solo en la barra de menús.");
    static inline const QString updatesCaption =
        QStringLiteral("Al encontrar una versión nueva te avisará. Se instala al cerrar Orlette.");
    static constexpr int minimumFontSize = 14;
    static constexpr int maximumFontSize = 30;

    SettingsView(UserDefaults &defaults, Dependencies dependencies, QWidget *parent = nullptr);
    ~SettingsView() override;

    // The version as shown: the integer components of `raw` joined by full stops, "0" when
    // none can be read.
    static QString versionText(const QString &raw);

    // View state.
    bool launchesAtLogin() const { return m_launchesAtLogin; }
    const std::optional<QString> &launchError() const { return m_launchError; }
    QUuid screensToken() const { return m_screensToken; }

    // Fits the content's height, within the screen; the content scrolls beyond that.
    QSize sizeHint() const override;
    // The whole form, however much of it the window shows.
    QWidget *content() const { return m_content; }

    // The sections, in order, and the controls tests and the window reach for.
    QList<SettingsSection *> sections() const { return m_sections; }
    SyncSettingsSection *syncSection() const { return m_syncSection; }
    QComboBox *fontPicker() const { return m_fontPicker; }
    QSlider *fontSizeSlider() const { return m_fontSize; }
    FontSampleView *fontSample() const { return m_sample; }
    QComboBox *edgePicker() const { return m_edgePicker; }
    QComboBox *screenPicker() const { return m_screenPicker; }
    QLabel *screenCaption() const { return m_screenCaption; }
    SettingsSwitch *loginSwitch() const { return m_loginSwitch; }
    QLabel *loginErrorLabel() const { return m_loginError; }
    SettingsSwitch *dockSwitch() const { return m_dockSwitch; }
    QLabel *hotKeyLabel() const { return m_hotKeyLabel; }
    QPushButton *hotKeyOfferButton() const { return m_hotKeyOffer; }
    QPushButton *tourButton() const { return m_tourButton; }
    QLabel *versionLabel() const { return m_version; }
    SettingsSwitch *automaticUpdatesSwitch() const { return m_automaticUpdates; }
    QLabel *lastCheckLabel() const { return m_lastCheck; }
    QPushButton *checkNowButton() const { return m_checkNow; }
    // Shown instead of the checks when the package manager updates the program.
    QLabel *packageManagerNote() const { return m_packageNote; }

    // Reads the quick-note key's state again, for a desktop that answers later than the
    // window was built.
    void refreshHotKeyStatus();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    SettingsSection *makeNotesSection();
    SettingsSection *makeRailSection();
    SettingsSection *makeApplicationSection();
    SettingsSection *makeUpdatesSection();

    // Shows what the settings hold now.
    void readDefaults();
    void rebuildScreenPicker();
    void refreshUpdates();
    void changeLoginItem(bool enabled);
    void showHotKeyStatus();
    void acceptHotKeyOffer();
    void applyDockIcon();
    void showTour();
    QDateTime now() const;

    UserDefaults &m_defaults;
    Dependencies m_deps;
    QPointer<WindowSystem> m_windowSystem;
    QPointer<UpdateController> m_updater;
    RelativeDateFormatter m_dates;

    bool m_launchesAtLogin = false;
    std::optional<QString> m_launchError;
    QUuid m_screensToken;
    std::optional<bool> m_appliedDockIcon;

    QWidget *m_content = nullptr;
    QScrollArea *m_scroll = nullptr;
    QList<SettingsSection *> m_sections;
    QComboBox *m_fontPicker = nullptr;
    QSlider *m_fontSize = nullptr;
    FontSampleView *m_sample = nullptr;
    QComboBox *m_edgePicker = nullptr;
    QComboBox *m_screenPicker = nullptr;
    QLabel *m_screenCaption = nullptr;
    SettingsSwitch *m_loginSwitch = nullptr;
    QLabel *m_loginError = nullptr;
    SettingsSwitch *m_dockSwitch = nullptr;
    QLabel *m_hotKeyLabel = nullptr;
    QPushButton *m_hotKeyOffer = nullptr;
    HotKeyStatus m_hotKeyStatus;
    QPushButton *m_tourButton = nullptr;
    SyncSettingsSection *m_syncSection = nullptr;
    QLabel *m_version = nullptr;
    SettingsSwitch *m_automaticUpdates = nullptr;
    QLabel *m_lastCheck = nullptr;
    QPushButton *m_checkNow = nullptr;
    QLabel *m_packageNote = nullptr;
    QTimer *m_clockTimer = nullptr;
};
