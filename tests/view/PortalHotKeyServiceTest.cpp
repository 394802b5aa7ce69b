// SPDX-License-Identifier: GPL-3.0-or-later
// Hot keys through the desktop portal's global shortcuts, against a fake of the portal's
// D-Bus interface (tests/support/fake_global_shortcuts_portal.py) on a private bus.

#include "platform/PortalHotKeyService.h"

#include "FakePortalBus.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTimer>

namespace {

constexpr quint32 quickNoteKeyCode = 45;     // N
constexpr quint32 quickNoteModifiers = 2304; // command (Super) and option (Alt)
const HotKeyIdentity identity{HotKeyIdentity::fourCharCode("ORLT"), 3};
using Availability = PortalHotKeyService::Availability;

QString firstExisting(const QStringList &paths)
{
    for (const QString &path : paths) {
        if (QFileInfo(path).isExecutable())
            return path;
    }
    return {};
}

bool isBound(const PortalHotKeyService &service, quint64 reference)
{
    const auto binding = service.binding(reference);
    return binding && binding->state == PortalHotKeyService::State::bound;
}

// The fake portal.
class PortalHotKeys : public FakePortalTest
{
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
    ASSERT_EQ(askAvailability(service), Availability::offered);
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

TEST_F(PortalHotKeys, APortalThatIsGoneLacksTheInterfaceOrIsMuteOffersNothingAndSaysWhy)
{
    QString notOffered;
    {
        PortalHotKeyService service(*m_connection);
        EXPECT_EQ(askAvailability(service), Availability::notOffered) << "no portal on the bus";
        EXPECT_EQ(service.registerHotKey(quickNoteKeyCode, quickNoteModifiers, identity),
                  std::nullopt);
        notOffered = service.lastError();
        EXPECT_FALSE(notOffered.isEmpty());
    }
    const struct
    {
        QString behaviour;
        Availability availability;
    } portals[] = {{QStringLiteral("--without-interface"), Availability::notOffered},
                   // Given up after the call's time limit.
                   {QStringLiteral("--hang"), Availability::unanswered}};
    for (const auto &portal : portals) {
        SCOPED_TRACE(portal.behaviour.toStdString());
        startPortal({portal.behaviour});
        PortalHotKeyService service(*m_connection, {}, nullptr, muteAnswerTimeoutMs);
        EXPECT_EQ(askAvailability(service), portal.availability);
        EXPECT_EQ(service.registerHotKey(quickNoteKeyCode, quickNoteModifiers, identity),
                  std::nullopt);
        EXPECT_EQ(service.lastError(), service.unavailableReason());
        EXPECT_FALSE(service.lastError().isEmpty());
        EXPECT_EQ(service.lastError() == notOffered,
                  portal.availability == Availability::notOffered)
            << "a mute portal is told apart from one without shortcuts";
        EXPECT_TRUE(calls().filter(QStringLiteral("CreateSession")).isEmpty());
    }
}

TEST_F(PortalHotKeys, AKeyAskedOfAPortalStillStartingWaitsForItsAnswerWhileTheCallerGoesOn)
{
    // Not running: the question starts it, as a session bus starts the desktop's portal.
    makePortalActivatable({QStringLiteral("--version-after"), QStringLiteral("200")});
    PortalHotKeyService service(*m_connection, QStringLiteral("org.orlette.Orlette"));
    QSignalSpy known(&service, &PortalHotKeyService::availabilityKnown);
    const std::optional<quint64> reference =
        service.registerHotKey(quickNoteKeyCode, quickNoteModifiers, identity);
    ASSERT_TRUE(reference) << service.lastError().toStdString();
    EXPECT_EQ(service.availability(), Availability::unknown) << "registering waited for the portal";
    EXPECT_EQ(service.binding(*reference)->state, PortalHotKeyService::State::pending);
    // A second key does not ask again.
    const std::optional<quint64> second = service.registerHotKey(
        quickNoteKeyCode, quickNoteModifiers, {identity.signature, identity.number + 1});
    ASSERT_TRUE(second);

    ASSERT_TRUE(
        waitUntil([&] { return isBound(service, *reference) && isBound(service, *second); }, 15000))
        << "never bound";
    EXPECT_EQ(known.size(), 1);
    EXPECT_EQ(service.availability(), Availability::offered);
    const QStringList asked = calls();
    EXPECT_EQ(
        asked.filter(QStringLiteral("Get org.freedesktop.portal.GlobalShortcuts version")).size(),
        1)
        << asked.join(u'\n').toStdString();
    const qsizetype answered = asked.indexOf(QStringLiteral("Get answered"));
    const QStringList sessions = asked.filter(QStringLiteral("CreateSession "));
    ASSERT_EQ(sessions.size(), 2);
    EXPECT_LT(answered, asked.indexOf(sessions.first()))
        << "a session was asked for before the portal said it has shortcuts";

    QSignalSpy pressed(&service, &HotKeyService::hotKeyPressed);
    ASSERT_EQ(press(), 2u);
    ASSERT_TRUE(waitUntil([&] { return pressed.size() == 2; }, 5000));
}

TEST_F(PortalHotKeys, AKeyAskedOfAMutePortalFailsWithTheReasonAndTheEventLoopRunsMeanwhile)
{
    startPortal({QStringLiteral("--hang")});
    PortalHotKeyService service(*m_connection, {}, nullptr, muteAnswerTimeoutMs);
    QSignalSpy failed(&service, &HotKeyService::registrationFailed);
    const std::optional<quint64> reference =
        service.registerHotKey(quickNoteKeyCode, quickNoteModifiers, identity);
    ASSERT_TRUE(reference) << service.lastError().toStdString();
    std::optional<PortalHotKeyService::State> seenFromTheLoop;
    QTimer::singleShot(0, &service, [&] { seenFromTheLoop = service.binding(*reference)->state; });
    ASSERT_TRUE(waitUntil([&] { return !failed.isEmpty(); }, muteAnswerTimeoutMs + 10000))
        << "a silent failure";
    ASSERT_TRUE(seenFromTheLoop);
    EXPECT_EQ(*seenFromTheLoop, PortalHotKeyService::State::pending);
    EXPECT_EQ(service.availability(), Availability::unanswered);
    EXPECT_EQ(failed.first().at(0).value<HotKeyIdentity>(), identity);
    const QString reason = failed.first().at(1).toString();
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_EQ(service.binding(*reference)->state, PortalHotKeyService::State::failed);
    EXPECT_EQ(service.binding(*reference)->error, reason);
    EXPECT_TRUE(calls().filter(QStringLiteral("CreateSession")).isEmpty());
    EXPECT_TRUE(calls().filter(QStringLiteral("Session.Close")).isEmpty());
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
    EXPECT_EQ(askAvailability(service), Availability::notOffered);
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
        ASSERT_EQ(askAvailability(service), Availability::offered);
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
