// SPDX-License-Identifier: GPL-3.0-or-later
#include "ManualClock.h"
#include "TestSupport.h"
#include "ViewTestSupport.h"

#include "model/AppSettings.h"
#include "rail/AnimationClock.h"
#include "surfaces/BundledFonts.h"
#include "surfaces/NotePaint.h"
#include "windows/TourDots.h"
#include "windows/TourIllustrationView.h"
#include "windows/TourIllustrations.h"
#include "windows/WelcomeTour.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QImage drawing(const TourIllustration &illustration, ColorScheme scheme = ColorScheme::light,
               QSize size = QSize(TourIllustrationView::paneWidth, 420))
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(TourIllustrations::background(scheme));
    QPainter painter(&image);
    TourIllustrations::paint(painter, illustration, QRectF(image.rect()), scheme);
    return image;
}

// Pixels of `image` within `tolerance` of `color`.
int pixelsNear(const QImage &image, const QColor &color, int tolerance = 6)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += ViewTest::distance(image.pixelColor(x, y), color) <= tolerance;
    return count;
}

class WelcomeTourTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { BundledFonts::registerAll(); }

    void settle(WelcomeTour &tour)
    {
        for (int i = 0; i < 120 && tour.isAnimating(); ++i)
            clock.advance(1.0 / 60);
    }

    ScopedDefaults defaults;
    ManualClock clock;
};

} // namespace

TEST_F(WelcomeTourTest, FivePagesWithTheirTexts)
{
    const QList<TourPage> &pages = WelcomeTour::pages();
    ASSERT_EQ(pages.size(), 5);
    QStringList titles;
    for (const TourPage &page : pages)
        titles << page.title;
    EXPECT_EQ(titles, (QStringList{"Tus notas viven en el borde", "Un clic y se abre",
                                   "Crear, ordenar, cambiar de lado", "Vive en la barra de menús",
                                   "En todos tus Macs"}));
    EXPECT_EQ(pages[0].body,
              "Asoman por el lado de la pantalla, como las pestañas de un archivador. Acerca el "
              "ratón y se despliegan; apártalo y se recogen solas.\n\nNo estorban: el resto del "
              "escritorio se usa con normalidad.");
    EXPECT_EQ(pages[1].body, "La nota sale del borde y ya puedes escribir en ella. No hay que "
                             "guardar nada.\n\nHaz clic en cualquier otro sitio y se recoge.");
    EXPECT_EQ(pages[2].body,
              "El botón + crea una nota nueva, y aparece al acercar el ratón junto a las "
              "demás.\n\nArrastra una pestaña para cambiarla de sitio. Con el botón derecho "
              "eliges color, la mandas al otro borde o a la papelera.");
    EXPECT_EQ(pages[3].body,
              "No ocupa sitio en el Dock. Desde el icono de arriba creas notas, abres la "
              "biblioteca y llegas a los ajustes.\n\nY ⌥⌘N crea una nota desde cualquier "
              "aplicación, sin cambiar de ventana.");
    EXPECT_EQ(pages[4].body,
              "Las notas se sincronizan por iCloud. Instala Orlette en otro Mac con la misma "
              "cuenta y las tendrás allí en segundos.\n\nEn Ajustes puedes ver si va al día.");

    // Drawings: rail awake, rail open, rail awake, menu bar, cloud.
    const auto rail = [&](int i) { return std::get_if<TourRail>(&pages[i].illustration); };
    ASSERT_TRUE(rail(0) && rail(1) && rail(2));
    EXPECT_TRUE(rail(0)->isAwake() && !rail(0)->isOpen());
    EXPECT_TRUE(rail(1)->isAwake() && rail(1)->isOpen());
    EXPECT_TRUE(rail(2)->isAwake() && !rail(2)->isOpen());
    EXPECT_TRUE(std::holds_alternative<TourMenuBar>(pages[3].illustration));
    EXPECT_TRUE(std::holds_alternative<TourCloud>(pages[4].illustration));

    // The sample notes, which are never stored.
    const QList<TourNote> &notes = TourRail::sampleNotes();
    ASSERT_EQ(notes.size(), 5);
    EXPECT_EQ(notes[0], (TourNote{"Compra", "pan\nleche\ncafé de la tienda", NoteColor::citrus}));
    EXPECT_EQ(notes[1], (TourNote{"Llamar al fontanero", "Antes del viernes\nEs el baño de arriba",
                                  NoteColor::coral}));
    EXPECT_EQ(notes[2], (TourNote{"Sábado", "playa si hace bueno", NoteColor::rose}));
    EXPECT_EQ(notes[3], (TourNote{"Wifi", "la del papel del cajón", NoteColor::lavender}));
    EXPECT_EQ(notes[4].text, "cumple el 14 de marzo");
    EXPECT_EQ(notes[4].color, NoteColor::sky);
    EXPECT_FALSE(notes[4].title.isEmpty());
}

TEST_F(WelcomeTourTest, AtrasAndSiguienteWalkThePagesAndEmpezarFinishes)
{
    int finished = 0;
    WelcomeTour tour([&] { ++finished; }, nullptr, &clock);
    tour.show();
    EXPECT_EQ(tour.step(), 0);
    EXPECT_FALSE(tour.backButton()->isVisibleTo(&tour)) << "no Atrás on the first page";
    EXPECT_EQ(tour.mainButton()->text(), "Siguiente");
    EXPECT_EQ(tour.titleLabel()->text(), "Tus notas viven en el borde");
    EXPECT_EQ(tour.dots()->count(), 5);
    EXPECT_EQ(tour.dots()->current(), 0);

    tour.mainButton()->click();
    EXPECT_EQ(tour.step(), 1);
    EXPECT_EQ(tour.titleLabel()->text(), "Un clic y se abre");
    EXPECT_EQ(tour.dots()->current(), 1);
    EXPECT_TRUE(tour.backButton()->isVisibleTo(&tour));
    EXPECT_EQ(tour.backButton()->text(), "Atrás");
    tour.backButton()->click();
    EXPECT_EQ(tour.step(), 0);
    EXPECT_FALSE(tour.backButton()->isVisibleTo(&tour));

    for (int i = 0; i < 4; ++i)
        tour.mainButton()->click();
    EXPECT_EQ(tour.step(), 4);
    EXPECT_EQ(tour.mainButton()->text(), "Empezar");
    EXPECT_EQ(tour.titleLabel()->text(), "En todos tus Macs");
    EXPECT_EQ(finished, 0);
    tour.mainButton()->click();
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(tour.step(), 4) << "Empezar does not move past the last page";

    tour.setStep(9);
    EXPECT_EQ(tour.step(), 4);
    tour.setStep(-3);
    EXPECT_EQ(tour.step(), 0);
}

TEST_F(WelcomeTourTest, ReturnWalksEveryPageAndClosesTheWindowAsSeen)
{
    WelcomeTourWindow window(defaults.defaults(), nullptr, &clock);
    window.show();
    EXPECT_EQ(window.windowTitle(), "Bienvenida");
    WelcomeTour *tour = window.tour();
    for (int page = 1; page <= 4; ++page) {
        QTest::keyClick(&window, Qt::Key_Return);
        EXPECT_EQ(tour->step(), page);
        EXPECT_FALSE(defaults.defaults().boolValue(AppSettings::Keys::hasSeenTour));
    }
    // With the focus on Atrás, Return still means the main button.
    tour->backButton()->setFocus();
    QTest::keyClick(tour->backButton(), Qt::Key_Enter);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(defaults.defaults().boolValue(AppSettings::Keys::hasSeenTour));
}

TEST_F(WelcomeTourTest, ClosingTheWindowOtherwiseOffersTheTourAgainFromTheStart)
{
    WelcomeTourWindow window(defaults.defaults(), nullptr, &clock);
    window.show();
    QTest::keyClick(&window, Qt::Key_Return);
    QTest::keyClick(&window, Qt::Key_Return);
    EXPECT_EQ(window.tour()->step(), 2);
    window.close();
    EXPECT_FALSE(defaults.defaults().boolValue(AppSettings::Keys::hasSeenTour));
    EXPECT_FALSE(defaults.defaults().contains(AppSettings::Keys::hasSeenTour));

    window.show();
    EXPECT_EQ(window.tour()->step(), 0) << "the tour always starts at the first page";
    EXPECT_FALSE(window.tour()->isAnimating());
}

TEST_F(WelcomeTourTest, TextAndDrawingMoveTogetherOnTheSpring)
{
    WelcomeTour tour({}, nullptr, &clock);
    tour.show();
    TourIllustrationView *view = tour.illustrationView();
    EXPECT_EQ(view->progress(), 1);

    tour.advance();
    EXPECT_TRUE(tour.isAnimating());
    EXPECT_EQ(view->progress(), 0);
    EXPECT_EQ(std::get<TourRail>(view->illustration()), TourRail(true, true));
    const QImage start = ViewTest::render(*view);
    clock.advance(0.05);
    const double early = view->progress();
    EXPECT_GT(early, 0);
    EXPECT_LT(early, 1);
    const QImage middle = ViewTest::render(*view);
    settle(tour);
    EXPECT_FALSE(tour.isAnimating());
    EXPECT_EQ(view->progress(), 1);
    const QImage end = ViewTest::render(*view);

    // The card opens on the way: every frame differs from the next.
    const auto differing = [](const QImage &a, const QImage &b) {
        return ViewTest::pixelsDifferingFrom(
            a, QRectF(a.rect()), [&](QPoint p) { return b.pixelColor(p); }, 20);
    };
    EXPECT_GT(differing(start, middle), 500);
    EXPECT_GT(differing(middle, end), 500);
    EXPECT_EQ(differing(end, drawing(TourRail(true, true), view->colorScheme(), view->size())), 0)
        << "at rest the pane shows exactly the page's drawing";
}

TEST_F(WelcomeTourTest, DrawingsShowWhatTheirPagesSay)
{
    const ColorScheme scheme = ColorScheme::light;
    const QImage awake = drawing(TourRail(true, false), scheme);
    const QImage open = drawing(TourRail(true, true), scheme);
    const QImage asleep = drawing(TourRail(false, false), scheme);
    const QColor citrus = NoteColors::paint(NoteColor::citrus, scheme).surface;
    const QColor sky = NoteColors::paint(NoteColor::sky, scheme).surface;

    // The open note (Compra, citrus) spreads its card well into the pane.
    EXPECT_GT(pixelsNear(open, citrus, 12), 3 * pixelsNear(awake, citrus, 12));
    // Awake tabs stand out from the edge; asleep only chips remain.
    EXPECT_GT(pixelsNear(awake, sky, 12), 4 * std::max(1, pixelsNear(asleep, sky, 12)));
    // The cloud centres on its symbol, in the sky paint.
    const QImage cloud = drawing(TourCloud(), scheme);
    EXPECT_GT(pixelsNear(cloud, sky, 4), 4000);

    // The menu-bar drawing lists the application's own menu.
    QStringList items;
    const TourMenuBar menuBar;
    for (const TourMenuBar::Item &item : menuBar.items()) {
        if (!item.isSeparator)
            items << item.text;
    }
    EXPECT_EQ(items, (QStringList{"Nueva nota", "Biblioteca…", "Ajustes…", "Salir de Orlette"}));
    const QImage menu = drawing(menuBar, scheme);
    const QColor highlight = QApplication::palette().color(QPalette::Highlight);
    EXPECT_GT(pixelsNear(menu, highlight, 4), 1500) << "the first item is under the pointer";

    // Both appearances have their background.
    EXPECT_NE(TourIllustrations::background(ColorScheme::light),
              TourIllustrations::background(ColorScheme::dark));
    const QImage dark = drawing(TourRail(true, true), ColorScheme::dark);
    EXPECT_GT(pixelsNear(dark, NoteColors::paint(NoteColor::citrus, ColorScheme::dark).surface, 12),
              3000);
}

TEST_F(WelcomeTourTest, ScreenshotsOfEveryPage)
{
    WelcomeTourWindow window(defaults.defaults(), nullptr, &clock);
    window.show();
    WelcomeTour *tour = window.tour();
    const QSize size = window.size();
    EXPECT_GE(tour->illustrationView()->width(), TourIllustrationView::paneWidth);
    for (int page = 0; page < 5; ++page) {
        tour->setStep(page);
        settle(*tour);
        QCoreApplication::processEvents();
        EXPECT_EQ(window.size(), size) << "one size for every page";
        EXPECT_TRUE(ViewTest::saveArtifact(window.grab().toImage(),
                                           QStringLiteral("welcome-tour-%1").arg(page + 1)));
    }
    tour->illustrationView()->setColorScheme(ColorScheme::dark);
    tour->setStep(1);
    settle(*tour);
    ViewTest::saveArtifact(tour->illustrationView()->grab().toImage(),
                           QStringLiteral("welcome-tour-2-dark-drawing"));
}
