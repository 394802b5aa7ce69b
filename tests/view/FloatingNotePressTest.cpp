// SPDX-License-Identifier: GPL-3.0-or-later
// A click on a floating note that the X server gave to a window of ours under the note, as
// XWayland does under wlroots compositors while that window has the keyboard: the press
// comes first, to the wrong window, then the compositor activates the note.

#include "TestSupport.h"
#include "ViewTestSupport.h"

#include "platform/QtWindowSystem.h"
#include "surfaces/BundledFonts.h"
#include "surfaces/FloatingNotePanel.h"
#include "surfaces/FloatingNotePressRouter.h"
#include "surfaces/FloatingNotesCoordinator.h"
#include "surfaces/NoteEditorView.h"
#include "surfaces/NoteTitleField.h"
#include "surfaces/NoteWindowBody.h"
#include "surfaces/NoteWindowView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QTextCursor>
#include <QWindow>

namespace {

// A window of the application that counts the clicks it gets, such as the library.
class ClickCounter : public QWidget
{
public:
    using QWidget::QWidget;
    int presses = 0;
    int releases = 0;

protected:
    void mousePressEvent(QMouseEvent *) override { ++presses; }
    void mouseReleaseEvent(QMouseEvent *) override { ++releases; }
};

bool activate(QWidget *window)
{
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

class FloatingNotePressTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("offscreen"))
            GTEST_SKIP() << "runs on the offscreen platform";
        BundledFonts::registerAll();
        container = makeMemoryContainer();
        context = container->mainContext();
        coordinator = std::make_unique<FloatingNotesCoordinator>(
            container.get(), windows, ViewTest::environment(context, ColorScheme::light));
        note = ViewTest::insertNote(*context, QStringLiteral("Suelta"),
                                    QStringLiteral("Cuerpo de la nota"), NoteColor::citrus);
        note->setIsFloating(true);
        ASSERT_TRUE(context->save());
        coordinator->open(note);
        view = coordinator->panel(note->id())->view();
        ASSERT_NE(view, nullptr);
        noteWindow = view->window();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(noteWindow));
        // The note had the keyboard once, when it came back: its title took it.
        ASSERT_TRUE(activate(noteWindow));
        ASSERT_EQ(QApplication::focusWidget(), view->body()->titleField());

        // The window the person worked in next, under the whole note.
        library.setGeometry(noteWindow->geometry().adjusted(-120, -120, 120, 120));
        library.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&library));
        ASSERT_TRUE(activate(&library));
        router = std::make_unique<FloatingNotePressRouter>(
            [this] { return QList<NoteWindowView *>{view}; });
    }

    void TearDown() override
    {
        router.reset();
        coordinator.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Where a click puts the caret before the character at `position` of the note's text.
    QPoint globalPointAt(int position) const
    {
        NoteEditorView *editor = view->body()->editor();
        QTextCursor cursor(editor->document());
        cursor.setPosition(position);
        return editor->viewport()->mapToGlobal(editor->cursorRect(cursor).center());
    }

    static void press(QWidget *window, QPoint global)
    {
        QTest::mousePress(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          window->windowHandle()->mapFromGlobal(global));
    }

    static void release(QWidget *window, QPoint global)
    {
        QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                            window->windowHandle()->mapFromGlobal(global));
    }

    QtWindowSystem windows;
    std::unique_ptr<ModelContainer> container;
    ModelContext *context = nullptr;
    std::unique_ptr<FloatingNotesCoordinator> coordinator;
    Note *note = nullptr;
    NoteWindowView *view = nullptr;
    QWidget *noteWindow = nullptr;
    ClickCounter library;
    std::unique_ptr<FloatingNotePressRouter> router;
};

} // namespace

TEST_F(FloatingNotePressTest, AClickOnTheTextGivenToTheWindowUnderneathPutsTheCaretThere)
{
    NoteEditorView *editor = view->body()->editor();
    const QPoint point = globalPointAt(6); // "Cuerpo|de la nota"
    press(&library, point);
    // The compositor gives the note the keyboard for that click, while the button is down.
    ASSERT_TRUE(activate(noteWindow));
    release(&library, point);

    EXPECT_EQ(QApplication::focusWidget(), editor) << "the title kept the keyboard";
    EXPECT_EQ(editor->textCursor().position(), 6);
    EXPECT_EQ(library.presses, 0) << "the window under the note took the click";
    EXPECT_EQ(library.releases, 0);

    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral(" y"));
    editor->commit();
    view->body()->titleField()->commit();
    EXPECT_EQ(note->plainText().toStdString(), "Cuerpo y de la nota");
    EXPECT_EQ(note->title().toStdString(), "Suelta");
}

TEST_F(FloatingNotePressTest, AClickOnTheTextOfTheInactiveNoteItselfPutsTheCaretThere)
{
    // The press reaches the note before the compositor activates it.
    const QPoint point = globalPointAt(6);
    press(noteWindow, point);
    ASSERT_TRUE(activate(noteWindow));
    release(noteWindow, point);

    EXPECT_EQ(QApplication::focusWidget(), view->body()->editor()) << "the title took it back";
    EXPECT_EQ(view->body()->editor()->textCursor().position(), 6);
    EXPECT_EQ(library.presses, 0);
}

TEST_F(FloatingNotePressTest, ClicksAwayFromTheNotesPaperStayWithTheirWindow)
{
    // Beside the note, and in the shadow around its paper, which takes no clicks.
    const QRect note = noteWindow->geometry();
    const QPoint beside = note.topLeft() - QPoint(60, 60);
    const QPoint inShadow =
        note.topLeft() + QPoint(int(NoteWindowView::padding) / 3, note.height() / 2);
    for (const QPoint point : {beside, inShadow}) {
        press(&library, point);
        release(&library, point);
    }
    EXPECT_EQ(library.presses, 2);
    EXPECT_EQ(library.releases, 2);
    EXPECT_TRUE(library.isActiveWindow());
    // Activated without a click, the note gives the keyboard to what had it last.
    ASSERT_TRUE(activate(noteWindow));
    EXPECT_EQ(QApplication::focusWidget(), view->body()->titleField());

    // A dialog floats: over the note, it is what the person clicked.
    ClickCounter dialog(&library, Qt::Dialog);
    dialog.setGeometry(note);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    ASSERT_TRUE(activate(&dialog));
    const QPoint text = globalPointAt(6);
    press(&dialog, text);
    release(&dialog, text);
    EXPECT_EQ(dialog.presses, 1);
    EXPECT_EQ(dialog.releases, 1);
    EXPECT_NE(QApplication::focusWidget(), view->body()->editor());
}
