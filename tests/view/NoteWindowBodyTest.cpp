// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"
#include "ViewTestSupport.h"

#include "surfaces/BundledFonts.h"
#include "surfaces/ColorSwatchRow.h"
#include "surfaces/NoteActionsBar.h"
#include "surfaces/NoteEditorView.h"
#include "surfaces/NotePlainTextView.h"
#include "surfaces/NotePreviewBody.h"
#include "surfaces/NoteStatusLine.h"
#include "surfaces/NoteTextButton.h"
#include "surfaces/NoteTitleField.h"
#include "surfaces/NoteWindowBody.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QTest>
#include <QToolTip>

namespace {

class NoteWindowBodyTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        BundledFonts::registerAll();
        container = makeMemoryContainer();
        context = container->mainContext();
        note =
            ViewTest::insertNote(*context, QString(), QStringLiteral("Llamar al fontanero\nmañana"),
                                 NoteColor::lavender);
        actions.open = [this] { calls << QStringLiteral("open"); };
        actions.close = [this] { calls << QStringLiteral("close"); };
        actions.complete = [this] { calls << QStringLiteral("complete"); };
        actions.remove = [this] { calls << QStringLiteral("remove"); };
        actions.recolor = [this](NoteColor color) {
            calls << QStringLiteral("recolor ") + NoteColors::token(color);
        };
    }

    NoteWindowBody *makeBody(bool editingEnabled, ColorScheme scheme = ColorScheme::light)
    {
        NoteSurfaceEnvironment environment = ViewTest::environment(context, scheme);
        environment.noteEditingEnabled = editingEnabled;
        auto *body = new NoteWindowBody(note, NoteColors::paint(note->color(), scheme), actions,
                                        true, environment);
        body->resize(380 - 48, 340 - 48);
        body->show();
        bodies.emplace_back(body);
        return body;
    }

    ScopedDefaults defaults;
    std::unique_ptr<ModelContainer> container;
    ModelContext *context = nullptr;
    Note *note = nullptr;
    NoteCardActions actions;
    QStringList calls;
    std::vector<std::unique_ptr<QWidget>> bodies;
};

TEST_F(NoteWindowBodyTest, EditableWindowHasTitleFieldAndEditor)
{
    NoteWindowBody *body = makeBody(true);
    ASSERT_NE(body->titleField(), nullptr);
    EXPECT_EQ(body->titleLabel(), nullptr);
    EXPECT_EQ(body->titleField()->placeholderText(), QStringLiteral("Llamar al fontanero"));
    ASSERT_NE(body->editor(), nullptr);
    EXPECT_EQ(body->editor()->toPlainText(), QStringLiteral("Llamar al fontanero\nmañana"));
    EXPECT_TRUE(body->statusLine()->text().startsWith(QStringLiteral("Guardado · ")));
    EXPECT_EQ(body->actionsBar()->completeButton()->text(), QStringLiteral("Hecha"));
    // Header above divider above body above the bar.
    EXPECT_LT(body->titleField()->geometry().bottom(), body->editor()->geometry().top());
    EXPECT_LT(body->editor()->geometry().bottom(), body->actionsBar()->geometry().top());
    EXPECT_EQ(body->titleField()->geometry().left(), NoteWindowBody::padding);
}

TEST_F(NoteWindowBodyTest, ReadOnlyWindowShowsTitleAndTextOnly)
{
    NoteWindowBody *body = makeBody(false);
    EXPECT_EQ(body->titleField(), nullptr);
    EXPECT_EQ(body->editor(), nullptr);
    ASSERT_NE(body->titleLabel(), nullptr);
    EXPECT_EQ(body->titleLabel()->text(), QStringLiteral("Llamar al fontanero"));
    ASSERT_NE(body->plainText(), nullptr);
    EXPECT_EQ(body->plainText()->text(), note->plainText());

    // The read-only title and text follow the note.
    note->setTitle(QStringLiteral("Fontanero"));
    note->setText(StyledText::plain(QStringLiteral("Jueves a las 9")));
    EXPECT_EQ(body->titleLabel()->text(), QStringLiteral("Fontanero"));
    EXPECT_EQ(body->plainText()->text(), QStringLiteral("Jueves a las 9"));
}

TEST_F(NoteWindowBodyTest, CompletedNoteShowsHechaAndReabrir)
{
    NoteWindowBody *body = makeBody(true);
    note->setCompletedAt(QDateTime::currentDateTimeUtc());
    EXPECT_EQ(body->statusLine()->text(), QStringLiteral("Hecha"));
    EXPECT_EQ(body->actionsBar()->completeButton()->text(), QStringLiteral("Reabrir"));
    body->actionsBar()->completeButton()->click();
    EXPECT_EQ(calls, QStringList{QStringLiteral("complete")});

    note->setCompletedAt(std::nullopt);
    EXPECT_TRUE(body->statusLine()->text().startsWith(QStringLiteral("Guardado · ")));
    EXPECT_EQ(body->actionsBar()->completeButton()->text(), QStringLiteral("Hecha"));
}

TEST_F(NoteWindowBodyTest, ActionBarButtonsCallTheirActions)
{
    NoteWindowBody *body = makeBody(true);
    NoteActionsBar *bar = body->actionsBar();
    QTest::mouseClick(bar->deleteButton(), Qt::LeftButton);
    QTest::mouseClick(bar->closeButton(), Qt::LeftButton);
    ColorSwatchRow *swatches = bar->swatches();
    QTest::mouseClick(swatches, Qt::LeftButton, {},
                      swatches->swatchRect(NoteColor::mint).center().toPoint());
    // A press that leaves its swatch before the release picks nothing.
    QTest::mousePress(swatches, Qt::LeftButton, {},
                      swatches->swatchRect(NoteColor::coral).center().toPoint());
    QTest::mouseRelease(swatches, Qt::LeftButton, {},
                        swatches->swatchRect(NoteColor::sky).center().toPoint());
    EXPECT_EQ(calls, (QStringList{QStringLiteral("remove"), QStringLiteral("close"),
                                  QStringLiteral("recolor mint")}));
    // Buttons never take the focus from the editor.
    EXPECT_EQ(bar->deleteButton()->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(bar->deleteButton()->look().text, QColor(176, 58, 46));
}

TEST_F(NoteWindowBodyTest, SwatchesRingTheNoteColourAndNameTheirColours)
{
    ColorSwatchRow row;
    row.setInk(QColor(30, 30, 30));
    row.setCurrent(NoteColor::rose);
    row.resize(row.sizeHint());
    const QImage image = ViewTest::render(row);
    // The bold ring lies 2.5 outside the current swatch; others have only a faint outline.
    const auto ringAt = [&](NoteColor color) {
        const QRectF swatch = row.swatchRect(color);
        return ViewTest::pixel(image, QPointF(swatch.center().x(), swatch.top() - 2.5)).alpha();
    };
    EXPECT_GT(ringAt(NoteColor::rose), 120);
    EXPECT_EQ(ringAt(NoteColor::citrus), 0);
    EXPECT_EQ(ViewTest::distance(ViewTest::pixel(image, row.swatchRect(NoteColor::sky).center()),
                                 NoteColors::paint(NoteColor::sky, ColorScheme::light).surface),
              0);

    row.show();
    QStringList names;
    for (const NoteColor color : NoteColors::allCases()) {
        const QPoint at = row.swatchRect(color).center().toPoint();
        QHelpEvent help(QEvent::ToolTip, at, row.mapToGlobal(at));
        QApplication::sendEvent(&row, &help);
        names << QToolTip::text();
    }
    QToolTip::hideText();
    EXPECT_EQ(names, (QStringList{QStringLiteral("Cítrico"), QStringLiteral("Coral"),
                                  QStringLiteral("Rosa"), QStringLiteral("Lavanda"),
                                  QStringLiteral("Cielo"), QStringLiteral("Menta")}));
}

TEST_F(NoteWindowBodyTest, AssistiveToolsSeeOnePressableButtonPerColour)
{
    ColorSwatchRow row;
    row.setCurrent(NoteColor::sky);
    row.resize(row.sizeHint());
    row.show();
    QList<NoteColor> picked;
    QObject::connect(&row, &ColorSwatchRow::picked, [&](NoteColor color) { picked << color; });

    QAccessibleInterface *group = QAccessible::queryAccessibleInterface(&row);
    ASSERT_TRUE(group);
    EXPECT_EQ(group->text(QAccessible::Name), QStringLiteral("Color"));
    ASSERT_EQ(group->childCount(), 6);
    QStringList names;
    for (int i = 0; i < group->childCount(); ++i) {
        QAccessibleInterface *swatch = group->child(i);
        ASSERT_TRUE(swatch);
        EXPECT_EQ(swatch->role(), QAccessible::Button);
        EXPECT_EQ(swatch->parent(), group);
        EXPECT_EQ(group->indexOfChild(swatch), i);
        // The same object every time, so tools can hold on to it.
        EXPECT_EQ(group->child(i), swatch);
        names << swatch->text(QAccessible::Name);
        const NoteColor color = NoteColors::allCases().at(i);
        EXPECT_EQ(swatch->state().checked, color == NoteColor::sky) << i;
        // Where it is drawn, on the screen.
        const QRect drawn = row.swatchRect(color).toAlignedRect();
        EXPECT_EQ(swatch->rect(), QRect(row.mapToGlobal(drawn.topLeft()), drawn.size()));
        EXPECT_EQ(group->childAt(swatch->rect().center().x(), swatch->rect().center().y()), swatch);
    }
    EXPECT_EQ(names, (QStringList{QStringLiteral("Cítrico"), QStringLiteral("Coral"),
                                  QStringLiteral("Rosa"), QStringLiteral("Lavanda"),
                                  QStringLiteral("Cielo"), QStringLiteral("Menta")}));

    QAccessibleActionInterface *mint = group->child(5)->actionInterface();
    ASSERT_TRUE(mint);
    mint->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(picked, QList<NoteColor>{NoteColor::mint});
    row.setEnabled(false);
    mint->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(picked.size(), 1) << "a disabled row picks nothing";
}

TEST_F(NoteWindowBodyTest, StatusLineFollowsSaves)
{
    NoteWindowBody *body = makeBody(true);
    note->setUpdatedAt(QDateTime::currentDateTimeUtc().addDays(-1));
    EXPECT_EQ(body->statusLine()->text(), QStringLiteral("Guardado · ayer"));
    note->setUpdatedAt(QDateTime::currentDateTimeUtc());
    EXPECT_NE(body->statusLine()->text(), QStringLiteral("Guardado · ayer"));
}

TEST_F(NoteWindowBodyTest, PreviewBodyOpenButtonFillsWhileHovered)
{
    int opened = 0;
    NotePreviewBody body(
        note, NoteColors::paint(NoteColor::citrus, ColorScheme::light), false, false,
        [&] { ++opened; }, ViewTest::environment(context, ColorScheme::light));
    body.resize(330, 260);
    body.show();
    ASSERT_NE(body.plainText(), nullptr);
    EXPECT_EQ(body.editor(), nullptr);
    NoteTextButton *open = body.openButton();
    EXPECT_EQ(open->text(), QStringLiteral("Abrir"));
    // The footer sits at the bottom, inside the padding.
    EXPECT_EQ(body.mapFromGlobal(open->mapToGlobal(QPoint(0, open->height()))).y(),
              260 - NotePreviewBody::padding);

    const QPoint corner(3, open->height() / 2);
    const int resting = ViewTest::render(*open).pixelColor(corner).alpha();
    QEnterEvent enter{QPointF(corner), QPointF(corner), QPointF(open->mapToGlobal(corner))};
    QApplication::sendEvent(open, &enter);
    EXPECT_TRUE(body.isHoveringOpen());
    const int hovered = ViewTest::render(*open).pixelColor(corner).alpha();
    EXPECT_GT(hovered, resting + 10);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(open, &leave);
    EXPECT_FALSE(body.isHoveringOpen());

    QTest::mouseClick(open, Qt::LeftButton);
    EXPECT_EQ(opened, 1);
}

TEST_F(NoteWindowBodyTest, Screenshots)
{
    note->setTitle(QStringLiteral("Fontanero"));
    for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
        for (const bool editable : {true, false}) {
            NoteWindowBody *body = makeBody(editable, scheme);
            const NotePaint paint = NoteColors::paint(note->color(), scheme);
            QImage image(body->size(), QImage::Format_ARGB32_Premultiplied);
            {
                QPainter painter(&image);
                QLinearGradient paper(0, 0, 0, image.height());
                paper.setColorAt(0, paint.surface);
                paper.setColorAt(1, paint.deep);
                painter.fillRect(image.rect(), paper);
            }
            body->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
            const QString name =
                QStringLiteral("window-body-%1-%2")
                    .arg(editable ? QStringLiteral("editable") : QStringLiteral("readonly"),
                         scheme == ColorScheme::light ? QStringLiteral("light")
                                                      : QStringLiteral("dark"));
            EXPECT_TRUE(ViewTest::saveArtifact(image, name));
        }
    }
}

} // namespace
