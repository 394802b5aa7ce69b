// SPDX-License-Identifier: GPL-3.0-or-later
// Hot keys through KDE's real global-shortcut daemon (kglobalaccel5) on a private session
// bus; the daemon grabs the keys on the test's X server, where xdotool presses them.

#include "platform/KGlobalAccelHotKeyService.h"

#include "X11TestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

constexpr quint32 quickNoteKeyCode = 45;     // N
constexpr quint32 quickNoteModifiers = 2304; // command (Super) and option (Alt)
const int superAltN = (Qt::MetaModifier | Qt::AltModifier | Qt::Key_N).toCombined();

class X11KGlobalAccelHotKeys : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SKIP_UNLESS_X11();
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("kglobalaccel5"));
        if (daemon.isEmpty())
            GTEST_SKIP() << "no kglobalaccel5 (libkf5globalaccel-bin)";
        ASSERT_TRUE(m_home.isValid());

        m_bus.setProgram(QStringLiteral("dbus-daemon"));
        m_bus.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                            QStringLiteral("--print-address")});
        m_bus.start();
        ASSERT_TRUE(m_bus.waitForReadyRead(10000)) << "dbus-daemon gave no address";
        const QString address = QString::fromUtf8(m_bus.readLine()).trimmed();
        m_connection = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, QStringLiteral("kglobalaccel-test")));
        ASSERT_TRUE(m_connection->isConnected());

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_daemon.setProcessEnvironment(environment);
        m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_daemon.start(daemon, {});
        const QDeadlineTimer deadline(15000);
        while (!m_connection->interface()->isServiceRegistered(
                   QString::fromLatin1(KGlobalAccelHotKeyService::serviceName)) &&
               !deadline.hasExpired() && m_daemon.state() != QProcess::NotRunning)
            X11Test::settle(50);
        ASSERT_TRUE(m_connection->interface()->isServiceRegistered(
            QString::fromLatin1(KGlobalAccelHotKeyService::serviceName)))
            << "kglobalaccel5 did not start";
    }

    void TearDown() override
    {
        for (QProcess *process : {&m_daemon, &m_bus}) {
            if (process->state() != QProcess::NotRunning) {
                process->terminate();
                if (!process->waitForFinished(3000)) {
                    process->kill();
                    process->waitForFinished();
                }
            }
        }
        if (m_connection)
            QDBusConnection::disconnectFromBus(QStringLiteral("kglobalaccel-test"));
    }

    // Registers an action of another application for `key`, as KDE's library does.
    void registerOtherApplication(int key)
    {
        const QStringList id{QStringLiteral("other"), QStringLiteral("act"), QStringLiteral("Otra"),
                             QStringLiteral("Acción")};
        const auto call = [&](const QString &method, const QVariantList &arguments) {
            QDBusMessage message = QDBusMessage::createMethodCall(
                QString::fromLatin1(KGlobalAccelHotKeyService::serviceName),
                QStringLiteral("/kglobalaccel"), QStringLiteral("org.kde.KGlobalAccel"), method);
            message.setArguments(arguments);
            return m_connection->call(message);
        };
        call(QStringLiteral("doRegister"), {id});
        call(QStringLiteral("setShortcut"), {id, QVariant::fromValue(QList<int>{key}), 2u});
    }

    QTemporaryDir m_home;
    QProcess m_bus;
    QProcess m_daemon;
    std::unique_ptr<QDBusConnection> m_connection;
};

} // namespace

TEST(KGlobalAccelKeys, TheQuickNoteKeyIsMetaAltN)
{
    EXPECT_EQ(KGlobalAccelHotKeyService::qtKey(quickNoteKeyCode, quickNoteModifiers), superAltN);
    EXPECT_EQ(KGlobalAccelHotKeyService::qtKey(quickNoteKeyCode, 4096 | 512),
              (Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_N).toCombined());
    EXPECT_EQ(KGlobalAccelHotKeyService::qtKey(0x7f, quickNoteModifiers), std::nullopt)
        << "no such key";
}

TEST_F(X11KGlobalAccelHotKeys, ThePressedKeyReachesItsRegistrationOnly)
{
    KGlobalAccelHotKeyService service(*m_connection);
    ASSERT_TRUE(service.isAvailable());
    const HotKeyIdentity identity{HotKeyIdentity::fourCharCode("ORLT"), 7};
    const std::optional<quint64> reference =
        service.registerHotKey(quickNoteKeyCode, quickNoteModifiers, identity);
    ASSERT_TRUE(reference) << service.lastError().toStdString();
    EXPECT_EQ(service.activeKeys(*reference), QList<int>{superAltN});

    QSignalSpy pressed(&service, &HotKeyService::hotKeyPressed);
    X11Test::settle(300); // the daemon's grab
    ASSERT_TRUE(X11Test::xdotool({QStringLiteral("key"), QStringLiteral("super+alt+n")}));
    ASSERT_TRUE(pressed.wait(5000)) << "no press came back from the daemon";
    EXPECT_EQ(pressed.first().first().value<HotKeyIdentity>(), identity);

    // Released: the key does nothing for us any more.
    service.unregisterHotKey(*reference);
    pressed.clear();
    ASSERT_TRUE(X11Test::xdotool({QStringLiteral("key"), QStringLiteral("super+alt+n")}));
    X11Test::settle(500);
    EXPECT_TRUE(pressed.isEmpty());
}

TEST_F(X11KGlobalAccelHotKeys, AKeyAnotherApplicationHoldsIsRefusedAndSaysWhy)
{
    registerOtherApplication(superAltN);
    KGlobalAccelHotKeyService service(*m_connection);
    EXPECT_EQ(service.registerHotKey(quickNoteKeyCode, quickNoteModifiers,
                                     {HotKeyIdentity::fourCharCode("ORLT"), 1}),
              std::nullopt);
    EXPECT_FALSE(service.lastError().isEmpty());
}

TEST(KGlobalAccelAbsent, WithoutTheDaemonNothingIsRegisteredAndTheReasonIsKept)
{
    // A bus without the daemon: a connection to nowhere.
    KGlobalAccelHotKeyService service(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("kglobalaccel-none")));
    EXPECT_FALSE(service.isAvailable());
    EXPECT_EQ(service.registerHotKey(quickNoteKeyCode, quickNoteModifiers,
                                     {HotKeyIdentity::fourCharCode("ORLT"), 1}),
              std::nullopt);
    EXPECT_FALSE(service.lastError().isEmpty());
    QDBusConnection::disconnectFromBus(QStringLiteral("kglobalaccel-none"));
}
