// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/RelativeDateFormatter.h"
#include "sync/StoreCheck.h"
#include "sync/SyncStatus.h"
#include "windows/SettingsForm.h"

#include <QDateTime>
#include <QMessageBox>
#include <QPointer>

#include <functional>

class ModelContainer;
class QLabel;

class QProgressBar;
class QPushButton;
class QTimer;
class SyncEngine;
class SyncTargetForm;
class SyncWatcher;
class UserDefaults;

// The "Sincronización" section of the settings: how the mirroring is going, its actions, the
// report of repeated notes with the sync reset, and where the notes are mirrored to.
class SyncSettingsSection : public SettingsSection
{
    Q_OBJECT

public:
    struct Dependencies
    {
        SyncStatus *sync = nullptr;
        SyncWatcher *watcher = nullptr;
        // The store whose main context is checked for repeated notes and saved by
        // "Sincronizar ahora".
        ModelContainer *container = nullptr;
        // The mirroring, for the password of a WebDAV target; without it there is no form
        // for the target.
        SyncEngine *engine = nullptr;
        // Why the notes are not being kept on disk, when they are not.
        QString storeWarning;
        // The live store's folder, which a sync folder must stay clear of.
        QString dataDirectory;
        // Requests the reset and restarts the application.
        std::function<void()> requestReset;
        // Asks for a folder for the sync target; a folder dialog when empty.
        std::function<std::optional<QString>(const QString &start)> chooseFolder;
        std::function<QDateTime()> now;
    };

    static inline const QString repeatedExplanation = QStringLiteral(
        "Este Mac tiene notas repetidas porque perdió la correspondencia con iCloud. Reiniciar "
        "la sincronización descarta la copia local y la vuelve a bajar entera; en iCloud no se "
        "toca nada.");
    static inline const QString resetTitle = QStringLiteral("¿Reiniciar la sincronización?");
    static inline const QString resetMessage = QStringLiteral(
        "Se descarta la copia local de las notas y se vuelve a bajar entera de iCloud. La app "
        "se cerrará y se abrirá sola.\n\nLa copia antigua se guarda con fecha por si hiciera "
        "falta. Aun así, una nota escrita en este Mac que no haya llegado a subir se perdería.");

    // The remedy for a target whose copy of the notes is gone or empty.
    static inline const QString sendAgainButton =
        QStringLiteral("Volver a subir las notas de este ordenador…");
    static inline const QString sendAgainTitle =
        QStringLiteral("¿Volver a subir las notas de este ordenador?");
    static inline const QString sendAgainMessage = QStringLiteral(
        "Se copian otra vez en el destino todas las notas de este ordenador, como la primera "
        "vez. No se borra ninguna nota, ni aquí ni en el destino; si otro ordenador ya ha "
        "vuelto a subir las suyas, se juntan.");
    static inline const QString sendAgainConfirm = QStringLiteral("Volver a subir");

    // Added to the reset's message when the target is known to hold fewer notes than this
    // computer; empty otherwise.
    static QString resetLossWarning(int localNotes, const std::optional<int> &remoteNotes);

    SyncSettingsSection(UserDefaults &defaults, Dependencies dependencies,
                        QWidget *parent = nullptr);
    ~SyncSettingsSection() override;

    // The sentence shown when the notes live only in memory, for the reason the store on disk
    // could not be opened.
    static QString storeWarningText(const QString &reason);
    // The colour of the status circle for a health.
    static QColor healthColor(SyncStatus::Health::Kind kind, ColorScheme scheme);

    // The last duplicate report; all zeros before the first check.
    const StoreCheck::Report &check() const { return m_check; }
    // Runs the duplicate check now.
    void runCheck();
    // The reset confirmation is showing.
    bool isConfirmingRepair() const;
    QMessageBox *repairDialog() const { return m_repairDialog; }
    // The confirmation of sending the notes again is showing.
    bool isConfirmingSendAgain() const;
    QMessageBox *sendAgainDialog() const { return m_sendAgainDialog; }
    SyncTargetForm *targetForm() const { return m_targetForm; }
    // Rewords every row from the status (the relative dates move on with the clock).
    void refresh();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void confirmRepair();
    void confirmSendAgain();
    void copyDetails();
    void syncNow();
    QDateTime now() const;

    Dependencies m_deps;
    QPointer<SyncStatus> m_sync;
    RelativeDateFormatter m_dates;
    StoreCheck::Report m_check;
    QPointer<QMessageBox> m_repairDialog;
    QPointer<QMessageBox> m_sendAgainDialog;

    QLabel *m_storeWarning;
    StatusDot *m_dot;
    QLabel *m_healthLabel;
    QLabel *m_accountValue;
    QWidget *m_accountRow;
    QLabel *m_importValue;
    QWidget *m_importRow;
    QLabel *m_exportValue;
    QWidget *m_exportRow;
    QLabel *m_unavailableText;
    QLabel *m_brokenMessage;
    QWidget *m_repairRow;
    QPushButton *m_resetButton;
    QPushButton *m_sendAgainButton;
    QPushButton *m_copyButton;
    QPushButton *m_syncNowButton;
    QProgressBar *m_progress;
    QWidget *m_repeatedRow;
    QLabel *m_repeatedValue;
    QLabel *m_repeatedExplanation;
    SyncTargetForm *m_targetForm = nullptr;
    QTimer *m_clockTimer;
};
