// SPDX-License-Identifier: GPL-3.0-or-later
// A session bus of a test's own, and the fake of the desktop portal's global shortcuts
// (fake_global_shortcuts_portal.py beside this file) on it.
#pragma once

#include "platform/PortalHotKeyService.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>
#include <vector>

inline const QString python = QStringLiteral("/usr/bin/python3");
inline const QString fakePortal =
    QStringLiteral(ORLETTE_TEST_SUPPORT_DIR "/fake_global_shortcuts_portal.py");

// A session bus of the test's own that starts only what the test makes activatable on it
// (the portal installed on the machine must not answer in place of the one a test runs),
// and programs on it.
class PrivateBusTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        const QString config = m_folder.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("<busconfig><type>session</type>"
                                  "<listen>unix:dir=%1</listen><auth>EXTERNAL</auth>"
                                  "<servicedir>%2</servicedir>"
                                  "<policy context=\"default\">"
                                  "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                  "<allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                                  "</policy></busconfig>")
                       .arg(m_folder.path(), serviceFolder())
                       .toUtf8());
        ASSERT_TRUE(QDir().mkpath(serviceFolder()));
        file.close();
        m_bus.setProgram(QStringLiteral("dbus-daemon"));
        m_bus.setArguments({QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                            QStringLiteral("--print-address")});
        m_bus.start();
        ASSERT_TRUE(m_bus.waitForReadyRead(10000)) << "dbus-daemon gave no address";
        m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
        m_connection = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(m_address, connectionName()));
        ASSERT_TRUE(m_connection->isConnected());
    }

    void TearDown() override
    {
        while (!m_programs.empty())
            stop(m_programs.size() - 1);
        if (m_bus.state() != QProcess::NotRunning) {
            m_bus.terminate();
            m_bus.waitForFinished(3000);
        }
        if (m_connection)
            QDBusConnection::disconnectFromBus(connectionName());
    }

    static QString connectionName() { return QStringLiteral("portal-hotkey-test"); }

    QString serviceFolder() const { return m_folder.filePath(QStringLiteral("services")); }

    // Lets the bus start `program` when a message is sent to `name`, as a desktop's session
    // bus starts its portal; the program finds the bus in DBUS_SESSION_BUS_ADDRESS.
    void makeActivatable(const QString &name, const QString &program, const QStringList &arguments)
    {
        QStringList command{program};
        command << arguments;
        for (QString &word : command)
            word = QLatin1Char('\'') + word + QLatin1Char('\'');
        QFile file(serviceFolder() + QLatin1Char('/') + name + QStringLiteral(".service"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("[D-BUS Service]\nName=%1\nExec=%2\n")
                       .arg(name, command.join(QLatin1Char(' ')))
                       .toUtf8());
        file.close();
        const QDBusMessage reload = m_connection->call(
            QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ReloadConfig")),
            QDBus::Block, 5000);
        ASSERT_EQ(reload.type(), QDBusMessage::ReplyMessage) << reload.errorMessage().toStdString();
        const QDBusReply<QStringList> activatable =
            m_connection->interface()->activatableServiceNames();
        ASSERT_TRUE(activatable.isValid() && activatable.value().contains(name));
    }

    // Starts `program` on the bus and waits for it to own `name`; false if it never did.
    bool start(const QString &program, const QStringList &arguments, const QString &name,
               QProcessEnvironment environment = QProcessEnvironment::systemEnvironment())
    {
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(program, arguments);
        QProcess *started = process.get();
        m_programs.push_back(std::move(process));
        return waitUntil(
                   [&] {
                       return m_connection->interface()->isServiceRegistered(name) ||
                              started->state() == QProcess::NotRunning;
                   },
                   15000) &&
               started->state() != QProcess::NotRunning;
    }

    // Ends the program started `index`th (and forgets it).
    void stop(std::size_t index)
    {
        QProcess &process = *m_programs.at(index);
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(3000)) {
                process.kill();
                process.waitForFinished();
            }
        }
        m_programs.erase(m_programs.begin() + std::ptrdiff_t(index));
    }

    QTemporaryDir m_folder;
    QProcess m_bus;
    QString m_address;
    std::unique_ptr<QDBusConnection> m_connection;
    std::vector<std::unique_ptr<QProcess>> m_programs;
};

// The fake portal.
class FakePortalTest : public PrivateBusTest
{
protected:
    void SetUp() override
    {
        QProcess probe;
        probe.start(python, {QStringLiteral("-c"), QStringLiteral("import dbus, gi")});
        if (!probe.waitForFinished(10000) || probe.exitCode() != 0)
            GTEST_SKIP() << "no python3-dbus or python3-gi";
        PrivateBusTest::SetUp();
    }

    // The fake portal, started by the first message sent to it.
    void makePortalActivatable(const QStringList &arguments)
    {
        makeActivatable(QString::fromLatin1(PortalHotKeyService::serviceName), python,
                        QStringList{fakePortal} + arguments);
    }

    void startPortal(const QStringList &arguments)
    {
        stopPortal();
        ASSERT_TRUE(start(python, QStringList{fakePortal} + arguments,
                          QString::fromLatin1(PortalHotKeyService::serviceName)))
            << "the fake portal did not start";
    }

    void stopPortal()
    {
        if (!m_programs.empty())
            stop(0);
    }

    QDBusMessage control(const QString &method, const QVariantList &arguments = {})
    {
        QDBusMessage call =
            QDBusMessage::createMethodCall(QString::fromLatin1(PortalHotKeyService::serviceName),
                                           QString::fromLatin1(PortalHotKeyService::objectPath),
                                           QStringLiteral("org.orlette.FakePortal"), method);
        call.setArguments(arguments);
        return m_connection->call(call, QDBus::Block, 5000);
    }

    // What the fake portal was asked, in order. Its answer comes after every signal it sent
    // before, so once the answer is in and the events are dispatched, those signals are too.
    QStringList calls()
    {
        const QDBusReply<QStringList> reply = control(QStringLiteral("Calls"));
        QCoreApplication::processEvents();
        return reply.isValid() ? reply.value() : QStringList{};
    }

    bool called(const QString &call)
    {
        return waitUntil([&] { return calls().contains(call); }, 5000);
    }

    QString sessionPath()
    {
        for (const QString &call : calls()) {
            if (call.startsWith(QLatin1String("CreateSession ")))
                return call.section(QLatin1Char(' '), 1);
        }
        return {};
    }

    // Presses the key in `session`, or in every session that bound it; how many saw it.
    uint press(const QString &session = {})
    {
        const QDBusReply<uint> reply =
            control(QStringLiteral("Press"),
                    {session, QString::fromLatin1(PortalHotKeyService::shortcutId)});
        QCoreApplication::processEvents();
        return reply.isValid() ? reply.value() : 0;
    }
};

// Asks `service` whether the portal offers global shortcuts, and runs the event loop until
// it knows (a mute portal is given up after the service's time limit).
// A portal that never answers is given up on after this in tests, not the product's long wait.
inline constexpr int muteAnswerTimeoutMs = 2000;

inline PortalHotKeyService::Availability askAvailability(PortalHotKeyService &service)
{
    service.checkAvailability();
    waitUntil([&] { return service.availability() != PortalHotKeyService::Availability::unknown; },
              PortalHotKeyService::callTimeoutMs + 10000);
    return service.availability();
}
