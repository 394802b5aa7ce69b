// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <chrono>

class ModelContainer;
class QTimer;

// Notices changes that reach the store from outside the main context (the sync, other
// processes) and tells the rails to rebuild by raising `generation`, holding a change
// back while a note is being edited on a rail.
class SyncWatcher : public QObject
{
    Q_OBJECT
    Q_PROPERTY(qint64 generation READ generation NOTIFY generationChanged)
    Q_PROPERTY(bool isEditing READ isEditing WRITE setIsEditing NOTIFY isEditingChanged)
    Q_PROPERTY(bool isPending READ isPending NOTIFY isPendingChanged)

public:
    // A cheap summary of the whole note table.
    struct Fingerprint
    {
        qint64 count = 0;
        QDateTime latest = distantPast();

        static QDateTime distantPast();
        friend bool operator==(const Fingerprint &, const Fingerprint &) = default;
    };

    static constexpr std::chrono::milliseconds pollInterval{30000};

    // Takes the store's present state as already shown.
    explicit SyncWatcher(ModelContainer *container, QObject *parent = nullptr);
    ~SyncWatcher() override;

    qint64 generation() const { return m_generation; }
    bool isEditing() const { return m_isEditing; }
    // Ending an edit while a change waits applies it at once.
    void setIsEditing(bool editing);
    bool isPending() const { return m_isPending; }
    const Fingerprint &rendered() const { return m_rendered; }
    ModelContainer *container() const { return m_container; }

    // Checks after every remote change of the store and every `interval`.
    void start(std::chrono::milliseconds interval = pollInterval);
    bool isStarted() const { return m_timer != nullptr; }

    // Applies or defers a change of the store since `rendered`.
    void check();
    // Takes the store's current state as shown and raises `generation`.
    void apply();

    // Counted on a context of its own, so unsaved changes of the main context play no
    // part; failures give count 0 and the distant past.
    static Fingerprint fingerprint(ModelContainer *container);

Q_SIGNALS:
    void generationChanged(qint64 generation);
    void isEditingChanged(bool editing);
    void isPendingChanged(bool pending);
    void renderedChanged();

private:
    void setPending(bool pending);

    qint64 m_generation = 0;
    bool m_isEditing = false;
    QPointer<ModelContainer> m_container;
    Fingerprint m_rendered;
    bool m_isPending = false;
    QMetaObject::Connection m_observer;
    QTimer *m_timer = nullptr;
};
