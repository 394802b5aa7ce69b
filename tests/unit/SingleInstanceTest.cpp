// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SingleInstance.h"

#include "TestSupport.h"

#include <QLocalServer>
#include <QProcess>
#include <QSignalSpy>
#include <QUuid>
#include <gtest/gtest.h>

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
