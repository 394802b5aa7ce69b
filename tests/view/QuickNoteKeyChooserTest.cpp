// SPDX-License-Identifier: GPL-3.0-or-later
// Which service holds the quick-note key, chosen at start-up without waiting on the bus:
// the fake portal (started by the bus, slow, mute or without shortcuts) and KDE's real
// kglobalaccel daemon on a private session bus.

#include "app/QuickNoteKeyChooser.h"

#include "FakePortalBus.h"
#include "platform/KGlobalAccelHotKeyService.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QTimer>

namespace {

using Outcome = QuickNoteKey::Registration::Outcome;
using Route = QuickNoteKey::Registration::Route;

// Gives every key at once, as the X grab does on a free key.
class GivingHotKeyService : public HotKeyService
{
public:
    std::optional<quint64> registerHotKey(quint32, quint32, HotKeyIdentity) override
    {
        return ++m_registered;
    }
    void unregisterHotKey(quint64) override {}

private:
    quint64 m_registered = 0;
};

const GnomeCustomKeybinding::Binding gnomeBinding = QuickNoteKey::gnomeBinding(
    QStringLiteral("/usr/bin/orlette"), QStringLiteral("/usr/bin/orlette"));

class QuickNoteKeyChoice : public FakePortalTest
{
protected:
    std::unique_ptr<QuickNoteKeyChooser>
    makeChooser(int answerTimeoutMs = PortalHotKeyService::callTimeoutMs)
    {
        QuickNoteKeyChooser::Services services;
        services.keyGrab = [] { return std::make_unique<GivingHotKeyService>(); };
        services.kde = [this] {
            return std::make_unique<KGlobalAccelHotKeyService>(*m_connection);
        };
        services.portal = [this, answerTimeoutMs] {
            return std::make_unique<PortalHotKeyService>(
                *m_connection, QStringLiteral("org.orlette.Orlette"), nullptr, answerTimeoutMs);
        };
        return std::make_unique<QuickNoteKeyChooser>(std::move(services), [this] { ++m_notes; });
    }

    // KDE's daemon, without a display (it then grabs nothing, but holds the shortcuts). Start
    // it after the fake portal, which startPortal counts as the first program.
    bool startKglobalaccel()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("kglobalaccel5"));
        if (daemon.isEmpty())
            return false;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        const QString runtime = m_folder.filePath(QStringLiteral("runtime"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        // Its own settings each time: a key held by an earlier run's action stays held.
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           m_folder.filePath(QStringLiteral("config-%1").arg(++m_daemons)));
        return start(daemon, {}, QString::fromLatin1(KGlobalAccelHotKeyService::serviceName),
                     environment);
    }

    bool portalAskedAnything() { return !calls().filter(QStringLiteral("Get ")).isEmpty(); }

    static bool waitForChoice(const QuickNoteKeyChooser &chooser)
    {
        return waitUntil([&] { return !chooser.isChoosing(); },
                         PortalHotKeyService::callTimeoutMs + 10000);
    }

    static constexpr QuickNoteKeyChooser::Session waylandElsewhere{true, false, false};
    int m_notes = 0;
    int m_daemons = 0;
};

} // namespace

TEST_F(QuickNoteKeyChoice, StartUpGoesOnWhileAPortalStillStartingAnswersThenItHoldsTheKey)
{
    makePortalActivatable({QStringLiteral("--version-after"), QStringLiteral("200")});
    auto chooser = makeChooser();
    QSignalSpy changed(chooser.get(), &QuickNoteKeyChooser::changed);
    chooser->start(waylandElsewhere);
    ASSERT_TRUE(chooser->isChoosing()) << "start-up waited for the portal";
    EXPECT_EQ(chooser->service(), nullptr);
    EXPECT_EQ(chooser->hotKey(), nullptr);
    const QuickNoteKey::Registration asking = chooser->registration();
    EXPECT_EQ(asking.outcome, Outcome::choosing);
    const SettingsView::HotKeyStatus status = QuickNoteKey::status(asking, nullptr, gnomeBinding);
    EXPECT_FALSE(status.text.isEmpty());
    EXPECT_FALSE(status.isWarning);

    ASSERT_TRUE(waitForChoice(*chooser));
    EXPECT_GE(changed.size(), 1) << "the settings were not told";
    ASSERT_NE(qobject_cast<PortalHotKeyService *>(chooser->service()), nullptr);
    ASSERT_TRUE(
        waitUntil([&] { return chooser->registration().outcome == Outcome::registered; }, 5000))
        << "never bound";
    EXPECT_EQ(chooser->registration().route, Route::desktopPortal);
    EXPECT_EQ(chooser->registration().trigger, QStringLiteral("Meta+Alt+N"));
    const QStringList asked = calls();
    EXPECT_LT(asked.indexOf(QStringLiteral("Get answered")),
              asked.indexOf(asked.filter(QStringLiteral("CreateSession ")).value(0)));

    ASSERT_EQ(press(), 1u);
    ASSERT_TRUE(waitUntil([&] { return m_notes == 1; }, 5000)) << "the press made no note";

    // Released at the end: the portal's session goes with it.
    const QString session = sessionPath();
    chooser->stop();
    EXPECT_TRUE(called(QStringLiteral("Session.Close ") + session));
}

TEST_F(QuickNoteKeyChoice, AnAnswerThatComesAfterStoppingRegistersNothing)
{
    makePortalActivatable({QStringLiteral("--version-after"), QStringLiteral("200")});
    auto chooser = makeChooser();
    chooser->start(waylandElsewhere);
    ASSERT_TRUE(chooser->isChoosing());
    chooser->stop();
    EXPECT_FALSE(chooser->isChoosing());
    ASSERT_TRUE(called(QStringLiteral("Get answered")));
    // The answer's reply is in once the portal answered its next call.
    calls();
    EXPECT_EQ(chooser->service(), nullptr);
    EXPECT_TRUE(calls().filter(QStringLiteral("CreateSession")).isEmpty());
}

TEST_F(QuickNoteKeyChoice, APortalThatGivesNoKeysHandsItToKdesServiceWhereItRunsOrSaysWhy)
{
    const struct
    {
        QString behaviour;
        bool kdeRuns;
        Outcome outcome;
        Route route;
    } sessions[] = {
        {QStringLiteral("--hang"), true, Outcome::registered, Route::kdeShortcuts},
        {QStringLiteral("--without-interface"), true, Outcome::registered, Route::kdeShortcuts},
        // Told with the portal's silence as the reason.
        {QStringLiteral("--hang"), false, Outcome::refused, Route::desktopPortal},
        {QStringLiteral("--without-interface"), false, Outcome::noService, Route::keyGrab},
    };
    for (const auto &session : sessions) {
        SCOPED_TRACE(session.behaviour.toStdString() + (session.kdeRuns ? " with KDE" : ""));
        while (!m_programs.empty())
            stop(m_programs.size() - 1);
        startPortal({session.behaviour});
        if (session.kdeRuns && !startKglobalaccel()) {
            ADD_FAILURE() << "kglobalaccel5 did not start (libkf5globalaccel-bin)";
            continue;
        }
        auto chooser = makeChooser(muteAnswerTimeoutMs);
        QSignalSpy changed(chooser.get(), &QuickNoteKeyChooser::changed);
        chooser->start(waylandElsewhere);
        ASSERT_TRUE(chooser->isChoosing());
        bool choosingSeenFromTheLoop = false;
        QTimer::singleShot(0, chooser.get(),
                           [&] { choosingSeenFromTheLoop = chooser->isChoosing(); });
        ASSERT_TRUE(waitForChoice(*chooser));
        EXPECT_TRUE(choosingSeenFromTheLoop) << "the event loop waited for the portal";
        EXPECT_EQ(changed.size(), 1);

        const QuickNoteKey::Registration registration = chooser->registration();
        EXPECT_EQ(registration.outcome, session.outcome);
        const SettingsView::HotKeyStatus status =
            QuickNoteKey::status(registration, nullptr, gnomeBinding);
        if (session.outcome == Outcome::registered) {
            EXPECT_EQ(registration.route, session.route);
            EXPECT_NE(chooser->hotKey(), nullptr);
            EXPECT_FALSE(status.isWarning);
        } else {
            EXPECT_EQ(chooser->hotKey(), nullptr);
            EXPECT_TRUE(status.isWarning) << "a failure told as no failure";
        }
        if (session.outcome == Outcome::refused) {
            EXPECT_EQ(registration.route, session.route);
            EXPECT_FALSE(registration.error.isEmpty());
            EXPECT_TRUE(status.text.contains(registration.error)) << status.text.toStdString();
        }
        EXPECT_TRUE(calls().filter(QStringLiteral("CreateSession")).isEmpty());
    }
}

TEST_F(QuickNoteKeyChoice, OnX11OnPlasmaAndWithGnomesOwnShortcutThePortalIsNeverAsked)
{
    startPortal({});
    if (!startKglobalaccel())
        GTEST_SKIP() << "no kglobalaccel5 (libkf5globalaccel-bin)";
    {
        auto chooser = makeChooser();
        chooser->start({false, true, false});
        EXPECT_FALSE(chooser->isChoosing());
        EXPECT_NE(dynamic_cast<GivingHotKeyService *>(chooser->service()), nullptr)
            << "an X11 session grabs the key on the X server";
        EXPECT_EQ(chooser->registration().outcome, Outcome::registered);
        EXPECT_EQ(chooser->registration().route, Route::keyGrab);
    }
    {
        auto chooser = makeChooser();
        chooser->start({true, true, false});
        EXPECT_FALSE(chooser->isChoosing());
        EXPECT_EQ(chooser->registration().outcome, Outcome::registered);
        EXPECT_EQ(chooser->registration().route, Route::kdeShortcuts);
    }
    {
        auto chooser = makeChooser();
        chooser->start({true, false, true});
        EXPECT_FALSE(chooser->isChoosing());
        EXPECT_EQ(chooser->service(), nullptr);
        EXPECT_EQ(chooser->registration().outcome, Outcome::noService);
    }
    EXPECT_FALSE(portalAskedAnything());
}
