// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"
#include "ViewTestSupport.h"

#include "surfaces/BundledFonts.h"
#include "surfaces/NoteCardPainter.h"
#include "surfaces/NoteEditorView.h"
#include "surfaces/NoteFormView.h"
#include "surfaces/NotePlainTextView.h"
#include "surfaces/NotePreviewBody.h"
#include "surfaces/NoteTextButton.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

using namespace std::chrono_literals;
using ViewTest::distance;
using ViewTest::luminance;
using ViewTest::mix;
using ViewTest::pixel;

namespace {

constexpr QSizeF railSize(540, 420);

// The rail's own gesture sees the presses no control of a card takes.
class RailStandIn : public QWidget
{
public:
    QList<QPoint> presses;

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        presses.append(event->position().toPoint());
    }
};

class NoteFormViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        BundledFonts::registerAll();
        container = makeMemoryContainer();
        context = container->mainContext();
        rail.resize(railSize.toSize());
    }

    NoteFormView *makeCard(Note *note, ScreenEdge edge, ColorScheme scheme = ColorScheme::light,
                           NoteSurfaceEnvironment environment = {})
    {
        if (!environment.context)
            environment = ViewTest::environment(context, scheme);
        auto *card = new NoteFormView(note, edge, actions, environment, &rail);
        card->show();
        return card;
    }

    // Sets the state and lays the card out where a rail puts it: flush with its edge, at `y`.
    static void place(NoteFormView &card, const NoteCardState &state, double y = 40)
    {
        card.setState(state);
        const QSizeF size = card.cardSize();
        const double x = card.edge() == ScreenEdge::right ? railSize.width() - size.width() : 0;
        card.setCardFrame(QRectF(QPointF(x, y), size));
    }

    static NoteCardState tab(double tilt = 0)
    {
        NoteCardState state;
        state.phase = NotePhase::tab;
        state.tabWidth = 78;
        state.itemHeight = 116;
        state.tilt = tilt;
        return state;
    }

    static NoteCardState withPhase(NoteCardState state, NotePhase phase)
    {
        state.phase = phase;
        return state;
    }

    // The paper's gradient at `point` of a card.
    static QColor paperAt(const NoteFormView &card, QPointF point)
    {
        const QRectF frame = card.cardFrame();
        const double t = (point.y() - frame.top()) / frame.height();
        return mix(card.paint().surface, card.paint().deep, t);
    }

    // Pixels of a vertical band of the strip that stand out from the paper.
    static int markedPixels(const QImage &image, const NoteFormView &card, double x,
                            double halfWidth, int threshold = 40)
    {
        const QRectF frame = card.cardFrame();
        const QRectF band(x - halfWidth, frame.top() + 14, 2 * halfWidth, frame.height() - 28);
        return ViewTest::pixelsDifferingFrom(
            image, band, [&](QPoint p) { return paperAt(card, QPointF(p) + QPointF(0.5, 0.5)); },
            threshold);
    }

    ScopedDefaults defaults;
    std::unique_ptr<ModelContainer> container;
    ModelContext *context = nullptr;
    NoteCardActions actions;
    RailStandIn rail;
};

TEST_F(NoteFormViewTest, CardSizeFollowsThePhase)
{
    Note *note = ViewTest::insertNote(*context, QStringLiteral("Compras"), QString());
    NoteFormView *card = makeCard(note, ScreenEdge::right);
    NoteCardState state = tab();
    state.tabWidth = 82;
    state.peek = 8;
    state.cardHeight = 252;

    card->setState(withPhase(state, NotePhase::chip));
    EXPECT_EQ(card->cardSize(), QSizeF(6 + 8, 116));
    card->setState(state);
    EXPECT_EQ(card->cardSize(), QSizeF(82 + 8, 116));
    state.peek = 0;
    card->setState(withPhase(state, NotePhase::preview));
    EXPECT_EQ(card->cardSize(), QSizeF(82 + 330, 252));
}

TEST_F(NoteFormViewTest, TabShowsPaperLabelAndPerforationChipOnlyPaper)
{
    Note *note =
        ViewTest::insertNote(*context, QStringLiteral("Compras"), QString(), NoteColor::sky);
    NoteFormView *card = makeCard(note, ScreenEdge::right);
    place(*card, tab());
    QImage image = ViewTest::render(rail);
    const QRectF strip = card->chrome().stripRect();

    // Paper between the label and the screen-edge side of the strip.
    const QPointF plain(strip.left() + 6, strip.center().y());
    EXPECT_LE(distance(pixel(image, plain), paperAt(*card, plain)), 6);
    // The label runs 5 left of the strip's middle, the perforation 18 in from its right.
    EXPECT_GT(markedPixels(image, *card, strip.center().x() - 5, 5), 20);
    EXPECT_GT(markedPixels(image, *card, strip.right() - 18, 1, 16), 5);

    place(*card, withPhase(tab(), NotePhase::chip));
    image = ViewTest::render(rail);
    const QRectF chip = card->chrome().stripRect();
    EXPECT_EQ(chip.width(), 6);
    EXPECT_EQ(markedPixels(image, *card, chip.center().x(), 2, 16), 0);
    EXPECT_LE(distance(pixel(image, chip.center()), paperAt(*card, chip.center())), 6);
}

TEST_F(NoteFormViewTest, LeftRailMirrorsTheCard)
{
    Note *note = ViewTest::insertNote(*context, QStringLiteral("Ideas para el viaje"), QString());
    NoteFormView *right = makeCard(note, ScreenEdge::right);
    place(*right, withPhase(tab(), NotePhase::preview));
    NoteFormView *left = makeCard(note, ScreenEdge::left);
    place(*left, withPhase(tab(), NotePhase::preview), 200);
    const QImage image = ViewTest::render(rail);

    // Right rail: strip on the left of the open card; left rail: on its right.
    EXPECT_EQ(right->chrome().stripRect().left(), right->cardFrame().left());
    EXPECT_EQ(left->chrome().stripRect().right(), left->cardFrame().right());
    EXPECT_GT(markedPixels(image, *right, right->cardFrame().left() + 39 - 5, 5), 20);
    EXPECT_GT(markedPixels(image, *left, left->cardFrame().right() - 39 + 5, 5), 20);
    // Perforations sit between the label and the panel, 17 in from the strip's edge side.
    EXPECT_GT(markedPixels(image, *right, right->cardFrame().left() + 78 - 18, 1, 16), 5);
    EXPECT_GT(markedPixels(image, *left, left->cardFrame().right() - 78 + 18, 1, 16), 5);
    // Each paper runs past its screen edge.
    EXPECT_EQ(right->chrome().paperRect().right(), railSize.width() + 16);
    EXPECT_EQ(left->chrome().paperRect().left(), -16);
}

TEST_F(NoteFormViewTest, ShadowFallsTowardsTheScreenInterior)
{
    Note *note = ViewTest::insertNote(*context, QStringLiteral("Sombra"), QString());
    for (const ScreenEdge edge : {ScreenEdge::right, ScreenEdge::left}) {
        NoteFormView *card = makeCard(note, edge);
        place(*card, withPhase(tab(), NotePhase::preview), 80);
        const QImage image = ViewTest::render(rail);
        const QRectF frame = card->cardFrame();
        const double inner = edge == ScreenEdge::right ? frame.left() - 12 : frame.right() + 12;
        const QPointF side(inner, frame.center().y());
        const QPointF above(frame.center().x(), frame.top() - 12);
        const QPointF below(frame.center().x(), frame.bottom() + 12);
        EXPECT_GT(pixel(image, side).alpha(), pixel(image, above).alpha() + 10)
            << "edge " << int(edge);
        EXPECT_GT(pixel(image, below).alpha(), pixel(image, above).alpha()) << "edge " << int(edge);
        delete card;
    }
}

TEST_F(NoteFormViewTest, TiltTurnsTheCardAboutItsScreenEdgeSide)
{
    Note *note = ViewTest::insertNote(*context, QStringLiteral("Inclinada"), QString());
    NoteFormView *card = makeCard(note, ScreenEdge::right);
    place(*card, tab(0));
    const QRectF frame = card->cardFrame();
    const QPointF aboveInnerCorner(frame.left() + 20, frame.top() - 1);
    EXPECT_FALSE(card->hitTest(aboveInnerCorner));
    EXPECT_TRUE(card->hitTest(frame.center()));

    // Turning clockwise about the middle of the right side lifts the left end.
    place(*card, tab(1.5));
    EXPECT_TRUE(card->hitTest(aboveInnerCorner));
    EXPECT_TRUE(card->geometry().contains(aboveInnerCorner.toPoint()));
    // The screen-edge side stays put at its middle.
    EXPECT_TRUE(card->hitTest(QPointF(frame.right() - 1, frame.center().y())));
}

TEST_F(NoteFormViewTest, DimmedCardRecedesInEitherScheme)
{
    Note *note =
        ViewTest::insertNote(*context, QStringLiteral("Atenuada"), QString(), NoteColor::coral);
    for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
        NoteFormView *card = makeCard(note, ScreenEdge::right, scheme);
        place(*card, tab());
        const QPointF probe(card->chrome().stripRect().left() + 6, card->cardFrame().center().y());
        const double normal = luminance(pixel(ViewTest::render(rail), probe));
        NoteCardState dimmedState = card->state();
        dimmedState.isDimmed = true;
        card->setState(dimmedState);
        const double dimmed = luminance(pixel(ViewTest::render(rail), probe));
        if (scheme == ColorScheme::dark)
            EXPECT_LT(dimmed, normal - 0.05);
        else
            EXPECT_GT(dimmed, normal + 0.03);
        delete card;
    }
}

TEST_F(NoteFormViewTest, RecolouringRepaintsTheCard)
{
    Note *note = ViewTest::insertNote(*context, QStringLiteral("Color"), QString());
    NoteFormView *card = makeCard(note, ScreenEdge::right);
    place(*card, tab());
    const QPointF probe(card->chrome().stripRect().left() + 6, card->cardFrame().center().y());
    note->setColor(NoteColor::mint);
    EXPECT_EQ(card->paint(), NoteColors::paint(NoteColor::mint, ColorScheme::light));
    EXPECT_LE(distance(pixel(ViewTest::render(rail), probe), paperAt(*card, probe)), 6);
}

TEST_F(NoteFormViewTest, TabLabelIsTheUpperCaseDisplayTitle)
{
    Note *untitled = ViewTest::insertNote(*context, QString(), QString());
    NoteFormView *card = makeCard(untitled, ScreenEdge::right);
    EXPECT_EQ(card->title(), QStringLiteral("Nota sin título"));
    EXPECT_EQ(NoteCardPainter::labelText(card->title(), 400), QStringLiteral("NOTA SIN TÍTULO"));

    // A long title is cut short to the box along the strip.
    const QString cut =
        NoteCardPainter::labelText(QStringLiteral("una lista muy larga de cosas"), 60);
    EXPECT_TRUE(cut.endsWith(QChar(0x2026))) << cut.toStdString();
    EXPECT_TRUE(cut.startsWith(QStringLiteral("UNA"))) << cut.toStdString();

    // The title follows the body while the note has no title of its own.
    untitled->setText(StyledText::plain(QStringLiteral("\n  Recados \nresto")));
    EXPECT_EQ(card->title(), QStringLiteral("Recados"));
}

TEST_F(NoteFormViewTest, OpeningHostsTheEditorAndFoldingCommitsIt)
{
    Note *note = ViewTest::insertNote(*context, QString(), QStringLiteral("Leche"));
    const QDateTime before = note->updatedAt();
    NoteFormView *card = makeCard(note, ScreenEdge::right);
    place(*card, tab());
    EXPECT_EQ(card->previewBody(), nullptr);

    NoteCardState open = withPhase(tab(), NotePhase::preview);
    open.cardHeight = 260;
    place(*card, open);
    ASSERT_NE(card->previewBody(), nullptr);
    NoteEditorView *editor = card->previewBody()->editor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("Leche"));
    EXPECT_EQ(card->previewBody()->size(), QSize(330, 260));

    editor->moveCursor(QTextCursor::End);
    QTest::keyClicks(editor, QStringLiteral(" y pan"));
    EXPECT_TRUE(editor->hasPendingSave());
    // Folding back to a tab writes at once, before the pause is over.
    place(*card, tab());
    EXPECT_EQ(note->plainText(), QStringLiteral("Leche y pan"));
    EXPECT_NE(note->updatedAt(), before);
    EXPECT_FALSE(context->hasChanges());
    QTest::qWait(10);
    EXPECT_EQ(card->previewBody(), nullptr);
}

TEST_F(NoteFormViewTest, PanelOpensWithTheFrame)
{
    Note *note = ViewTest::insertNote(*context, QString(), QStringLiteral("Texto"));
    NoteFormView *card = makeCard(note, ScreenEdge::right);
    place(*card, tab());
    NoteCardState open = withPhase(tab(), NotePhase::preview);
    card->setState(open);
    // Halfway through an animation of the frame from the tab to the open card.
    const QRectF half(railSize.width() - (78 + 165), 40, 78 + 165, 188);
    card->setCardFrame(half);
    const NoteCardChrome chrome = card->chrome();
    EXPECT_EQ(chrome.stripWidth(), 78);
    EXPECT_EQ(chrome.panelWidth(), 165);
    EXPECT_DOUBLE_EQ(chrome.panelOpacity(), 0.5);
    // The content keeps its width and slides out of the tab from the screen edge.
    EXPECT_EQ(chrome.bodyRect().right(), half.right());
    EXPECT_EQ(chrome.bodyRect().width(), 330);
    ASSERT_NE(card->previewBody(), nullptr);

    // Closing: the editor goes at once, the content while the panel folds.
    NoteCardState closed = card->state();
    closed.phase = NotePhase::tab;
    card->setState(closed);
    ASSERT_NE(card->previewBody(), nullptr);
    EXPECT_EQ(card->previewBody()->editor(), nullptr);
    ASSERT_NE(card->previewBody()->plainText(), nullptr);
    card->fitCardFrame();
    EXPECT_EQ(card->cardFrame(), QRectF(railSize.width() - 78, 40, 78, 116));
    EXPECT_EQ(card->previewBody(), nullptr);
}

TEST_F(NoteFormViewTest, EditingDisabledShowsThePlainText)
{
    Note *note = ViewTest::insertNote(*context, QString(), QStringLiteral("Solo lectura"));
    NoteSurfaceEnvironment environment = ViewTest::environment(context, ColorScheme::light);
    environment.noteEditingEnabled = false;
    NoteFormView *card = makeCard(note, ScreenEdge::left, ColorScheme::light, environment);
    place(*card, withPhase(tab(), NotePhase::preview));
    ASSERT_NE(card->previewBody(), nullptr);
    EXPECT_EQ(card->previewBody()->editor(), nullptr);
    ASSERT_NE(card->previewBody()->plainText(), nullptr);
    EXPECT_EQ(card->previewBody()->plainText()->text(), QStringLiteral("Solo lectura"));

    // Allowing editing again gives the open card its editor.
    environment.noteEditingEnabled = true;
    card->setEnvironment(environment);
    ASSERT_NE(card->previewBody(), nullptr);
    EXPECT_NE(card->previewBody()->editor(), nullptr);
}

TEST_F(NoteFormViewTest, AutoFocusPutsTheCaretInTheOpenedEditor)
{
    Note *first = ViewTest::insertNote(*context, QString(), QStringLiteral("Uno"));
    Note *second = ViewTest::insertNote(*context, QString(), QStringLiteral("Dos"));
    rail.show();
    rail.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&rail));

    NoteFormView *clicked = makeCard(first, ScreenEdge::right);
    place(*clicked, withPhase(tab(), NotePhase::preview));
    ASSERT_NE(clicked->previewBody(), nullptr);
    QApplication::processEvents();
    EXPECT_FALSE(clicked->previewBody()->editor()->hasFocus());
    NoteCardState folded = clicked->state();
    folded.phase = NotePhase::tab;
    clicked->setState(folded);
    clicked->fitCardFrame();

    NoteFormView *created = makeCard(second, ScreenEdge::right);
    NoteCardState focused = withPhase(tab(), NotePhase::preview);
    focused.autoFocus = true;
    place(*created, focused);
    ASSERT_NE(created->previewBody(), nullptr);
    EXPECT_TRUE(waitUntil([&] { return created->previewBody()->editor()->hasFocus(); }, 1000));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("!"));
    EXPECT_EQ(created->previewBody()->editor()->toPlainText(), QStringLiteral("Dos!"));
}

TEST_F(NoteFormViewTest, OpenButtonCallsTheOpenAction)
{
    int opened = 0;
    actions.open = [&] { ++opened; };
    Note *note = ViewTest::insertNote(*context, QString(), QStringLiteral("Nota"));
    NoteFormView *card = makeCard(note, ScreenEdge::right);
    place(*card, withPhase(tab(), NotePhase::preview));
    ASSERT_NE(card->previewBody(), nullptr);
    card->previewBody()->openButton()->click();
    EXPECT_EQ(opened, 1);
}

TEST_F(NoteFormViewTest, TurnedContentTakesThePointerWhereItIsDrawn)
{
    int opened = 0;
    actions.open = [&] { ++opened; };
    Note *note = ViewTest::insertNote(*context, QString(), QStringLiteral("Nota"));
    rail.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rail));
    NoteFormView *card = makeCard(note, ScreenEdge::right);
    place(*card, withPhase(tab(1.5), NotePhase::preview));
    ASSERT_NE(card->previewBody(), nullptr);
    QApplication::processEvents();

    // The button's middle, through the card's turn, in the rail's coordinates.
    NoteTextButton *open = card->previewBody()->openButton();
    const NoteCardChrome chrome = card->chrome();
    const QPointF inBody = QRectF(open->geometry()).center();
    const QPoint onRail =
        chrome.tiltTransform().map(chrome.bodyRect().topLeft() + inBody).toPoint();
    QTest::mouseMove(&rail, onRail);
    EXPECT_TRUE(waitUntil([&] { return card->previewBody()->isHoveringOpen(); }, 1000));
    // Through the window, as the desktop delivers it, so it reaches the widget under the point.
    QTest::mouseClick(rail.windowHandle(), Qt::LeftButton, {}, onRail);
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(rail.presses.isEmpty());

    // Presses on the tab strip and on the open card's bare paper go on to the rail.
    const QPoint onStrip = chrome.stripRect().center().toPoint();
    // Beside the footer, where the content has no control.
    const QPoint onPaper =
        chrome.tiltTransform().map(chrome.bodyRect().bottomRight() + QPointF(-30, -26)).toPoint();
    QTest::mouseClick(rail.windowHandle(), Qt::LeftButton, {}, onStrip);
    QTest::mouseClick(rail.windowHandle(), Qt::LeftButton, {}, onPaper);
    EXPECT_EQ(rail.presses, (QList<QPoint>{onStrip, onPaper}));
}

// Screenshots of every phase in both schemes, on a plain desktop colour.
TEST_F(NoteFormViewTest, Screenshots)
{
    const QList<std::pair<QString, NoteColor>> notes{
        {QStringLiteral("Compras"), NoteColor::citrus},
        {QStringLiteral("Ideas"), NoteColor::coral},
        {QStringLiteral("Llamar a Marta"), NoteColor::rose},
        {QStringLiteral("Lecturas"), NoteColor::lavender},
        {QStringLiteral("Viaje"), NoteColor::sky},
        {QStringLiteral("Recetas"), NoteColor::mint}};
    QList<Note *> records;
    for (const auto &[title, color] : notes)
        records.append(ViewTest::insertNote(
            *context, title, QStringLiteral("Pan, leche y café\nsegunda línea"), color));

    rail.resize(540, 720);
    for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
        const QString suffix =
            scheme == ColorScheme::light ? QStringLiteral("light") : QStringLiteral("dark");
        const QColor desk =
            scheme == ColorScheme::light ? QColor(214, 220, 228) : QColor(36, 38, 44);
        for (const NotePhase phase : {NotePhase::chip, NotePhase::tab, NotePhase::preview}) {
            for (const ScreenEdge edge : {ScreenEdge::right, ScreenEdge::left}) {
                QList<NoteFormView *> cards;
                for (int i = 0; i < records.size(); ++i) {
                    NoteFormView *card = makeCard(records[i], edge, scheme);
                    NoteCardState state;
                    const bool awake = phase != NotePhase::chip;
                    state.phase = phase == NotePhase::preview && i != 2 ? NotePhase::tab : phase;
                    state.tabWidth = 70 + 4 * (i % 5);
                    state.tilt = (i % 2 == 0 ? 1 : -1) * (i % 3 == 0 ? 1.5 : 0.75) *
                                 (edge == ScreenEdge::right ? 1 : -1);
                    state.itemHeight = awake ? 104 : 26;
                    state.cardHeight = 260;
                    state.isHovered = phase == NotePhase::tab && i == 1;
                    state.peek = state.isHovered ? 8 : 0;
                    state.isDimmed = phase == NotePhase::preview && i != 2;
                    const double pitch = awake ? 104 - 7 : 26 + 5;
                    place(*card, state, 40 + i * pitch);
                    cards.append(card);
                }
                if (phase == NotePhase::preview)
                    cards[2]->raise();
                const QString name = QStringLiteral("card-%1-%2-%3")
                                         .arg(phase == NotePhase::chip  ? QStringLiteral("chip")
                                              : phase == NotePhase::tab ? QStringLiteral("tab")
                                                                        : QStringLiteral("preview"),
                                              edge == ScreenEdge::right ? QStringLiteral("right")
                                                                        : QStringLiteral("left"),
                                              suffix);
                const QImage shot = ViewTest::render(rail, desk);
                EXPECT_TRUE(ViewTest::saveArtifact(shot, name)) << name.toStdString();
                qDeleteAll(cards);
            }
        }
    }
}

} // namespace
