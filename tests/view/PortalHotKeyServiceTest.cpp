// SPDX-License-Identifier: GPL-3.0-or-later
// Hot keys through the desktop portal's global shortcuts, against a fake of the portal's
// D-Bus interface (tests/support/fake_global_shortcuts_portal.py) on a private bus.

#include "platform/PortalHotKeyService.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

constexpr quint32 quickNoteKeyCode = 45;     // N
constexpr quint32 quickNoteModifiers = 2304; // command (Super) and option (Alt)
const HotKeyIdentity identity{HotKeyIdentity::fourCharCode("ORLT"), 3};
const QString python = QStringLiteral("/usr/bin/python3");
const QString fakePortal =
    QStringLiteral(ORLETTE_TEST_SUPPORT_DIR "/fake_global_shortcuts_portal.py");

QString firstExisting(const QStringList &paths)
{
    for (const QString &path : paths) {
        if (QFileInfo(path).isExecutable())
            return path;
    }
    return {};
}

// A session bus of the test's own that starts nothing by itself (the portal installed on
// the machine must not answer in place of the one a test runs), and programs on it.
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
                                  "<policy context=\"default\">"
                                  "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                  "<allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                                  "</policy></busconfig>")
                       .arg(m_folder.path())
                       .toUtf8());
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

bool isBound(const PortalHotKeyService &service, quint64 reference)
{
    const auto binding = service.binding(reference);
    return binding && binding->state == PortalHotKeyService::State::bound;
}

// The fake portal.
class PortalHotKeys : public PrivateBusTest
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

} // namespace

TEST(PortalTriggers, KeysBecomeTheShortcutTriggersOfTheDesktop)
{
    EXPECT_EQ(PortalHotKeyService::trigger(quickNoteKeyCode, quickNoteModifiers),
              QStringLiteral("LOGO+ALT+n"));
    EXPECT_EQ(PortalHotKeyService::trigger(0x12, 4096 | 512), QStringLiteral("CTRL+SHIFT+1"));
    EXPECT_EQ(PortalHotKeyService::trigger(0x31, quickNoteModifiers), std::nullopt)
        << "space has a keysym name of its own";
    EXPECT_EQ(PortalHotKeyService::trigger(0x7f, quickNoteModifiers), std::nullopt)
        << "no such key";
}

TEST_F(PortalHotKeys, TheBoundKeyGivesOnePressPerPressOfItsOwnSessionOnly)
{
    startPortal({});
    PortalHotKeyService service(*m_connection, QStringLiteral("org.orlette.Orlette"));
    ASSERT_TRUE(service.isAvailable());
    QSignalSpy failed(&service, &HotKeyService::registrationFailed);
    const std::optional<quint64> reference =
        service.registerHotKey(quickNoteKeyCode, quickNoteModifiers, identity);
    ASSERT_TRUE(reference) << service.lastError().toStdString();
    // The fake answers before its calls return: only a registration that listened before
    // calling sees the answers.
    ASSERT_TRUE(waitUntil([&] { return isBound(service, *reference); }, 5000)) << "never bound";
    EXPECT_EQ(service.binding(*reference)->trigger, QStringLiteral("Meta+Alt+N"));
    const QStringList asked = calls();
    ASSERT_EQ(asked.filter(QStringLiteral("BindShortcuts")).size(), 1)
        << asked.join(u'\n').toStdString();
    EXPECT_TRUE(asked.filter(QStringLiteral("BindShortcuts"))
                    .first()
                    .startsWith(QStringLiteral("BindShortcuts nota-rapida LOGO+ALT+n ")));

    QSignalSpy pressed(&service, &HotKeyService::hotKeyPressed);
    ASSERT_EQ(press(), 1u);
    ASSERT_TRUE(waitUntil([&] { return !pressed.isEmpty(); }, 5000)) << "the press never came";
    calls();
    EXPECT_EQ(pressed.size(), 1) << "the release is no press";
    EXPECT_EQ(pressed.first().first().value<HotKeyIdentity>(), identity);

    // Another application's session with a shortcut of the same id.
    press(QStringLiteral("/org/freedesktop/portal/desktop/session/1_999/theirs"));
    calls();
    EXPECT_EQ(pressed.size(), 1);

    // The person chose another key in the desktop's settings.
    QSignalSpy changed(&service, &PortalHotKeyService::bindingChanged);
    control(QStringLiteral("ChangeTrigger"),
            {QString::fromLatin1(PortalHotKeyService::shortcutId), QStringLiteral("Ctrl+Alt+N")});
    ASSERT_TRUE(waitUntil([&] { return !changed.isEmpty(); }, 5000));
    EXPECT_EQ(service.binding(*reference)->trigger, QStringLiteral("Ctrl+Alt+N"));
    EXPECT_TRUE(failed.isEmpty());

    // Released: the portal's session is closed, and a press reaches nobody.
    const QString session = sessionPath();
    service.unregisterHotKey(*reference);
    EXPECT_TRUE(called(QStringLiteral("Session.Close ") + session));
    EXPECT_EQ(press(), 0u);
    EXPECT_EQ(service.binding(*reference), std::nullopt);
}

TEST_F(PortalHotKeys, ARefusalIsToldWithItsReasonAndEndsTheSession)
{
    startPortal({QStringLiteral("--refuse")});
    PortalHotKeyService service(*m_connection);
    QSignalSpy failed(&service, &HotKeyService::registrationFailed);
    const std::optional<quint64> reference =
        service.registerHotKey(quickNoteKeyCode, quickNoteModifiers, identity);
    ASSERT_TRUE(reference) << "the answer comes later";
    ASSERT_TRUE(waitUntil([&] { return !failed.isEmpty(); }, 5000)) << "a silent failure";
    EXPECT_EQ(failed.first().at(0).value<HotKeyIdentity>(), identity);
    const QString reason = failed.first().at(1).toString();
    EXPECT_FALSE(reason.isEmpty());
    ASSERT_TRUE(service.binding(*reference));
    EXPECT_EQ(service.binding(*reference)->state, PortalHotKeyService::State::failed);
    EXPECT_EQ(service.binding(*reference)->error, reason);
    EXPECT_TRUE(called(QStringLiteral("Session.Close ") + sessionPath()));
}

TEST_F(PortalHotKeys, AKeyTheDesktopLeftUnassignedIsToldUntilThePersonAssignsOne)
{
    startPortal({QStringLiteral("--bind-nothing")});
    PortalHotKeyService service(*m_connection);
    QSignalSpy failed(&service, &HotKeyService::registrationFailed);
    QSignalSpy pressed(&service, &HotKeyService::hotKeyPressed);
    const std::optional<quint64> reference =
        service.registerHotKey(quickNoteKeyCode, quickNoteModifiers, identity);
    ASSERT_TRUE(reference);
    ASSERT_TRUE(waitUntil([&] { return !failed.isEmpty(); }, 5000)) << "a silent failure";
    EXPECT_FALSE(failed.first().at(1).toString().isEmpty());
    EXPECT_EQ(press(), 0u);

    // Assigned in the desktop's settings afterwards: the session was kept for it.
    control(QStringLiteral("ChangeTrigger"),
            {QString::fromLatin1(PortalHotKeyService::shortcutId), QStringLiteral("Meta+Alt+N")});
    ASSERT_TRUE(waitUntil([&] { return isBound(service, *reference); }, 5000));
    EXPECT_EQ(service.binding(*reference)->trigger, QStringLiteral("Meta+Alt+N"));
    EXPECT_TRUE(service.binding(*reference)->error.isEmpty());
    ASSERT_EQ(press(), 1u);
    ASSERT_TRUE(waitUntil([&] { return !pressed.isEmpty(); }, 5000));
}

TEST_F(PortalHotKeys, ALateAnswerLeavesTheKeyPendingWhileTheEventLoopRuns)
{
    startPortal({QStringLiteral("--answer-after"), QStringLiteral("1000")});
    PortalHotKeyService service(*m_connection);
    const std::optional<quint64> reference =
        service.registerHotKey(quickNoteKeyCode, quickNoteModifiers, identity);
    ASSERT_TRUE(reference);
    ASSERT_EQ(service.binding(*reference)->state, PortalHotKeyService::State::pending)
        << "registering waited for the desktop";
    ASSERT_TRUE(
        called(QStringLiteral("BindShortcuts nota-rapida LOGO+ALT+n Crear una nota nueva")));
    EXPECT_EQ(service.binding(*reference)->state, PortalHotKeyService::State::pending);
    ASSERT_TRUE(waitUntil([&] { return isBound(service, *reference); }, 10000));

    QSignalSpy pressed(&service, &HotKeyService::hotKeyPressed);
    ASSERT_EQ(press(), 1u);
    ASSERT_TRUE(waitUntil([&] { return !pressed.isEmpty(); }, 5000));
}

TEST_F(PortalHotKeys, GivingUpAKeyStillAwaitingItsAnswerEndsTheRequestAndTheSession)
{
    startPortal({QStringLiteral("--answer-after"), QStringLiteral("1500")});
    PortalHotKeyService service(*m_connection);
    QSignalSpy changed(&service, &PortalHotKeyService::bindingChanged);
    const std::optional<quint64> reference =
        service.registerHotKey(quickNoteKeyCode, quickNoteModifiers, identity);
    ASSERT_TRUE(reference);
    ASSERT_TRUE(
        called(QStringLiteral("BindShortcuts nota-rapida LOGO+ALT+n Crear una nota nueva")));
    const QString session = sessionPath();
    service.unregisterHotKey(*reference);
    ASSERT_TRUE(called(QStringLiteral("Session.Close ") + session));
    EXPECT_EQ(calls().filter(QStringLiteral("Request.Close ")).size(), 1);
    EXPECT_TRUE(changed.isEmpty());
}

TEST_F(PortalHotKeys, TheSessionClosesWithTheServiceAndWhenTheDesktopClosesItThatIsTold)
{
    startPortal({});
    QString session;
    {
        PortalHotKeyService service(*m_connection);
        const std::optional<quint64> reference =
            service.registerHotKey(quickNoteKeyCode, quickNoteModifiers, identity);
        ASSERT_TRUE(reference);
        ASSERT_TRUE(waitUntil([&] { return isBound(service, *reference); }, 5000));
        session = sessionPath();
        ASSERT_FALSE(session.isEmpty());
    }
    EXPECT_TRUE(called(QStringLiteral("Session.Close ") + session));

    PortalHotKeyService service(*m_connection);
    QSignalSpy failed(&service, &HotKeyService::registrationFailed);
    const std::optional<quint64> reference =
        service.registerHotKey(quickNoteKeyCode, quickNoteModifiers, identity);
    ASSERT_TRUE(reference);
    ASSERT_TRUE(waitUntil([&] { return isBound(service, *reference); }, 5000));
    control(QStringLiteral("CloseSessions"));
    ASSERT_TRUE(waitUntil([&] { return !failed.isEmpty(); }, 5000));
    EXPECT_FALSE(failed.first().at(1).toString().isEmpty());
    EXPECT_EQ(service.binding(*reference)->state, PortalHotKeyService::State::failed);
}

TEST_F(PortalHotKeys, APortalThatIsGoneLacksTheInterfaceOrIsMuteOffersNothing)
{
    {
        PortalHotKeyService service(*m_connection);
        EXPECT_FALSE(service.isAvailable()) << "no portal on the bus";
        EXPECT_EQ(service.registerHotKey(quickNoteKeyCode, quickNoteModifiers, identity),
                  std::nullopt);
        EXPECT_FALSE(service.lastError().isEmpty());
    }
    for (const QString &behaviour :
         {QStringLiteral("--without-interface"), QStringLiteral("--hang")}) {
        SCOPED_TRACE(behaviour.toStdString());
        startPortal({behaviour});
        PortalHotKeyService service(*m_connection);
        // A mute portal is given up after the call's time limit.
        EXPECT_FALSE(service.isAvailable());
        EXPECT_EQ(service.registerHotKey(quickNoteKeyCode, quickNoteModifiers, identity),
                  std::nullopt);
        EXPECT_FALSE(service.lastError().isEmpty());
        EXPECT_TRUE(calls().filter(QStringLiteral("CreateSession")).isEmpty());
    }
}

TEST_F(PortalHotKeys, WhenThePortalGoesAwayItsKeysAreToldLost)
{
    startPortal({});
    PortalHotKeyService service(*m_connection);
    QSignalSpy failed(&service, &HotKeyService::registrationFailed);
    const std::optional<quint64> reference =
        service.registerHotKey(quickNoteKeyCode, quickNoteModifiers, identity);
    ASSERT_TRUE(reference);
    ASSERT_TRUE(waitUntil([&] { return isBound(service, *reference); }, 5000));
    stopPortal();
    ASSERT_TRUE(waitUntil([&] { return !failed.isEmpty(); }, 5000));
    EXPECT_EQ(service.binding(*reference)->state, PortalHotKeyService::State::failed);
}

namespace {

// Debian's own portal on the test's bus, without a display: alone (as on a desktop whose
// portal back-ends have no global shortcuts), or with KDE's back-end and the kglobalaccel
// it binds keys with.
class RealPortalHotKeys : public PrivateBusTest
{
protected:
    void SetUp() override
    {
        m_portal = firstExisting({QStringLiteral("/usr/libexec/xdg-desktop-portal")});
        if (m_portal.isEmpty())
            GTEST_SKIP() << "no xdg-desktop-portal";
        PrivateBusTest::SetUp();
        if (HasFatalFailure())
            return;
        const QString runtime = m_folder.filePath(QStringLiteral("runtime"));
        ASSERT_TRUE(QDir().mkpath(runtime));
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_environment.remove(QStringLiteral("DISPLAY"));
        m_environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                             m_folder.filePath(QStringLiteral("config")));
        m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    }

    void startPortal(const QString &desktop)
    {
        m_environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), desktop);
        ASSERT_TRUE(start(m_portal, {}, QString::fromLatin1(PortalHotKeyService::serviceName),
                          m_environment));
    }

    // The portal's sessions of this test's connection.
    int openSessions()
    {
        QString sender = m_connection->baseService().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QDBusMessage introspect = QDBusMessage::createMethodCall(
            QString::fromLatin1(PortalHotKeyService::serviceName),
            QStringLiteral("/org/freedesktop/portal/desktop/session/") + sender,
            QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"));
        const QDBusReply<QString> xml = m_connection->call(introspect, QDBus::Block, 5000);
        return xml.isValid() ? int(xml.value().count(QLatin1String("<node name="))) : -1;
    }

    QString m_portal;
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
};

} // namespace

TEST_F(RealPortalHotKeys, APortalWhoseBackEndsLackGlobalShortcutsOffersNone)
{
    // No back-ends at all, whatever the machine has installed: the portal falls back to
    // any back-end that has an interface, KDE's included, whichever the desktop.
    const QString backEnds = m_folder.filePath(QStringLiteral("portals"));
    ASSERT_TRUE(QDir().mkpath(backEnds));
    m_environment.insert(QStringLiteral("XDG_DESKTOP_PORTAL_DIR"), backEnds);
    startPortal(QStringLiteral("GNOME"));
    PortalHotKeyService service(*m_connection);
    EXPECT_FALSE(service.isAvailable());
    EXPECT_EQ(service.registerHotKey(quickNoteKeyCode, quickNoteModifiers, identity), std::nullopt);
    EXPECT_FALSE(service.lastError().isEmpty());
}

TEST_F(RealPortalHotKeys, KdesAnswerComesBackAndTheSessionClosesWithTheService)
{
    const QString kde =
        firstExisting({QStringLiteral("/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde"),
                       QStringLiteral("/usr/lib/aarch64-linux-gnu/libexec/xdg-desktop-portal-kde"),
                       QStringLiteral("/usr/libexec/xdg-desktop-portal-kde")});
    const QString kglobalaccel = firstExisting({QStringLiteral("/usr/bin/kglobalaccel5")});
    if (kde.isEmpty() || kglobalaccel.isEmpty())
        GTEST_SKIP() << "no xdg-desktop-portal-kde or kglobalaccel5";
    m_environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("KDE"));
    ASSERT_TRUE(start(kglobalaccel, {}, QStringLiteral("org.kde.kglobalaccel"), m_environment));
    ASSERT_TRUE(
        start(kde, {}, QStringLiteral("org.freedesktop.impl.portal.desktop.kde"), m_environment));
    startPortal(QStringLiteral("KDE"));
    {
        PortalHotKeyService service(*m_connection, QStringLiteral("org.orlette.Orlette"));
        ASSERT_TRUE(service.isAvailable());
        QSignalSpy failed(&service, &HotKeyService::registrationFailed);
        const std::optional<quint64> reference =
            service.registerHotKey(quickNoteKeyCode, quickNoteModifiers, identity);
        ASSERT_TRUE(reference) << service.lastError().toStdString();
        ASSERT_TRUE(waitUntil(
            [&] {
                return service.binding(*reference)->state != PortalHotKeyService::State::pending;
            },
            15000))
            << "no answer from the portal";
        // KDE's back-end of Plasma 5 binds no key for an application outside a sandbox until
        // the person assigns one; later ones bind the key asked for.
        const PortalHotKeyService::Binding binding = *service.binding(*reference);
        if (binding.state == PortalHotKeyService::State::failed) {
            EXPECT_EQ(failed.size(), 1);
            EXPECT_FALSE(binding.error.isEmpty());
        }
        EXPECT_EQ(openSessions(), 1) << "the session is kept for the key, bound or to come";
    }
    EXPECT_TRUE(waitUntil([&] { return openSessions() == 0; }, 5000))
        << "the session was left open";
}
