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
