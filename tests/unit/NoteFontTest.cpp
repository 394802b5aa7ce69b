// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/NoteFont.h"
#include "surfaces/BundledFonts.h"
#include "surfaces/NoteFontStyle.h"

#include "TestSupport.h"
#include "model/AppSettings.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>

namespace {

class NoteFontTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { BundledFonts::registerAll(); }
};

auto installedOnly(const QStringList &families)
{
    return [families](const QString &family) { return families.contains(family); };
}

} // namespace

TEST_F(NoteFontTest, TokensDisplayNamesAndSizeFactors)
{
    const struct
    {
        NoteFont font;
        const char *token;
        const char *name;
        double factor;
    } cases[] = {
        {NoteFont::caveat, "caveat", "Caveat", 1.0},
        {NoteFont::noteworthy, "noteworthy", "Noteworthy", 0.82},
        {NoteFont::bradleyHand, "bradleyHand", "Bradley Hand", 0.88},
        {NoteFont::system, "system", "Del sistema", 0.78},
        {NoteFont::rounded, "rounded", "Del sistema, redondeada", 0.78},
    };
    ASSERT_EQ(NoteFonts::allCases().size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto &c = cases[i];
        EXPECT_EQ(NoteFonts::allCases()[static_cast<qsizetype>(i)], c.font);
        EXPECT_EQ(NoteFonts::token(c.font), QString::fromUtf8(c.token));
        EXPECT_EQ(NoteFonts::fromToken(QString::fromUtf8(c.token)), c.font);
        EXPECT_EQ(NoteFonts::displayName(c.font), QString::fromUtf8(c.name));
        EXPECT_DOUBLE_EQ(NoteFonts::sizeFactor(c.font), c.factor);
    }
    // Tokens are exact raw values.
    EXPECT_EQ(NoteFonts::fromToken(u"Caveat"), std::nullopt);
    EXPECT_EQ(NoteFonts::fromToken(u"bradleyhand"), std::nullopt);
    EXPECT_EQ(NoteFonts::fromToken(u""), std::nullopt);
}

TEST_F(NoteFontTest, UnknownOrEmptyTokensReadAsCaveat)
{
    for (const QString &token : {QStringLiteral("comic"), QString(), QStringLiteral("Noteworthy"),
                                 QStringLiteral(" system")}) {
        const NoteFontStyle style{token, 20, 1.0};
        EXPECT_EQ(style.noteFont(), NoteFont::caveat) << token.toStdString();
        EXPECT_EQ(style.font().family(), QStringLiteral("Caveat"));
    }
    EXPECT_EQ(NoteFontStyle{QStringLiteral("rounded")}.noteFont(), NoteFont::rounded);
}

TEST_F(NoteFontTest, ShippedCaveatIsRegisteredOnce)
{
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/fonts/Caveat-Regular.ttf")));
    const QStringList families = BundledFonts::registerAll();
    EXPECT_TRUE(families.contains(QStringLiteral("Caveat")));
    EXPECT_EQ(BundledFonts::registerAll(), families);
    EXPECT_TRUE(QFontDatabase::hasFamily(QStringLiteral("Caveat")));

    // The font really draws in Caveat, not in a family fontconfig substitutes for it.
    const QFont caveat = NoteFonts::font(NoteFont::caveat, 20);
    EXPECT_EQ(QFontInfo(caveat).family(), QStringLiteral("Caveat"));
    EXPECT_DOUBLE_EQ(caveat.pointSizeF(), 20);
}

TEST_F(NoteFontTest, HandwritingChainsEndInCaveat)
{
    const auto nothing = installedOnly({});
    EXPECT_EQ(NoteFonts::resolveFace(NoteFont::noteworthy, nothing).family, "Caveat");
    EXPECT_EQ(NoteFonts::resolveFace(NoteFont::bradleyHand, nothing).family, "Caveat");
    EXPECT_EQ(NoteFonts::resolveFace(NoteFont::caveat, nothing).family, "Caveat");

    const NoteFonts::Face humor =
        NoteFonts::resolveFace(NoteFont::noteworthy, installedOnly({"Humor Sans", "Caveat"}));
    EXPECT_EQ(humor, (NoteFonts::Face{"Humor Sans", QFont::Normal}));
    EXPECT_EQ(NoteFonts::resolveFace(NoteFont::noteworthy,
                                     installedOnly({"Humor Sans", "Comic Neue", "Noteworthy"})),
              (NoteFonts::Face{"Noteworthy", QFont::Light}));
    EXPECT_EQ(NoteFonts::resolveFace(NoteFont::bradleyHand, installedOnly({"Dancing Script"})),
              (NoteFonts::Face{"Dancing Script", QFont::Bold}));
}

TEST_F(NoteFontTest, SystemFacesNeverFallToHandwriting)
{
    const auto nothing = installedOnly({});
    EXPECT_TRUE(NoteFonts::resolveFace(NoteFont::system, nothing).family.isEmpty());
    EXPECT_TRUE(NoteFonts::resolveFace(NoteFont::rounded, nothing).family.isEmpty());
    EXPECT_TRUE(
        NoteFonts::resolveFace(NoteFont::system, installedOnly({"Quicksand"})).family.isEmpty());
    EXPECT_EQ(NoteFonts::resolveFace(NoteFont::rounded, installedOnly({"Quicksand"})).family,
              "Quicksand");

    const QFont system = NoteFonts::font(NoteFont::system, 20);
    EXPECT_EQ(system.family(), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    EXPECT_DOUBLE_EQ(system.pointSizeF(), 15.6);
}

TEST_F(NoteFontTest, ResolvedFontIsAnInstalledFaceAtTheScaledSize)
{
    // Whichever face this machine has, the font asks for it by a family that is really
    // there and the drawn font is that family.
    for (const NoteFont which : {NoteFont::noteworthy, NoteFont::bradleyHand, NoteFont::rounded}) {
        const NoteFonts::Face face = NoteFonts::resolveFace(
            which, [](const QString &family) { return QFontDatabase::hasFamily(family); });
        const QFont font = NoteFontStyle{NoteFonts::token(which), 20, 1.0}.font();
        EXPECT_DOUBLE_EQ(font.pointSizeF(), 20 * NoteFonts::sizeFactor(which));
        if (face.family.isEmpty())
            continue;
        EXPECT_EQ(font.family(), face.family);
        EXPECT_EQ(font.weight(), face.weight);
        EXPECT_EQ(QFontInfo(font).family(), face.family);
    }
    const NoteFontStyle noteworthy{QStringLiteral("noteworthy"), 20, 1.0};
    EXPECT_DOUBLE_EQ(noteworthy.font().pointSizeF(), 16.4);
}

TEST_F(NoteFontTest, StyleReadsTheSettingsAndAppliesTheScale)
{
    ScopedDefaults scoped;
    UserDefaults &defaults = scoped.defaults();
    const NoteFontStyle initial = NoteFontStyle::fromDefaults(defaults);
    EXPECT_EQ(initial.token, QStringLiteral("caveat"));
    EXPECT_DOUBLE_EQ(initial.size, 20);
    EXPECT_DOUBLE_EQ(initial.font().pointSizeF(), 20);

    defaults.setValue(AppSettings::Keys::noteFont, QStringLiteral("bradleyHand"));
    defaults.setValue(AppSettings::Keys::noteFontSize, 25.0);
    const NoteFontStyle half = NoteFontStyle::fromDefaults(defaults, 0.5);
    EXPECT_EQ(half.noteFont(), NoteFont::bradleyHand);
    EXPECT_DOUBLE_EQ(half.font().pointSizeF(), 25 * 0.5 * 0.88);
}

TEST_F(NoteFontTest, UnusableSizesCountAsTheDefault)
{
    ScopedDefaults scoped;
    scoped.defaults().setValue(AppSettings::Keys::noteFontSize, QStringLiteral("grande"));
    EXPECT_DOUBLE_EQ(NoteFontStyle::fromDefaults(scoped.defaults()).font().pointSizeF(), 20);
    for (const double size : {0.0, -4.0, std::nan("")}) {
        const NoteFontStyle style{QStringLiteral("caveat"), size, 1.0};
        EXPECT_DOUBLE_EQ(style.font().pointSizeF(), 20) << size;
    }
}
