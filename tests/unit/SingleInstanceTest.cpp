// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SingleInstance.h"

#include "TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QString freshKey()
{
    return "orlette-test-" + QUuid::createUuid().toString(QUuid::Id128);
}

} // namespace

TEST(SingleInstance, SecondStartHandsItsArgumentsToTheFirst)
{
    const QString key = freshKey();
    SingleInstance primary(key);
    ASSERT_TRUE(primary.claim({}));
    EXPECT_TRUE(primary.isPrimary());
    QSignalSpy received(&primary, &SingleInstance::argumentsReceived);

    QProcess second;
    second.start(QCoreApplication::applicationFilePath(), {"--child-claim", key, "--library", "ñ"});
    ASSERT_TRUE(waitUntil([&] { return received.count() == 1; }, 5000))
        << second.exitCode() << second.readAllStandardError().toStdString();
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitCode(), 0) << "the second start hands over and leaves";
    EXPECT_EQ(received.first().first().toStringList(), (QStringList{"--library", "ñ"}));
}

TEST(SingleInstance, ALeftoverSocketDoesNotBlockTheNextStart)
{
    const QString key = freshKey();
    {
        // A server that never answers stands for a primary that crashed.
        QLocalServer stale;
        ASSERT_TRUE(stale.listen(key));
        stale.close();
    }
    SingleInstance instance(key);
    EXPECT_TRUE(instance.claim({}, 300));
    EXPECT_TRUE(instance.isPrimary());
}

TEST(SingleInstance, KeysDependOnTheDataFolder)
{
    EXPECT_EQ(SingleInstance::keyForDataDirectory("/a"), SingleInstance::keyForDataDirectory("/a"));
    EXPECT_NE(SingleInstance::keyForDataDirectory("/a"), SingleInstance::keyForDataDirectory("/b"));
}

TEST(SingleInstance, OnlyTheUserCanReachTheSocketWithOrWithoutARuntimeFolder)
{
    QTemporaryDir data;
    const QString dataFolder = data.filePath(QStringLiteral("Orlette"));
    // Nothing narrows what is made here unless the code does.
    const ScopedUmask permissive(0);
    const auto privateFolder = [](const QString &path) {
        struct stat status = {};
        return ::lstat(QFile::encodeName(path).constData(), &status) == 0 &&
               S_ISDIR(status.st_mode) && status.st_uid == ::getuid() &&
               (status.st_mode & 077) == 0;
    };

    {
        // Without a runtime folder (a start from cron, su, a bare X session).
        const ScopedEnvironment noRuntime("XDG_RUNTIME_DIR", QString());
        const QString key = SingleInstance::keyForDataDirectory(dataFolder);
        EXPECT_TRUE(privateFolder(QFileInfo(key).absolutePath())) << key.toStdString();
        SingleInstance instance(key);
        ASSERT_TRUE(instance.claim({}));
        EXPECT_EQ(fileMode(key) & 077, 0) << key.toStdString();
    }

    QTemporaryDir runtime;
    const ScopedEnvironment shared("XDG_RUNTIME_DIR", runtime.path());
    // A runtime folder others may enter is no place for the socket.
    ASSERT_EQ(::chmod(QFile::encodeName(runtime.path()).constData(), 0755), 0);
    const QString avoided = SingleInstance::keyForDataDirectory(dataFolder);
    EXPECT_FALSE(avoided.startsWith(runtime.path() + u'/')) << avoided.toStdString();
    EXPECT_TRUE(privateFolder(QFileInfo(avoided).absolutePath())) << avoided.toStdString();

    ASSERT_EQ(::chmod(QFile::encodeName(runtime.path()).constData(), 0700), 0);
    const QString key = SingleInstance::keyForDataDirectory(dataFolder);
    EXPECT_TRUE(key.startsWith(runtime.path() + u'/')) << key.toStdString();
    SingleInstance instance(key);
    ASSERT_TRUE(instance.claim({}));
    EXPECT_EQ(fileMode(key) & 077, 0);
}
