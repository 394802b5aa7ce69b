// SPDX-License-Identifier: GPL-3.0-or-later
// Floating note windows on a real X server with a window manager, driven by xdotool:
// dragging by the paper, resizing by the rim, clicks through the shadow, typing after a
// click. Run by tests/e2e/test_floating_notes.py; skipped on other platforms.

#include "TestSupport.h"
#include "ViewTestSupport.h"

#include "platform/QtPanel.h"
#include "platform/QtWindowSystem.h"
#include "surfaces/BundledFonts.h"
#include "surfaces/FloatingNotePanel.h"
#include "surfaces/FloatingNotePositions.h"
#include "surfaces/FloatingNotesCoordinator.h"
#include "surfaces/NoteEditorView.h"
#include "surfaces/NoteWindowBody.h"
#include "surfaces/NoteWindowView.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QMouseEvent>
#include <QProcess>
#include <QScreen>
#include <QTest>

namespace {

class PressCounter : public QWidget
{
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent *) override { ++presses; }
};

class X11FloatingNotes : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X server with a window manager";
        BundledFonts::registerAll();
        container = makeMemoryContainer();
        context = container->mainContext();
        windows = std::make_unique<QtWindowSystem>();
        coordinator = std::make_unique<FloatingNotesCoordinator>(
            container.get(), *windows, ViewTest::environment(context, ColorScheme::light));
        note = ViewTest::insertNote(*context, QStringLiteral("En el escritorio"),
                                    QStringLiteral("Texto"), NoteColor::mint);
        note->setIsFloating(true);
        EXPECT_TRUE(context->save());
    }

    void TearDown() override
    {
        coordinator.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Opens the note's window and waits until it shows where it was asked to be.
    QWidget *openWindow()
    {
        coordinator->open(note);
        FloatingNotePanel *panel = coordinator->panel(note->id());
        if (panel == nullptr)
            return nullptr;
        QWidget *window = static_cast<QtPanel &>(panel->panel()).window();
        if (!QTest::qWaitForWindowExposed(window))
            return nullptr;
        settle();
        return window;
    }

    NoteWindowView *view() const { return coordinator->panel(note->id())->view(); }

    static void xdotool(const QStringList &arguments)
    {
        ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), arguments), 0)
            << arguments.join(' ').toStdString();
        // Our own events come back through this very event loop.
        settle();
    }

    static void settle(int ms = 150)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    // Presses at `from` (screen pixels), drags by `by` in steps and lets go.
    static void drag(QPoint from, QPoint by)
    {
        xdotool({"mousemove", QString::number(from.x()), QString::number(from.y())});
        xdotool({"mousedown", "1"});
        constexpr int steps = 6;
        for (int step = 1; step <= steps; ++step) {
            const QPoint at = from + by * step / steps;
            xdotool({"mousemove", QString::number(at.x()), QString::number(at.y())});
        }
        xdotool({"mouseup", "1"});
    }

    std::optional<QPointF> storedOrigin() const
    {
        return FloatingNotePositions::load(note->id(), UserDefaults::standard());
    }

    ScopedDefaults defaults;
    std::unique_ptr<ModelContainer> container;
    ModelContext *context = nullptr;
    std::unique_ptr<QtWindowSystem> windows;
    std::unique_ptr<FloatingNotesCoordinator> coordinator;
    Note *note = nullptr;
};

} // namespace

TEST_F(X11FloatingNotes, DraggingThePaperMovesTheWindowAndRemembersWhere)
{
    QWidget *window = openWindow();
    ASSERT_NE(window, nullptr);
    const QRectF opened = coordinator->panel(note->id())->frame();
    EXPECT_EQ(opened.size(), QSizeF(380, 340));
    EXPECT_EQ(opened.topLeft(), FloatingNotePositions::defaultOrigin(0, opened.size(), *windows));

    const QRectF paper = view()->paperRect();
    const QPoint grip =
        view()->mapToGlobal(QPoint(int(paper.left()) + 11, int(paper.center().y())));
    drag(grip, QPoint(150, 90));

    const QPointF expected = opened.topLeft() + QPointF(150, -90);
    EXPECT_TRUE(waitUntil([&] { return storedOrigin() == expected; }))
        << "stored: " << (storedOrigin() ? storedOrigin()->x() : -1) << ","
        << (storedOrigin() ? storedOrigin()->y() : -1);
    EXPECT_EQ(coordinator->panel(note->id())->frame().topLeft(), expected);

    // Opened again, as after a restart, the window comes back where it was left.
    coordinator->closeAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    coordinator->restore();
    ASSERT_NE(coordinator->panel(note->id()), nullptr);
    EXPECT_EQ(coordinator->panel(note->id())->frame().topLeft(), expected);
}

TEST_F(X11FloatingNotes, TheRimResizesTheWindowDownToItsMinimum)
{
    QWidget *window = openWindow();
    ASSERT_NE(window, nullptr);
    const QRectF opened = coordinator->panel(note->id())->frame();
    const QRectF paper = view()->paperRect();

    // The right side near the bottom grabs the corner: larger, and the origin (the
    // bottom-left corner) goes down with the bottom edge. (Inside the paper: without a
    // compositor the window ends at the paper.)
    const auto corner = [&](const QRectF &rect) {
        return view()->mapToGlobal(QPoint(int(rect.right()) - 3, int(rect.bottom()) - 22));
    };
    drag(corner(paper), QPoint(60, 40));
    EXPECT_TRUE(waitUntil([&] { return window->size() == QSize(440, 380); }))
        << window->width() << " x " << window->height();
    EXPECT_TRUE(waitUntil([&] { return storedOrigin() == opened.topLeft() + QPointF(0, -40); }));
    EXPECT_EQ(view()->paperRect(), QRectF(24, 24, 392, 332));

    // Far inwards: it stops at the smallest size.
    const QRectF grown = view()->paperRect();
    drag(corner(grown), QPoint(-400, -400));
    EXPECT_TRUE(waitUntil([&] { return window->size() == QSize(260, 200); }))
        << window->width() << " x " << window->height();
}

TEST_F(X11FloatingNotes, TheShadowLetsClicksThroughAndAClickOnTheTextTakesTheKeyboard)
{
    PressCounter behind;
    behind.setWindowTitle(QStringLiteral("detrás"));
    QWidget *window = openWindow();
    ASSERT_NE(window, nullptr);
    behind.setGeometry(window->geometry().adjusted(-50, -50, 50, 50));
    behind.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&behind));
    coordinator->open(note); // in front again, above the new window
    settle();

    // The transparent margin beside the paper belongs to the window behind.
    const QPoint margin = window->mapToGlobal(QPoint(8, window->height() / 2));
    xdotool({"mousemove", QString::number(margin.x()), QString::number(margin.y()), "click", "1"});
    EXPECT_TRUE(waitUntil([&] { return behind.presses == 1; }));

    NoteEditorView *editor = view()->body()->editor();
    ASSERT_NE(editor, nullptr);
    const QPoint text = editor->mapToGlobal(editor->rect().center());
    xdotool({"mousemove", QString::number(text.x()), QString::number(text.y()), "click", "1"});
    EXPECT_TRUE(waitUntil([&] { return coordinator->panel(note->id())->panel().isKey(); }));
    EXPECT_EQ(behind.presses, 1);
    xdotool({"key", "ctrl+End"});
    xdotool({"type", "--delay", "20", " escrito"});
    EXPECT_TRUE(waitUntil([&] {
        return editor->toPlainText().endsWith(QStringLiteral(" escrito"));
    })) << editor->toPlainText().toStdString();
    EXPECT_TRUE(waitUntil([&] { return note->plainText() == QStringLiteral("Texto escrito"); }));

    // How it looks on the desktop, over the window behind.
    settle(300);
    const QPixmap shot =
        window->screen()->grabWindow(0, behind.x(), behind.y(), behind.width(), behind.height());
    EXPECT_TRUE(ViewTest::saveArtifact(
        shot.toImage(), windows->isCompositing() ? QStringLiteral("floating-note-x11")
                                                 : QStringLiteral("floating-note-x11-plain")));
}
