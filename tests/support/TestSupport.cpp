// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"

#include <QFile>
#include <QThread>

#include <sys/stat.h>

bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

std::unique_ptr<ModelContainer> makeMemoryContainer()
{
    auto container = ModelContainer::create(ModelConfiguration::inMemory());
    return container ? std::move(container).value() : nullptr;
}

ScopedDefaults::ScopedDefaults()
{
    UserDefaults::installStandard(std::make_unique<UserDefaults>(path()));
}

ScopedDefaults::~ScopedDefaults()
{
    UserDefaults::installStandard(nullptr);
}

UserDefaults &ScopedDefaults::defaults() const
{
    return UserDefaults::standard();
}

QString ScopedDefaults::path() const
{
    return m_dir.filePath(QStringLiteral("Orlette.conf"));
}

ScopedConfigHome::ScopedConfigHome(const QString &path)
    : m_had(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")), m_old(qgetenv("XDG_CONFIG_HOME"))
{
    qputenv("XDG_CONFIG_HOME", path.toUtf8());
}

ScopedConfigHome::~ScopedConfigHome()
{
    if (m_had)
        qputenv("XDG_CONFIG_HOME", m_old);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

ScopedEnvironment::ScopedEnvironment(const char *name, const QString &value)
    : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
{
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value.toUtf8());
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (m_had)
        qputenv(m_name, m_old);
    else
        qunsetenv(m_name);
}

ScopedUmask::ScopedUmask(unsigned mask) : m_old(::umask(mode_t(mask))) {}

ScopedUmask::~ScopedUmask()
{
    ::umask(mode_t(m_old));
}

int fileMode(const QString &path)
{
    struct stat status = {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return -1;
    return int(status.st_mode & 07777);
}
