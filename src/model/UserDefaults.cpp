// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/UserDefaults.h"

#include "model/AppPaths.h"
#include "model/PrivateFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSettings>
#include <QTimer>

namespace {

std::unique_ptr<UserDefaults> &standardInstance()
{
    static std::unique_ptr<UserDefaults> instance;
    return instance;
}

} // namespace

UserDefaults::UserDefaults(const QString &path, QObject *parent)
    : QObject(parent), m_settings(std::make_unique<QSettings>(path, QSettings::IniFormat))
{
    const QFileInfo info(path);
    PrivateFiles::makeFolder(info.absolutePath());
    m_snapshot = snapshot();

    m_watcher = new QFileSystemWatcher(this);
    m_watcher->addPath(info.absolutePath());
    if (info.exists())
        m_watcher->addPath(info.absoluteFilePath());
    m_debounce = new QTimer(this);
    m_debounce->setSingleShot(true);
    m_debounce->setInterval(100);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, m_debounce, qOverload<>(&QTimer::start));
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, m_debounce,
            qOverload<>(&QTimer::start));
    connect(m_debounce, &QTimer::timeout, this, &UserDefaults::reloadFromDisk);
}

UserDefaults::~UserDefaults() = default;

UserDefaults &UserDefaults::standard()
{
    auto &instance = standardInstance();
    if (!instance)
        instance = std::make_unique<UserDefaults>(AppPaths::settingsFile());
    return *instance;
}

void UserDefaults::installStandard(std::unique_ptr<UserDefaults> defaults)
{
    standardInstance() = std::move(defaults);
}

QString UserDefaults::path() const
{
    return m_settings->fileName();
}

bool UserDefaults::contains(const QString &key) const
{
    return m_settings->contains(key);
}

QVariant UserDefaults::value(const QString &key, const QVariant &fallback) const
{
    return m_settings->value(key, fallback);
}

bool UserDefaults::boolValue(const QString &key, bool fallback) const
{
    const QVariant v = m_settings->value(key);
    if (!v.isValid())
        return fallback;
    if (v.metaType().id() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toLower();
        return s == u"true" || s == u"1" || s == u"yes";
    }
    return v.toBool();
}

QString UserDefaults::stringValue(const QString &key, const QString &fallback) const
{
    const QVariant v = m_settings->value(key);
    return v.isValid() ? v.toString() : fallback;
}

double UserDefaults::doubleValue(const QString &key, double fallback) const
{
    bool ok = false;
    const double d = m_settings->value(key).toDouble(&ok);
    return ok ? d : fallback;
}

QStringList UserDefaults::keys() const
{
    return m_settings->allKeys();
}

void UserDefaults::setValue(const QString &key, const QVariant &value)
{
    m_settings->setValue(key, value);
    afterWrite();
}

void UserDefaults::remove(const QString &key)
{
    m_settings->remove(key);
    afterWrite();
}

bool UserDefaults::synchronize()
{
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

void UserDefaults::afterWrite()
{
    m_settings->sync();
    const QString file = QFileInfo(m_settings->fileName()).absoluteFilePath();
    // QSettings makes a new file as the umask says; an existing one keeps its mode.
    PrivateFiles::restrict(file);
    if (!m_watcher->files().contains(file) && QFileInfo::exists(file))
        m_watcher->addPath(file);
    m_snapshot = snapshot();
    Q_EMIT didChange();
}

void UserDefaults::reloadFromDisk()
{
    m_settings->sync();
    const QString file = QFileInfo(m_settings->fileName()).absoluteFilePath();
    // An atomic rewrite replaces the file, which ends the watch on the old one.
    if (!m_watcher->files().contains(file) && QFileInfo::exists(file))
        m_watcher->addPath(file);
    auto current = snapshot();
    if (current == m_snapshot)
        return;
    m_snapshot = std::move(current);
    Q_EMIT didChange();
}

QHash<QString, QVariant> UserDefaults::snapshot() const
{
    QHash<QString, QVariant> values;
    for (const QString &key : m_settings->allKeys())
        values.insert(key, m_settings->value(key));
    return values;
}
