// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>

class QFileSystemWatcher;
class QSettings;
class QTimer;

// The application's key-value settings, kept in an INI file. Every write is on disk when
// `setValue` returns, and `didChange` fires after every write made here and after any
// change another process makes to the file.
class UserDefaults : public QObject
{
    Q_OBJECT

public:
    explicit UserDefaults(const QString &path, QObject *parent = nullptr);
    ~UserDefaults() override;

    // The defaults of this process (the settings file of AppPaths unless replaced).
    static UserDefaults &standard();
    // Replaces the defaults of this process; for tests and for a custom settings file.
    static void installStandard(std::unique_ptr<UserDefaults> defaults);

    QString path() const;
    bool contains(const QString &key) const;
    QVariant value(const QString &key, const QVariant &fallback = {}) const;
    bool boolValue(const QString &key, bool fallback = false) const;
    QString stringValue(const QString &key, const QString &fallback = {}) const;
    double doubleValue(const QString &key, double fallback = 0) const;
    QStringList keys() const;

    void setValue(const QString &key, const QVariant &value);
    void remove(const QString &key);
    // Writes pending changes and reads what others wrote; true when the file is sound.
    bool synchronize();

Q_SIGNALS:
    void didChange();

private:
    void reloadFromDisk();
    void afterWrite();
    QHash<QString, QVariant> snapshot() const;

    std::unique_ptr<QSettings> m_settings;
    QHash<QString, QVariant> m_snapshot;
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer *m_debounce = nullptr;
};
