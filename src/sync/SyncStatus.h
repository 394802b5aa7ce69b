// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SyncError.h"
#include "sync/SyncEvent.h"
#include "sync/SyncMirroring.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

class ModelContext;
class SyncWatcher;

// How the mirroring of the notes is going, worded for the person: the overall health,
// the last download and upload, the account on the target and the technical detail of
// the last failure. Lives on the main thread; every change notifies, equal writes don't.
class SyncStatus : public QObject
{
    Q_OBJECT

public:
    class Health
    {
    public:
        enum class Kind
        {
            broken,
            unavailable,
            starting,
            working
        };

        static Health broken(const QString &message) { return Health(Kind::broken, message); }
        static Health unavailable() { return Health(Kind::unavailable); }
        static Health starting() { return Health(Kind::starting); }
        static Health working() { return Health(Kind::working); }

        Kind kind() const { return m_kind; }
        // The message shown to the person; empty unless broken.
        const QString &message() const { return m_message; }
        friend bool operator==(const Health &, const Health &) = default;

    private:
        explicit Health(Kind kind, const QString &message = {}) : m_kind(kind), m_message(message)
        {
        }
        Kind m_kind;
        QString m_message;
    };

    using WatcherCheck = std::function<void()>;
    static constexpr std::chrono::milliseconds syncNowDuration{3000};

    // Messages of `broken`.
    static inline const QString setupFailedMessage = QStringLiteral(
        "No consigue preparar iCloud en este Mac. Cerrar y abrir la app no lo arregla.");
    static inline const QString offlineMessage =
        QStringLiteral("Sin conexión. Se reintentará solo.");
    static inline const QString quotaMessage = QStringLiteral("No queda espacio en tu iCloud.");
    static inline const QString signedOutMessage =
        QStringLiteral("Este Mac no ha iniciado sesión en iCloud.");
    static inline const QString genericFailureMessage =
        QStringLiteral("iCloud devolvió un error al sincronizar.");
    // Messages of causes that no restart and no reset cure, whatever the event.
    static inline const QString remoteFolderGoneMessage =
        QStringLiteral("La carpeta Orlette ya no está en el destino. Las notas de este "
                       "ordenador siguen aquí, sin tocar.");
    static inline const QString remoteCopyEmptiedMessage =
        QStringLiteral("Las notas han desaparecido del destino. Las de este ordenador siguen "
                       "aquí, sin tocar.");
    static inline const QString targetMissingMessage =
        QStringLiteral("No se encuentra la carpeta de sincronización; quizá el disco no está "
                       "conectado. Se reintentará sola.");
    static inline const QString targetUnmountedMessage =
        QStringLiteral("La carpeta de sincronización está vacía y parece un disco sin montar. "
                       "No se crea nada en ella hasta que el disco esté.");

    static inline const QString conditionalWritesMessage =
        QStringLiteral("Este servidor WebDAV no respeta las escrituras condicionales: un "
                       "ordenador podría borrar sin aviso lo que escribió otro. No se "
                       "sincroniza con él.");

    // What the settings window offers for the current state.
    enum class Remedy
    {
        // Nothing to do by hand: it mends itself, or it needs the person elsewhere.
        none,
        // The sync reset of the store check.
        reset,
        // The remote copy is gone or empty: this computer's notes are sent again.
        sendAgain,
    };
    // Texts of the settings window.
    static inline const QString unavailableText =
        QStringLiteral("Esta copia no está firmada con los permisos de iCloud. Las notas se "
                       "guardan solo en este Mac.");
    static inline const QString syncNowCaption =
        QStringLiteral("Sube lo que tengas sin guardar y vuelve a leer lo ya recibido. Cuándo "
                       "transferir lo decide iCloud.");

    // Without a configured mirroring (or without any) the status is `unavailable`.
    explicit SyncStatus(SyncMirroring *mirroring, QObject *parent = nullptr);
    ~SyncStatus() override;

    const Health &health() const { return m_health; }
    const std::optional<QDateTime> &lastImport() const { return m_lastImport; }
    const std::optional<QDateTime> &lastExport() const { return m_lastExport; }
    const std::optional<QString> &account() const { return m_account; }
    const std::optional<QString> &detail() const { return m_detail; }
    bool isSyncing() const { return m_isSyncing; }
    Remedy remedy() const { return m_remedy; }
    // How many of this computer's notes the target holds, as the last pass could tell;
    // none when unknown (never counted, or the target out of reach).
    const std::optional<int> &remoteNoteCount() const { return m_remoteNoteCount; }
    // The remedy for a remote copy that is gone or empty (asked of the mirroring).
    void sendAgain();
    // Listening to the mirroring's events.
    bool isObserving() const { return bool(m_observer); }

    // Listens to the mirroring's events and asks for the account; nothing without a
    // configured target.
    void start();
    // The target was configured, changed or removed: leaves or enters `unavailable` and,
    // once started, listens or stops listening accordingly.
    void reconfigure();
    void refreshAccount();

    // "Sincronizar ahora": saves the context's pending changes, asks for a pass and the
    // account, checks the watcher now and again after `syncNowDuration`.
    void syncNow(ModelContext *context, WatcherCheck watcherCheck = {});
    template <typename Watcher> void syncNow(ModelContext *context, Watcher *watcher)
    {
        WatcherCheck check;
        if (watcher) {
            check = [weak = QPointer<Watcher>(watcher)] {
                if (weak)
                    weak->check();
            };
        }
        syncNow(context, std::move(check));
    }
    void setSyncNowDuration(std::chrono::milliseconds duration) { m_syncNowDuration = duration; }

    // Applies one finished mirroring event; unfinished ones (no end date) change nothing.
    void recordEvent(SyncEvent::Type type, const std::optional<QDateTime> &endDate,
                     const std::optional<int> &errorCode,
                     const std::optional<QString> &errorDetail);
    // The multi-line technical description of an error and of everything in its user
    // info, nested errors indented two blanks deeper per level.
    static QString describeError(const SyncError &error);
    // Logs the names of the target's remote folders.
    void logZones();

    // The status line of the settings window.
    static QString label(const Health &health);
    static QString accountText(SyncMirroring::AccountStatus status, bool *hasText);

Q_SIGNALS:
    void healthChanged();
    void lastImportChanged();
    void lastExportChanged();
    void accountChanged();
    void detailChanged();
    void isSyncingChanged();
    void remedyChanged();
    void remoteNoteCountChanged();

private:
    void observe();
    void stopObserving();
    void receive(const SyncEvent &event);
    void applyAccountStatus(SyncMirroring::AccountStatus status);
    void logZoneAnswer(const QStringList &names, const std::optional<SyncError> &error);
    bool isConfigured() const;

    void setHealth(const Health &health);
    void setLastImport(const std::optional<QDateTime> &date);
    void setLastExport(const std::optional<QDateTime> &date);
    void setAccount(const std::optional<QString> &account);
    void setDetail(const std::optional<QString> &detail);
    void setIsSyncing(bool syncing);
    void setRemedy(Remedy remedy);
    void setRemoteNoteCount(int count);

    QPointer<SyncMirroring> m_mirroring;
    Health m_health = Health::starting();
    std::optional<QDateTime> m_lastImport;
    std::optional<QDateTime> m_lastExport;
    std::optional<QString> m_account;
    std::optional<QString> m_detail;
    bool m_isSyncing = false;
    Remedy m_remedy = Remedy::none;
    std::optional<int> m_remoteNoteCount;
    QMetaObject::Connection m_observer;
    bool m_started = false;
    std::chrono::milliseconds m_syncNowDuration = syncNowDuration;
};
