// SPDX-License-Identifier: GPL-3.0-or-later
// GNOME's custom keyboard shortcuts, written with the real gsettings tool and schema into a
// private key-file back-end.

#include "platform/GnomeCustomKeybinding.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

const QString ourPath =
    QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/orlette/");
const GnomeCustomKeybinding::Binding quickNote{QStringLiteral("Orlette: nota nueva"),
                                               QStringLiteral("orlette --new-note"),
                                               QStringLiteral("<Super><Alt>n")};

// Points gsettings at a key file of its own for the test's length.
class GnomeCustomKeybindingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("gsettings")).isEmpty())
            GTEST_SKIP() << "no gsettings (scripts/install-deps.sh installs it)";
        for (const char *name : {"GSETTINGS_BACKEND", "XDG_CONFIG_HOME"})
            m_saved.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
        qputenv("GSETTINGS_BACKEND", "keyfile");
        qputenv("XDG_CONFIG_HOME", m_home.path().toUtf8());
    }

    void TearDown() override
    {
        for (const auto &saved : m_saved) {
            if (saved.wasSet)
                qputenv(saved.name, saved.value);
            else
                qunsetenv(saved.name);
        }
    }

    static QString gsettings(const QStringList &arguments)
    {
        QProcess process;
        process.start(QStringLiteral("gsettings"), arguments);
        process.waitForFinished();
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

    struct Saved
    {
        const char *name;
        QByteArray value;
        bool wasSet;
    };
    QTemporaryDir m_home;
    QList<Saved> m_saved;
};

} // namespace

TEST(GnomeCustomKeybindingText, ReadsAndWritesWhatGsettingsPrints)
{
    using K = GnomeCustomKeybinding;
    EXPECT_EQ(K::parseStringArray(QStringLiteral("@as []")), QStringList{});
    EXPECT_EQ(K::parseStringArray(QStringLiteral("['/a/', \"/b'c/\"]")),
              (QStringList{QStringLiteral("/a/"), QStringLiteral("/b'c/")}));
    EXPECT_EQ(K::parseStringArray(QStringLiteral("['/a/' '/b/']")), std::nullopt);
    EXPECT_EQ(K::parseStringArray(QStringLiteral("['/a/'")), std::nullopt);
    EXPECT_EQ(K::parseStringArray(QStringLiteral("nothing")), std::nullopt);

    const QString tricky = QStringLiteral("it's a \\ path");
    EXPECT_EQ(K::parseString(K::formatString(tricky)), tricky);
    EXPECT_EQ(K::parseStringArray(K::formatStringArray({tricky, QStringLiteral("b")})),
              (QStringList{tricky, QStringLiteral("b")}));
}

TEST_F(GnomeCustomKeybindingTest, AddsItsOwnEntryBesideThePersonsAndOnlyOnce)
{
    const GnomeCustomKeybinding ours(ourPath);
    if (ours.state(quickNote) == GnomeCustomKeybinding::State::unavailable)
        GTEST_SKIP() << "no GNOME media-keys schema (gnome-settings-daemon-common)";
    const QString schema = QString::fromLatin1(GnomeCustomKeybinding::schema);
    const QString list = QString::fromLatin1(GnomeCustomKeybinding::listKey);
    // A shortcut the person made before.
    const QString theirs =
        QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom0/");
    gsettings({QStringLiteral("set"), schema, list, QStringLiteral("['%1']").arg(theirs)});
    EXPECT_EQ(ours.state(quickNote), GnomeCustomKeybinding::State::absent);
    EXPECT_EQ(ours.isListed(), false);

    EXPECT_EQ(ours.add(quickNote), std::nullopt);
    EXPECT_EQ(ours.state(quickNote), GnomeCustomKeybinding::State::present);
    EXPECT_EQ(ours.isListed(), true);
    EXPECT_EQ(
        GnomeCustomKeybinding::parseStringArray(gsettings({QStringLiteral("get"), schema, list})),
        (QStringList{theirs, ourPath}));
    const QString entry =
        QString::fromLatin1(GnomeCustomKeybinding::entrySchema) + QLatin1Char(':') + ourPath;
    EXPECT_EQ(gsettings({QStringLiteral("get"), entry, QStringLiteral("command")}),
              QStringLiteral("'orlette --new-note'"));
    EXPECT_EQ(gsettings({QStringLiteral("get"), entry, QStringLiteral("binding")}),
              QStringLiteral("'<Super><Alt>n'"));

    // Again: listed once.
    EXPECT_EQ(ours.add(quickNote), std::nullopt);
    EXPECT_EQ(
        GnomeCustomKeybinding::parseStringArray(gsettings({QStringLiteral("get"), schema, list}))
            ->count(ourPath),
        1);

    // The person moved it to another key in GNOME's settings.
    gsettings(
        {QStringLiteral("set"), entry, QStringLiteral("binding"), QStringLiteral("'<Super>F5'")});
    EXPECT_EQ(ours.state(quickNote), GnomeCustomKeybinding::State::changed);
    EXPECT_EQ(ours.isListed(), true) << "a changed shortcut still holds the key";
}

TEST_F(GnomeCustomKeybindingTest, WithoutTheToolItIsUnavailableAndAddingSaysWhy)
{
    const GnomeCustomKeybinding missing(ourPath, QStringLiteral("/nonexistent/gsettings"));
    EXPECT_EQ(missing.state(quickNote), GnomeCustomKeybinding::State::unavailable);
    EXPECT_EQ(missing.isListed(), std::nullopt);
    const std::optional<QString> error = missing.add(quickNote);
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->isEmpty());
}
