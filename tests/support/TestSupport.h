// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ModelContainer.h"
#include "model/UserDefaults.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// Runs the event loop until `condition` holds or `timeoutMs` passes; true if it held.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 3000);

// A fresh in-memory container.
std::unique_ptr<ModelContainer> makeMemoryContainer();

// Points XDG_CONFIG_HOME somewhere for the life of the object.
class ScopedConfigHome
{
public:
    explicit ScopedConfigHome(const QString &path);
    ~ScopedConfigHome();
    ScopedConfigHome(const ScopedConfigHome &) = delete;
    ScopedConfigHome &operator=(const ScopedConfigHome &) = delete;

private:
    bool m_had;
    QByteArray m_old;
};

// Sets (or, with a null value, unsets) an environment variable for the life of the object.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char *name, const QString &value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

// Sets the process's umask for the life of the object.
class ScopedUmask
{
public:
    explicit ScopedUmask(unsigned mask);
    ~ScopedUmask();
    ScopedUmask(const ScopedUmask &) = delete;
    ScopedUmask &operator=(const ScopedUmask &) = delete;

private:
    unsigned m_old;
};

// The permission bits of a file, folder or socket (not following links); -1 when absent.
int fileMode(const QString &path);

// Installs fresh standard settings in a temporary folder for the life of the object.
class ScopedDefaults
{
public:
    ScopedDefaults();
    ~ScopedDefaults();
    UserDefaults &defaults() const;
    QString path() const;

private:
    QTemporaryDir m_dir;
};
