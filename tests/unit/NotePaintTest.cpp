// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/NotePaint.h"
#include "surfaces/OkLab.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPalette>

#include <cmath>

namespace {

struct Rgb
{
    int r;
    int g;
    int b;
};

struct Row
{
    NoteColor color;
    Rgb surface;
    Rgb deep;
    Rgb ink;
};

const Row lightTable[] = {
    {NoteColor::citrus, {249, 215, 106}, {239, 198, 76}, {59, 53, 36}},
    {NoteColor::coral, {247, 175, 136}, {238, 154, 108}, {63, 44, 33}},
    {NoteColor::rose, {245, 186, 208}, {236, 163, 191}, {63, 37, 48}},
    {NoteColor::lavender, {218, 200, 243}, {201, 178, 236}, {50, 40, 66}},
    {NoteColor::sky, {175, 218, 245}, {149, 202, 238}, {34, 51, 63}},
    {NoteColor::mint, {180, 230, 200}, {155, 220, 182}, {34, 58, 46}},
};

const Row darkTable[] = {
    {NoteColor::citrus, {197, 169, 80}, {179, 152, 64}, {36, 31, 18}},
    {NoteColor::coral, {197, 140, 108}, {179, 123, 92}, {39, 26, 19}},
    {NoteColor::rose, {196, 148, 166}, {180, 131, 149}, {39, 22, 32}},
    {NoteColor::lavender, {173, 160, 195}, {156, 142, 180}, {31, 26, 43}},
    {NoteColor::sky, {140, 176, 198}, {123, 159, 182}, {20, 31, 40}},
    {NoteColor::mint, {143, 185, 161}, {126, 168, 144}, {20, 36, 27}},
};

// The stored components are the table's integers over 255, fully opaque.
void expectColor(const QColor &actual, Rgb expected, const char *what)
{
    SCOPED_TRACE(what);
    EXPECT_EQ(actual, actual.toRgb()) << "kept as plain RGB, not another colour model";
    const QRgba64 stored = actual.rgba64();
    EXPECT_EQ(stored, QRgba64::fromRgba(expected.r, expected.g, expected.b, 255))
        << actual.red() << ", " << actual.green() << ", " << actual.blue();
}

void expectTable(const Row (&table)[6], ColorScheme scheme)
{
    for (const Row &row : table) {
        SCOPED_TRACE(NoteColors::token(row.color).toStdString());
        const NotePaint paint = NoteColors::paint(row.color, scheme);
        expectColor(paint.surface, row.surface, "surface");
        expectColor(paint.deep, row.deep, "deep");
        expectColor(paint.ink, row.ink, "ink");
    }
}

double hue(const OkLab &lab)
{
    return std::atan2(lab.b, lab.a);
}

double chroma(const OkLab &lab)
{
    return std::hypot(lab.a, lab.b);
}

QList<QColor> allPaintColours()
{
    QList<QColor> colours;
    for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
        for (const NoteColor color : NoteColors::allCases()) {
            const NotePaint paint = NoteColors::paint(color, scheme);
            colours << paint.surface << paint.deep << paint.ink;
        }
        const NotePaint neutral = NotePaint::neutral(scheme);
        colours << neutral.surface << neutral.deep << neutral.ink;
    }
    return colours;
}

} // namespace

TEST(NotePaintTest, PaletteTablesAreExact)
{
    expectTable(lightTable, ColorScheme::light);
    expectTable(darkTable, ColorScheme::dark);
}

TEST(NotePaintTest, NeutralPaintOfTheNewNoteTab)
{
    const NotePaint light = NotePaint::neutral(ColorScheme::light);
    expectColor(light.surface, {237, 234, 228}, "light surface");
    expectColor(light.deep, {226, 222, 214}, "light deep");
    expectColor(light.ink, {74, 71, 64}, "light ink");
    const NotePaint dark = NotePaint::neutral(ColorScheme::dark);
    expectColor(dark.surface, {60, 62, 66}, "dark surface");
    expectColor(dark.deep, {51, 53, 56}, "dark deep");
    expectColor(dark.ink, {214, 216, 220}, "dark ink");
}

TEST(NotePaintTest, ColourDisplayNames)
{
    const QStringList names = {"Cítrico", "Coral", "Rosa", "Lavanda", "Cielo", "Menta"};
    ASSERT_EQ(NoteColors::allCases().size(), names.size());
    for (qsizetype i = 0; i < names.size(); ++i)
        EXPECT_EQ(NoteColors::displayName(NoteColors::allCases()[i]), names[i]);
}

TEST(NotePaintTest, PaintsCompareFieldByField)
{
    const NotePaint citrus = NoteColors::paint(NoteColor::citrus, ColorScheme::light);
    EXPECT_EQ(citrus, NoteColors::paint(NoteColor::citrus, ColorScheme::light));
    EXPECT_NE(citrus, NoteColors::paint(NoteColor::citrus, ColorScheme::dark));
    NotePaint otherInk = citrus;
    otherInk.ink = QColor(0, 0, 0);
    EXPECT_NE(citrus, otherInk);
}

TEST(OkLabTest, KnownReferenceValues)
{
    const OkLab white = OkLab::fromColor(Qt::white);
    EXPECT_NEAR(white.lightness, 1.0, 1e-6);
    EXPECT_NEAR(white.a, 0.0, 1e-6);
    EXPECT_NEAR(white.b, 0.0, 1e-6);

    const OkLab black = OkLab::fromColor(Qt::black);
    EXPECT_NEAR(black.lightness, 0.0, 1e-9);

    // Pure sRGB red, as published with the colour space's definition.
    const OkLab red = OkLab::fromColor(QColor(255, 0, 0));
    EXPECT_NEAR(red.lightness, 0.62796, 1e-4);
    EXPECT_NEAR(red.a, 0.22486, 1e-4);
    EXPECT_NEAR(red.b, 0.12585, 1e-4);

    // A grey has no chroma.
    const OkLab grey = OkLab::fromColor(QColor(128, 128, 128));
    EXPECT_NEAR(chroma(grey), 0.0, 1e-6);
}

TEST(OkLabTest, RoundTripKeepsEveryComponent)
{
    QList<QColor> colours = allPaintColours();
    for (int r = 0; r <= 255; r += 51) {
        for (int g = 0; g <= 255; g += 51) {
            for (int b = 0; b <= 255; b += 51)
                colours << QColor(r, g, b);
        }
    }
    for (const QColor &colour : colours) {
        const QColor back = OkLab::fromColor(colour).toColor();
        EXPECT_EQ(back.toRgb().rgba(), colour.rgba()) << colour.name().toStdString();
    }
}

TEST(OkLabTest, MixEndsAndOpacity)
{
    const QColor coral(247, 175, 136);
    EXPECT_EQ(OkLab::mix(coral, Qt::white, 0).rgba(), coral.rgba());
    EXPECT_EQ(OkLab::mix(coral, Qt::black, 1).rgba(), QColor(Qt::black).rgba());
    const QColor halfClear = OkLab::mix(QColor(10, 20, 30, 0), QColor(10, 20, 30, 255), 0.5);
    EXPECT_NEAR(halfClear.alphaF(), 0.5, 1e-3);
}

TEST(NotePaintTest, DimmingWhiteInLightAndBlackInDarkChangesNothing)
{
    const NotePaint white{Qt::white, Qt::white, Qt::white};
    const NotePaint lightDimmed = white.dimmed(ColorScheme::light);
    EXPECT_EQ(lightDimmed.surface.rgba(), QColor(Qt::white).rgba());
    EXPECT_EQ(lightDimmed.ink.rgba(), QColor(Qt::white).rgba());

    const NotePaint black{Qt::black, Qt::black, Qt::black};
    const NotePaint darkDimmed = black.dimmed(ColorScheme::dark);
    EXPECT_EQ(darkDimmed.deep.rgba(), QColor(Qt::black).rgba());
    EXPECT_EQ(darkDimmed.ink.rgba(), QColor(Qt::black).rgba());
}

TEST(NotePaintTest, DimmedLightPaintIsLighterNotGreyer)
{
    for (const NoteColor color : NoteColors::allCases()) {
        SCOPED_TRACE(NoteColors::token(color).toStdString());
        const NotePaint paint = NoteColors::paint(color, ColorScheme::light);
        const NotePaint dimmed = paint.dimmed(ColorScheme::light);
        const std::pair<QColor, QColor> pairs[] = {
            {paint.surface, dimmed.surface}, {paint.deep, dimmed.deep}, {paint.ink, dimmed.ink}};
        const double fractions[] = {0.55, 0.55, 0.45};
        for (int i = 0; i < 3; ++i) {
            const auto &[before, after] = pairs[i];
            // Between the colour and white, channel by channel.
            EXPECT_GE(after.red(), before.red());
            EXPECT_GE(after.green(), before.green());
            EXPECT_GE(after.blue(), before.blue());
            const OkLab from = OkLab::fromColor(before);
            const OkLab to = OkLab::fromColor(after);
            // The lightness closes the given fraction of its distance to white; the hue stays.
            EXPECT_NEAR(to.lightness, from.lightness + (1 - from.lightness) * fractions[i], 2e-3);
            EXPECT_NEAR(hue(to), hue(from), 0.02);
            EXPECT_NEAR(chroma(to), chroma(from) * (1 - fractions[i]), 2e-3);
        }
    }
}

TEST(NotePaintTest, DimmedDarkPaintIsDarker)
{
    for (const NoteColor color : NoteColors::allCases()) {
        SCOPED_TRACE(NoteColors::token(color).toStdString());
        const NotePaint paint = NoteColors::paint(color, ColorScheme::dark);
        const NotePaint dimmed = paint.dimmed(ColorScheme::dark);
        EXPECT_LE(dimmed.surface.red(), paint.surface.red());
        EXPECT_LE(dimmed.surface.green(), paint.surface.green());
        EXPECT_LE(dimmed.surface.blue(), paint.surface.blue());
        EXPECT_LT(dimmed.surface.lightnessF(), paint.surface.lightnessF());
        EXPECT_NEAR(OkLab::fromColor(dimmed.surface).lightness,
                    OkLab::fromColor(paint.surface).lightness * 0.45, 2e-3);
        EXPECT_NEAR(OkLab::fromColor(dimmed.deep).lightness,
                    OkLab::fromColor(paint.deep).lightness * 0.45, 2e-3);
        EXPECT_NEAR(OkLab::fromColor(dimmed.ink).lightness,
                    OkLab::fromColor(paint.ink).lightness * 0.55, 2e-3);
    }
}

TEST(ColorSchemeTest, FollowsTheApplicationPalette)
{
    const QPalette original = QGuiApplication::palette();
    QPalette dark = original;
    dark.setColor(QPalette::Window, QColor(40, 40, 44));
    QGuiApplication::setPalette(dark);
    const ColorScheme withDark = currentColorScheme();
    QPalette light = original;
    light.setColor(QPalette::Window, QColor(239, 239, 239));
    QGuiApplication::setPalette(light);
    const ColorScheme withLight = currentColorScheme();
    QGuiApplication::setPalette(original);

    EXPECT_EQ(withDark, ColorScheme::dark);
    EXPECT_EQ(withLight, ColorScheme::light);
}
