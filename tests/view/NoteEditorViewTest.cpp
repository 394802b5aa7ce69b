// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreSabotage.h"
#include "TestSupport.h"
#include "ViewTestSupport.h"

#include "model/AppSettings.h"
#include "model/RichTextCoder.h"
#include "surfaces/BundledFonts.h"
#include "surfaces/NoteChromeFonts.h"
#include "surfaces/NoteEditorView.h"
#include "surfaces/NoteScrollIndicator.h"
#include "surfaces/NoteTitleField.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;

namespace {

class NoteEditingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        BundledFonts::registerAll();
        container = makeMemoryContainer();
        context = container->mainContext();
        note = ViewTest::insertNote(*context, QString(), QStringLiteral("Primera línea"));
        // A date well in the past, so any write shows.
        note->setUpdatedAt(QDateTime::currentDateTimeUtc().addDays(-3));
        EXPECT_TRUE(context->save());
        stamped = note->updatedAt();
        window.resize(360, 240);
        window.show();
    }

    NoteEditorView *makeEditor(std::chrono::milliseconds delay = 60ms, bool autoFocus = false)
    {
        auto *editor =
            new NoteEditorView(note, NoteColors::paint(NoteColor::citrus, ColorScheme::light),
                               autoFocus, NoteEditorView::initialText(*note),
                               ViewTest::environment(context, ColorScheme::light, delay), &window);
        editor->resize(window.size());
        editor->show();
        return editor;
    }

    NoteTitleField *makeTitleField(std::chrono::milliseconds delay = 60ms)
    {
        auto *field =
            new NoteTitleField(note, NoteColors::paint(NoteColor::sky, ColorScheme::dark),
                               ViewTest::environment(context, ColorScheme::dark, delay), &window);
        field->show();
        return field;
    }

    // What another reader of the store sees.
    QString storedPlainText()
    {
        auto fresh = container->makeContext().value();
        const auto notes = fresh->fetch(FetchDescriptor{});
        return notes && !notes->isEmpty() ? notes->first()->plainText() : QString();
    }

    ScopedDefaults defaults;
    std::unique_ptr<ModelContainer> container;
    ModelContext *context = nullptr;
    Note *note = nullptr;
    QDateTime stamped;
    QWidget window;
};

TEST_F(NoteEditingTest, EditorWritesOnceAfterABurstOfTyping)
{
    NoteEditorView *editor = makeEditor(80ms);
    QSignalSpy writes(editor, &NoteEditorView::wrote);
    editor->moveCursor(QTextCursor::End);
    // Five keystrokes, each well within the pause of the one before.
    for (const QChar c : QStringLiteral(" azul")) {
        QTest::keyClick(editor, c.toLatin1());
        QTest::qWait(20);
    }
    EXPECT_EQ(writes.count(), 0);
    EXPECT_TRUE(editor->hasPendingSave());
    EXPECT_EQ(note->plainText(), QStringLiteral("Primera línea"));

    ASSERT_TRUE(waitUntil([&] { return writes.count() > 0; }, 2000));
    QTest::qWait(200);
    EXPECT_EQ(writes.count(), 1);
    EXPECT_EQ(note->plainText(), QStringLiteral("Primera línea azul"));
    EXPECT_GT(note->updatedAt(), stamped);
    EXPECT_EQ(RichTextCoder::decode(note->richText()).text(), QStringLiteral("Primera línea azul"));
    EXPECT_FALSE(context->hasChanges());
    EXPECT_EQ(storedPlainText(), QStringLiteral("Primera línea azul"));
}

TEST_F(NoteEditingTest, HidingWithinThePauseWritesAtOnceAndOnlyOnce)
{
    NoteEditorView *editor = makeEditor(150ms);
    QSignalSpy writes(editor, &NoteEditorView::wrote);
    editor->moveCursor(QTextCursor::End);
    QTest::keyClicks(editor, QStringLiteral("!"));
    editor->hide();
    EXPECT_EQ(writes.count(), 1);
    EXPECT_EQ(note->plainText(), QStringLiteral("Primera línea!"));
    EXPECT_FALSE(editor->hasPendingSave());
    QTest::qWait(250);
    EXPECT_EQ(writes.count(), 1);

    // Going away altogether writes what the last keystrokes left.
    editor->show();
    QTest::keyClicks(editor, QStringLiteral("?"));
    delete editor;
    EXPECT_EQ(note->plainText(), QStringLiteral("Primera línea!?"));
    EXPECT_EQ(storedPlainText(), QStringLiteral("Primera línea!?"));
}

TEST_F(NoteEditingTest, OpeningAndClosingWithoutTypingWritesNothing)
{
    const QByteArray stored = note->richText();
    NoteEditorView *editor = makeEditor();
    QSignalSpy writes(editor, &NoteEditorView::wrote);
    editor->hide();
    delete editor;
    EXPECT_EQ(writes.count(), 0);
    EXPECT_EQ(note->updatedAt(), stamped);
    EXPECT_EQ(note->richText(), stored);
    EXPECT_FALSE(context->hasChanges());

    // Typing and taking it back is no change either.
    editor = makeEditor(40ms);
    QSignalSpy again(editor, &NoteEditorView::wrote);
    editor->moveCursor(QTextCursor::End);
    QTest::keyClicks(editor, QStringLiteral("x"));
    QTest::keyClick(editor, Qt::Key_Backspace);
    QTest::qWait(150);
    delete editor;
    EXPECT_EQ(again.count(), 0);
    EXPECT_EQ(note->updatedAt(), stamped);
}

TEST_F(NoteEditingTest, UnreadableStoredTextOpensOnThePlainCopyAndIsLeftAlone)
{
    const QByteArray damaged("no es RTF");
    note->setRichText(damaged);
    EXPECT_TRUE(context->save());
    NoteEditorView *editor = makeEditor();
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("Primera línea"));
    delete editor;
    EXPECT_EQ(note->richText(), damaged);

    // The first edit starts from the body that was there, not from nothing.
    editor = makeEditor(30ms);
    editor->moveCursor(QTextCursor::End);
    QTest::keyClicks(editor, QStringLiteral("."));
    delete editor;
    EXPECT_EQ(note->plainText(), QStringLiteral("Primera línea."));
    EXPECT_EQ(RichTextCoder::decode(note->richText()).text(), QStringLiteral("Primera línea."));
}

TEST_F(NoteEditingTest, FailedSaveKeepsTheEditForTheNextSave)
{
    StoreSabotage sabotage(*container);
    sabotage.failWrites();
    NoteEditorView *editor = makeEditor(30ms);
    editor->moveCursor(QTextCursor::End);
    QTest::keyClicks(editor, QStringLiteral(" 2"));
    delete editor;
    EXPECT_EQ(note->plainText(), QStringLiteral("Primera línea 2"));
    EXPECT_TRUE(context->hasChanges());
    EXPECT_EQ(storedPlainText(), QStringLiteral("Primera línea"));

    sabotage.repair();
    EXPECT_TRUE(context->save());
    EXPECT_EQ(storedPlainText(), QStringLiteral("Primera línea 2"));
}

TEST_F(NoteEditingTest, PasteKeepsOnlyWhatANoteStores)
{
    NoteEditorView *editor = makeEditor();
    editor->clear();
    auto *pasted = new QMimeData;
    pasted->setHtml(
        QStringLiteral("<p><b>negrita</b> <span style=\"background:#ff0\">marcado</span>"
                       "</p><table><tr><td>celda</td></tr></table>"));
    pasted->setText(QStringLiteral("negrita marcado celda"));
    QApplication::clipboard()->setMimeData(pasted);
    editor->paste();
    const StyledText text = editor->styledText();
    EXPECT_TRUE(text.text().startsWith(QStringLiteral("negrita marcado")))
        << text.text().toStdString();
    EXPECT_TRUE(text.text().contains(QStringLiteral("celda")));
    EXPECT_TRUE(text.attributesAt(0).bold);
    // What shows is what the note gets back next time.
    delete editor;
    EXPECT_EQ(RichTextCoder::decode(note->richText()), text);
}

TEST_F(NoteEditingTest, ALongNoteShowsWhereItIsScrolled)
{
    NoteEditorView *editor = makeEditor();
    const NoteScrollIndicator *indicator = editor->scrollIndicator();
    ASSERT_NE(indicator, nullptr);
    QCoreApplication::processEvents();
    EXPECT_FALSE(indicator->isVisibleTo(editor)) << "a short text fits: no indicator";

    QStringList lines;
    for (int i = 0; i < 60; ++i)
        lines << QStringLiteral("Línea %1").arg(i);
    editor->setPlainText(lines.join(u'\n'));
    QCoreApplication::processEvents();
    ASSERT_TRUE(indicator->isVisibleTo(editor));
    EXPECT_FALSE(editor->verticalScrollBar()->isVisible()) << "no scroll bar on the paper";
    // Along the right edge of the text, inside the editor.
    EXPECT_TRUE(editor->rect().contains(indicator->geometry()));
    EXPECT_GE(indicator->geometry().right(), editor->viewport()->geometry().right() - 1);

    editor->verticalScrollBar()->setValue(0);
    const QRectF top = indicator->thumbRect();
    ASSERT_FALSE(top.isEmpty());
    EXPECT_LT(top.height(), indicator->height() / 2.0) << "sixty lines: a short bar";
    editor->verticalScrollBar()->setValue(editor->verticalScrollBar()->maximum());
    const QRectF bottom = indicator->thumbRect();
    EXPECT_GT(bottom.top(), top.bottom());
    EXPECT_NEAR(bottom.bottom(), indicator->height() - NoteScrollIndicator::inset, 0.5);
    EXPECT_TRUE(indicator->isEmphasised()) << "it stands out while scrolling";

    // Drawn in the note's ink, on the paper.
    QImage picture(indicator->size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    const_cast<NoteScrollIndicator *>(indicator)->render(&picture);
    const QPoint middle = bottom.center().toPoint();
    EXPECT_GT(qAlpha(picture.pixel(middle)), 0);

    // Back to a short text: the indicator goes.
    editor->setPlainText(QStringLiteral("Corta"));
    QCoreApplication::processEvents();
    EXPECT_FALSE(indicator->isVisibleTo(editor));
}

TEST(NoteScrollIndicatorGeometry, TheBarMeasuresThePageAndFollowsTheValue)
{
    using Indicator = NoteScrollIndicator;
    EXPECT_TRUE(Indicator::thumbRect(7, 200, 0, 0, 0, 100).isEmpty()) << "nothing to scroll";
    // Half the text fits: a bar half the track long, at the top, then at the bottom.
    const double track = 200 - 2 * Indicator::inset;
    const QRectF first = Indicator::thumbRect(7, 200, 0, 100, 0, 100);
    EXPECT_DOUBLE_EQ(first.height(), track / 2);
    EXPECT_DOUBLE_EQ(first.top(), Indicator::inset);
    EXPECT_DOUBLE_EQ(first.right(), 7 - Indicator::inset);
    const QRectF last = Indicator::thumbRect(7, 200, 0, 100, 100, 100);
    EXPECT_DOUBLE_EQ(last.bottom(), 200 - Indicator::inset);
    // A very long text still gets a bar that can be seen.
    EXPECT_DOUBLE_EQ(Indicator::thumbRect(7, 200, 0, 1'000'000, 0, 10).height(),
                     Indicator::minimumLength);
}

TEST_F(NoteEditingTest, AutoFocusTakesTheCaretOnAppear)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    NoteEditorView *waiting = makeEditor(60ms, false);
    QApplication::processEvents();
    EXPECT_FALSE(waiting->hasFocus());
    delete waiting;
    NoteEditorView *focused = makeEditor(60ms, true);
    EXPECT_TRUE(waitUntil([&] { return focused->hasFocus(); }, 1000));
}

TEST_F(NoteEditingTest, TitleReturnWritesAtOnceAndLeavesTheBody)
{
    const QByteArray body = note->richText();
    NoteTitleField *field = makeTitleField(10s);
    QSignalSpy writes(field, &NoteTitleField::wrote);
    EXPECT_EQ(field->placeholderText(), QStringLiteral("Primera línea"));
    QTest::keyClicks(field, QStringLiteral("  Lista  "));
    EXPECT_EQ(writes.count(), 0);
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(writes.count(), 1);
    // Exactly as typed.
    EXPECT_EQ(note->title(), QStringLiteral("  Lista  "));
    EXPECT_GT(note->updatedAt(), stamped);
    EXPECT_EQ(note->richText(), body);
    EXPECT_FALSE(context->hasChanges());
    EXPECT_FALSE(field->hasPendingSave());
}

TEST_F(NoteEditingTest, ClearedTitleIsStoredEmptyAndPromptsWithTheBody)
{
    note->setTitle(QStringLiteral("Viejo"));
    note->setText(StyledText::plain(QStringLiteral("\n\n  Comprar pan \nY leche")));
    EXPECT_TRUE(context->save());
    NoteTitleField *field = makeTitleField(40ms);
    EXPECT_EQ(field->text(), QStringLiteral("Viejo"));
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    ASSERT_TRUE(waitUntil([&] { return note->title().isEmpty(); }, 2000));
    EXPECT_FALSE(context->hasChanges());
    EXPECT_EQ(field->placeholderText(), QStringLiteral("Comprar pan"));
    EXPECT_EQ(note->displayTitle(), QStringLiteral("Comprar pan"));
}

TEST_F(NoteEditingTest, TitleWritesAfterThePauseOrWhenHidden)
{
    NoteTitleField *field = makeTitleField(50ms);
    QSignalSpy writes(field, &NoteTitleField::wrote);
    QTest::keyClicks(field, QStringLiteral("Plan"));
    EXPECT_TRUE(field->hasPendingSave());
    ASSERT_TRUE(waitUntil([&] { return writes.count() == 1; }, 2000));
    EXPECT_EQ(note->title(), QStringLiteral("Plan"));

    QTest::keyClicks(field, QStringLiteral(" B"));
    field->hide();
    EXPECT_EQ(writes.count(), 2);
    EXPECT_EQ(note->title(), QStringLiteral("Plan B"));

    // Nothing typed: nothing written, the date stays.
    const QDateTime saved = note->updatedAt();
    field->show();
    field->hide();
    EXPECT_EQ(writes.count(), 2);
    EXPECT_EQ(note->updatedAt(), saved);
}

TEST_F(NoteEditingTest, TitleChangedElsewhereIsShownAndNeverWrittenBack)
{
    NoteTitleField *field = makeTitleField(20ms);
    QSignalSpy writes(field, &NoteTitleField::wrote);
    // Another computer renames the note while it is open here, untouched.
    note->setTitle(QStringLiteral("De otro ordenador"));
    const QDateTime remoteDate = note->updatedAt();
    EXPECT_TRUE(context->save());
    EXPECT_EQ(field->text(), QStringLiteral("De otro ordenador"));
    EXPECT_FALSE(field->hasPendingSave());
    delete field;
    EXPECT_EQ(writes.count(), 0);
    EXPECT_EQ(note->title(), QStringLiteral("De otro ordenador"));
    EXPECT_EQ(note->updatedAt(), remoteDate);

    // What was typed here still wins over a later change elsewhere.
    field = makeTitleField(10s);
    field->end(false);
    QTest::keyClicks(field, QStringLiteral(" (mio)"));
    note->setTitle(QStringLiteral("Otra vez"));
    EXPECT_EQ(field->text(), QStringLiteral("De otro ordenador (mio)"));
    field->hide();
    EXPECT_EQ(note->title(), QStringLiteral("De otro ordenador (mio)"));
}

} // namespace

namespace {

// Another computer's text, saved by another context as the mirroring's import does.
void saveElsewhere(ModelContainer &container, const QString &body)
{
    auto other = container.makeContext().value();
    const auto notes = other->fetch(FetchDescriptor{});
    ASSERT_TRUE(notes && notes->size() == 1);
    notes->first()->setText(StyledText::plain(body));
    ASSERT_TRUE(other->save());
}

TEST_F(NoteEditingTest, TextArrivingWhileOpenIsShownAndNeverWrittenOver)
{
    NoteEditorView *editor = makeEditor(20ms);
    saveElsewhere(*container, QStringLiteral("Pan y leche"));
    ASSERT_TRUE(waitUntil([&] { return note->plainText() == QStringLiteral("Pan y leche"); }));
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("Pan y leche"));
    EXPECT_FALSE(editor->hasPendingSave()) << "showing what arrived is not an edit";

    // Typing afterwards starts from what arrived.
    editor->moveCursor(QTextCursor::End);
    QTest::keyClicks(editor, QStringLiteral(" y huevos"));
    editor->commit();
    EXPECT_EQ(storedPlainText(), QStringLiteral("Pan y leche y huevos"));
}

TEST_F(NoteEditingTest, TextArrivingWhileTypingIsKeptAsAnArchivedCopy)
{
    NoteEditorView *editor = makeEditor(10s);
    editor->moveCursor(QTextCursor::End);
    QTest::keyClicks(editor, QStringLiteral(" propia"));
    saveElsewhere(*container, QStringLiteral("Del otro ordenador"));
    ASSERT_TRUE(
        waitUntil([&] { return note->plainText() == QStringLiteral("Del otro ordenador"); }));
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("Primera línea propia")) << "the typing stays";
    editor->commit();

    auto fresh = container->makeContext().value();
    const auto notes = fresh->fetch(FetchDescriptor{});
    ASSERT_TRUE(notes);
    QStringList bodies;
    QStringList archivedTitles;
    for (const Note *stored : *notes) {
        bodies << stored->plainText();
        if (stored->isArchived())
            archivedTitles << stored->title();
    }
    bodies.sort();
    EXPECT_EQ(bodies, QStringList({"Del otro ordenador", "Primera línea propia"}));
    ASSERT_EQ(archivedTitles.size(), 1);
    EXPECT_TRUE(archivedTitles.first().startsWith("Copia en conflicto de «"))
        << archivedTitles.first().toStdString();
}

TEST_F(NoteEditingTest, EditorFollowsTheFontSettingsInDesignPoints)
{
    NoteEditorView *editor = makeEditor();
    // The design's points are the desktop's logical pixels.
    EXPECT_EQ(editor->font().pixelSize(), 20);
    EXPECT_EQ(editor->font().family(), QStringLiteral("Caveat"));

    defaults.defaults().setValue(AppSettings::Keys::noteFontSize, 30);
    EXPECT_EQ(editor->font().pixelSize(), 30);
    defaults.defaults().setValue(AppSettings::Keys::noteFont, QStringLiteral("system"));
    EXPECT_EQ(editor->font().pixelSize(), 23); // 30 × 0.78, to the nearest pixel
    EXPECT_NE(editor->font().family(), QStringLiteral("Caveat"));
}

TEST(NoteChromeFontsTest, SizesAreDesignPointsAsPixels)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(16.4);
    font.setWeight(QFont::DemiBold);
    const QFont sized = NoteChromeFonts::inDesignUnits(font);
    EXPECT_EQ(sized.pixelSize(), 16);
    EXPECT_EQ(sized.weight(), QFont::DemiBold);
    EXPECT_EQ(sized.family(), font.family());
    EXPECT_EQ(NoteChromeFonts::tabLabel().pixelSize(), 11);
    EXPECT_EQ(NoteChromeFonts::windowTitle().weight(), QFont::Bold);
    EXPECT_EQ(NoteChromeFonts::status().pixelSize(), 12);
}

} // namespace
