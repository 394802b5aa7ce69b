// SPDX-License-Identifier: GPL-3.0-or-later
// What the settings tell of the quick-note key, GNOME's offer included (the real gsettings
// tool on a private key-file back-end).

#include "app/QuickNoteKey.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

using Outcome = QuickNoteKey::Registration::Outcome;

// gsettings on a key file of its own for the test's length.
class PrivateGsettings
{
public:
    PrivateGsettings()
    {
        for (const char *name : {"GSETTINGS_BACKEND", "XDG_CONFIG_HOME"})
            m_saved.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
        qputenv("GSETTINGS_BACKEND", "keyfile");
        qputenv("XDG_CONFIG_HOME", m_home.path().toUtf8());
    }
    ~PrivateGsettings()
    {
        for (const auto &saved : m_saved) {
            if (saved.wasSet)
                qputenv(saved.name, saved.value);
            else
                qunsetenv(saved.name);
        }
    }

private:
    struct Saved
    {
        const char *name;
        QByteArray value;
        bool wasSet;
    };
    QTemporaryDir m_home;
    QList<Saved> m_saved;
};

const GnomeCustomKeybinding::Binding binding = QuickNoteKey::gnomeBinding(
    QStringLiteral("/usr/bin/orlette"), QStringLiteral("/usr/bin/orlette"));

// GNOME's custom shortcuts on a private key file, where gsettings and the schema exist.
class QuickNoteKeyOnGnome : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("gsettings")).isEmpty())
            GTEST_SKIP() << "no gsettings";
        if (gnome.state(binding) == GnomeCustomKeybinding::State::unavailable)
            GTEST_SKIP() << "no GNOME media-keys schema (gnome-settings-daemon-common)";
    }

    const PrivateGsettings gsettings;
    const GnomeCustomKeybinding gnome{QuickNoteKey::gnomePath};
};

} // namespace

TEST(QuickNoteKey, TheGnomeShortcutRunsTheProgramOnThePathOrThisOneByItsFullPath)
{
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/it's orlette-XXXXXX"));
    const QString program = folder.filePath(QStringLiteral("orlette"));
    QFile file(program);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    EXPECT_EQ(QuickNoteKey::gnomeBinding(program, program).command,
              QStringLiteral("orlette --new-note"));
    EXPECT_EQ(QuickNoteKey::gnomeBinding(program, QStringLiteral("/usr/bin/orlette")).command,
              QStringLiteral("'%1' --new-note")
                  .arg(QString(program).replace(QLatin1String("'"), QLatin1String("'\\''"))));
    EXPECT_EQ(QuickNoteKey::gnomeBinding(program, QString()).accelerator,
              QStringLiteral("<Super><Alt>n"));
}

TEST(QuickNoteKey, ARegisteredKeyIsNewsAndAFailureIsToldAsAWarning)
{
    const auto registered = QuickNoteKey::status({Outcome::registered, {}}, nullptr, binding);
    EXPECT_FALSE(registered.isWarning);
    EXPECT_TRUE(registered.text.contains(QStringLiteral("Súper+Alt+N")));
    EXPECT_TRUE(registered.offerLabel.isEmpty());

    const auto refused = QuickNoteKey::status(
        {Outcome::refused, QStringLiteral("otro atajo del escritorio ya usa esa combinación")},
        nullptr, binding);
    EXPECT_TRUE(refused.isWarning);
    EXPECT_TRUE(refused.text.contains(QStringLiteral("otro atajo del escritorio")));

    const auto none = QuickNoteKey::status({Outcome::noService, {}}, nullptr, binding);
    EXPECT_TRUE(none.isWarning);
    EXPECT_TRUE(none.text.contains(QStringLiteral("orlette --new-note")));
    EXPECT_FALSE(none.accept);
}

TEST_F(QuickNoteKeyOnGnome, TheShortcutIsOfferedAddedWithConsentAndThenShown)
{

    const auto offered = QuickNoteKey::status({Outcome::noService, {}}, &gnome, binding);
    EXPECT_FALSE(offered.isWarning);
    EXPECT_EQ(offered.offerLabel, QStringLiteral("Añadir el atajo a GNOME"));
    ASSERT_TRUE(offered.accept);
    EXPECT_EQ(gnome.state(binding), GnomeCustomKeybinding::State::absent)
        << "nothing is added before the person agrees";

    EXPECT_EQ(offered.accept(), std::nullopt);
    const auto added = QuickNoteKey::status({Outcome::noService, {}}, &gnome, binding);
    EXPECT_TRUE(added.offerLabel.isEmpty());
    EXPECT_TRUE(added.text.contains(QStringLiteral("atajo de GNOME")));

    // Without GNOME's settings the offer goes, and the way by hand is told.
    const GnomeCustomKeybinding missing(QuickNoteKey::gnomePath,
                                        QStringLiteral("/nonexistent/gsettings"));
    const auto unavailable = QuickNoteKey::status({Outcome::noService, {}}, &missing, binding);
    EXPECT_TRUE(unavailable.isWarning);
    EXPECT_FALSE(unavailable.accept);
}

TEST(QuickNoteKey, EachRouteIsNamedAndThePortalsAnswersAreFollowed)
{
    using Route = QuickNoteKey::Registration::Route;
    using State = PortalHotKeyService::State;
    QuickNoteKey::Registration kde{Outcome::registered, {}};
    kde.route = Route::kdeShortcuts;
    EXPECT_TRUE(QuickNoteKey::status(kde, nullptr, binding).text.contains(QStringLiteral("KDE")));

    // Asked for, not answered: no warning yet, and nothing to accept.
    const auto pending = QuickNoteKey::portalRegistration({State::pending, {}, {}});
    EXPECT_EQ(pending.outcome, Outcome::pending);
    const auto waiting = QuickNoteKey::status(pending, nullptr, binding);
    EXPECT_FALSE(waiting.isWarning);
    EXPECT_TRUE(waiting.text.contains(QStringLiteral("espera su respuesta")));
    EXPECT_FALSE(waiting.accept);

    // Bound: the key the desktop says it is on, which the person may have changed.
    const auto chosen = QuickNoteKey::status(
        QuickNoteKey::portalRegistration({State::bound, QStringLiteral("Ctrl+Alt+N"), {}}), nullptr,
        binding);
    EXPECT_FALSE(chosen.isWarning);
    EXPECT_TRUE(chosen.text.startsWith(QStringLiteral("Ctrl+Alt+N crea una nota nueva")));
    EXPECT_TRUE(chosen.text.contains(QStringLiteral("atajo global del escritorio")));
    const auto unnamed = QuickNoteKey::status(
        QuickNoteKey::portalRegistration({State::bound, {}, {}}), nullptr, binding);
    EXPECT_TRUE(unnamed.text.startsWith(QStringLiteral("Súper+Alt+N crea una nota nueva")));

    // Refused later: a warning with the route and the desktop's reason.
    const auto refused = QuickNoteKey::status(
        QuickNoteKey::portalRegistration(
            {State::failed, {}, QStringLiteral("se canceló la petición en el escritorio")}),
        nullptr, binding);
    EXPECT_TRUE(refused.isWarning);
    EXPECT_EQ(refused.text, QStringLiteral("No se pudo reservar Súper+Alt+N por el portal del "
                                           "escritorio: se canceló la petición en el "
                                           "escritorio."));
}

TEST_F(QuickNoteKeyOnGnome, ARefusalOfThePortalIsToldAlongWithTheShortcutOffered)
{

    const auto refusal = QuickNoteKey::portalRegistration(
        {PortalHotKeyService::State::failed, {}, QStringLiteral("el escritorio no lo permitió")});
    const auto offered = QuickNoteKey::status(refusal, &gnome, binding);
    EXPECT_TRUE(offered.isWarning);
    EXPECT_TRUE(offered.text.contains(QStringLiteral("el escritorio no lo permitió")));
    EXPECT_EQ(offered.offerLabel, QStringLiteral("Añadir el atajo a GNOME"));
    ASSERT_TRUE(offered.accept);
    EXPECT_EQ(offered.accept(), std::nullopt);
    // Once GNOME's shortcut is there, the key works: no warning left.
    const auto added = QuickNoteKey::status(refusal, &gnome, binding);
    EXPECT_FALSE(added.isWarning);
    EXPECT_TRUE(added.text.contains(QStringLiteral("atajo de GNOME")));
}

TEST_F(QuickNoteKeyOnGnome, WhileThePortalIsAskedNoShortcutIsOfferedThatCouldDoubleTheKey)
{
    QuickNoteKey::Registration choosing{Outcome::choosing, {}};
    choosing.route = QuickNoteKey::Registration::Route::desktopPortal;
    const auto asking = QuickNoteKey::status(choosing, &gnome, binding);
    EXPECT_FALSE(asking.isWarning);
    EXPECT_FALSE(asking.text.isEmpty());
    EXPECT_TRUE(asking.offerLabel.isEmpty());
    EXPECT_FALSE(asking.accept);
    EXPECT_NE(asking.text,
              QuickNoteKey::status(QuickNoteKey::portalRegistration({}), &gnome, binding).text)
        << "nothing was asked of the person yet";
}
