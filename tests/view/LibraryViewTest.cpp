// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/LibraryView.h"

#include "library/LibraryEmptyView.h"
#include "library/LibraryListModel.h"
#include "library/LibraryRow.h"
#include "model/AppSettings.h"
#include "model/FloatingWindows.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "surfaces/BundledFonts.h"

#include "StoreSabotage.h"
#include "TestSupport.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QHelpEvent>
#include <QHideEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QRandomGenerator>
#include <QShowEvent>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {

const QDateTime t0 = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);

class FakeFloatingWindows : public FloatingWindows
{
public:
    void open(Note *note) override { opened << note; }
    void closeWindow(Note *note) override { closed << note; }
    QList<Note *> opened;
    QList<Note *> closed;
};

// Collects what QAbstractItemModelTester reports, so a broken row signal fails the test.
class ModelCheck
{
public:
    explicit ModelCheck(QAbstractItemModel *model)
        : m_tester(model, QAbstractItemModelTester::FailureReportingMode::Warning)
    {
        failures().clear();
        m_previous = qInstallMessageHandler(&ModelCheck::record);
    }
    ~ModelCheck()
    {
        qInstallMessageHandler(m_previous);
        EXPECT_TRUE(failures().isEmpty()) << failures().join('\n').toStdString();
    }
    static QStringList &failures()
    {
        static QStringList list;
        return list;
    }

private:
    static void record(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (type != QtDebugMsg && QByteArray(context.category).startsWith("qt.modeltest"))
            failures() << text;
    }
    QAbstractItemModelTester m_tester;
    QtMessageHandler m_previous = nullptr;
};

QString artifactsDir()
{
    QString dir = qEnvironmentVariable("ORLETTE_ARTIFACTS_DIR");
    if (dir.isEmpty())
        dir = QCoreApplication::applicationDirPath() + QStringLiteral("/../view-artifacts");
    QDir().mkpath(dir);
    return QDir(dir).absolutePath();
}

QStringList titles(const QList<Note *> &notes)
{
    QStringList result;
    for (const Note *note : notes)
        result << note->displayTitle();
    return result;
}

class LibraryViewTest : public ::testing::Test
{
protected:
    Note *add(const QString &title, const QString &body = {}, int minutes = 0)
    {
        auto note = std::make_unique<Note>();
        note->setTitle(title);
        note->setPlainText(body);
        note->setUpdatedAt(t0.addSecs(60 * minutes));
        return context->insert(std::move(note));
    }
    std::unique_ptr<LibraryView> makeView()
    {
        EXPECT_TRUE(context->save());
        auto view = std::make_unique<LibraryView>(container.get(), &floating);
        return view;
    }
    QStringList listed(const LibraryView &view) { return titles(view.listedNotes()); }
    QAction *menuAction(QMenu &menu, const QString &text)
    {
        for (QAction *action : menu.actions()) {
            if (action->text() == text)
                return action;
        }
        return nullptr;
    }
    // What another context reads from the store.
    Expected<QList<Note *>, StoreError> stored(const FetchDescriptor &descriptor)
    {
        m_reader = container->makeContext().value();
        return m_reader->fetch(descriptor);
    }

    ScopedDefaults defaults;
    std::unique_ptr<ModelContainer> container = makeMemoryContainer();
    ModelContext *context = container->mainContext();
    FakeFloatingWindows floating;
    std::unique_ptr<ModelContext> m_reader;
};

} // namespace

TEST_F(LibraryViewTest, OpensOnTheNotesOnScreenWithAnEmptySearch)
{
    add("uno", {}, 1);
    auto view = makeView();
    EXPECT_EQ(view->windowTitle(), "En pantalla — Biblioteca");
    EXPECT_EQ(view->objectName(), "library");
    EXPECT_EQ(view->size(), QSize(840, 540));
    EXPECT_EQ(view->filter(), LibraryFilter::pinned);
    EXPECT_EQ(view->search(), QString());
    EXPECT_EQ(view->searchField()->placeholderText(), "Buscar en las notas");
    EXPECT_EQ(view->sectionTitle()->text(), "En pantalla");

    QStringList sidebar;
    for (int i = 0; i < view->sidebar()->count(); ++i)
        sidebar << view->sidebar()->item(i)->text();
    EXPECT_EQ(sidebar, (QStringList{"En pantalla", "Hechas", "Archivadas", "Papelera"}));
    EXPECT_EQ(view->sidebar()->currentRow(), 0);
    const QWidget *column = view->sidebar()->parentWidget();
    EXPECT_EQ(column->minimumWidth(), 165);
    EXPECT_EQ(column->maximumWidth(), 240);
    view->show();
    EXPECT_EQ(column->width(), 180);

    // Closing the window is not quitting the application.
    QSignalSpy quitting(qApp, &QCoreApplication::aboutToQuit);
    view->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(quitting.count(), 0);
}

TEST_F(LibraryViewTest, SectionsListTheirNotesNewestFirstAndFollowSavesFromElsewhere)
{
    add("borde viejo", {}, 1);
    add("borde nuevo", {}, 5);
    Note *floatingNote = add("suelta", {}, 3);
    floatingNote->setIsFloating(true);
    Note *done = add("hecha", {}, 2);
    done->setCompletedAt(t0);
    Note *doneAndArchived = add("hecha y archivada", {}, 4);
    doneAndArchived->setCompletedAt(t0);
    doneAndArchived->setIsArchived(true);
    Note *archived = add("archivada", {}, 6);
    archived->setIsArchived(true);
    Note *trashed = add("tirada", {}, 7);
    trashed->setDeletedAt(t0);
    trashed->setCompletedAt(t0);
    auto view = makeView();
    ModelCheck check(view->listModel());

    EXPECT_EQ(listed(*view), (QStringList{"borde nuevo", "suelta", "borde viejo"}));
    view->sidebar()->setCurrentRow(1);
    EXPECT_EQ(view->filter(), LibraryFilter::completed);
    EXPECT_EQ(view->sectionTitle()->text(), "Hechas");
    EXPECT_EQ(listed(*view), (QStringList{"hecha y archivada", "hecha"}));
    view->setFilter(LibraryFilter::archived);
    EXPECT_EQ(view->sidebar()->currentRow(), 2);
    EXPECT_EQ(listed(*view), QStringList{"archivada"});
    view->setFilter(LibraryFilter::trashed);
    EXPECT_EQ(listed(*view), QStringList{"tirada"});

    // Another context (the mirroring, a second window) marks the archived note done and
    // writes a new note: the open list follows without being asked.
    view->setFilter(LibraryFilter::completed);
    auto other = container->makeContext().value();
    auto elsewhere = other->fetch(
        FetchDescriptor{NotePredicate::equals(Note::Field::id, archived->id()), {}, std::nullopt});
    ASSERT_TRUE(elsewhere && elsewhere->size() == 1);
    elsewhere->first()->setCompletedAt(t0);
    auto fresh = std::make_unique<Note>();
    fresh->setTitle("de otro equipo");
    fresh->setUpdatedAt(t0.addSecs(60 * 10));
    fresh->setCompletedAt(t0);
    other->insert(std::move(fresh));
    ASSERT_TRUE(other->save());
    EXPECT_TRUE(waitUntil([&] { return listed(*view).size() == 4; }));
    EXPECT_EQ(listed(*view),
              (QStringList{"de otro equipo", "archivada", "hecha y archivada", "hecha"}));
    view->setFilter(LibraryFilter::archived);
    EXPECT_TRUE(view->showsEmptyView());
}

TEST_F(LibraryViewTest, MovingOneNoteMovesOneRowInsteadOfRebuildingTheList)
{
    QList<Note *> notes;
    for (int i = 0; i < 30; ++i)
        notes << add(QStringLiteral("nota %1").arg(i), {}, i);
    auto view = makeView();
    ModelCheck check(view->listModel());
    QSignalSpy resets(view->listModel(), &QAbstractItemModel::modelReset);
    QSignalSpy moves(view->listModel(), &QAbstractItemModel::rowsMoved);
    QSignalSpy removals(view->listModel(), &QAbstractItemModel::rowsRemoved);

    notes[3]->setUpdatedAt(t0.addSecs(60 * 100));
    EXPECT_TRUE(context->save());
    EXPECT_EQ(view->listedNotes().first(), notes[3]);
    notes[20]->setIsArchived(true);
    EXPECT_TRUE(context->save());
    EXPECT_FALSE(view->listedNotes().contains(notes[20]));
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(moves.count(), 1);
    EXPECT_EQ(removals.count(), 1);
}

TEST_F(LibraryViewTest, RowsStayInStepWithTheStoreThroughRandomChanges)
{
    QList<Note *> notes;
    for (int i = 0; i < 60; ++i)
        notes << add(QStringLiteral("nota %1").arg(i), {}, i);
    auto view = makeView();
    // The check follows every row signal against the model's contents as they happen.
    ModelCheck check(view->listModel());
    QRandomGenerator random(7);
    for (int round = 0; round < 40; ++round) {
        const int changes = 1 + int(random.bounded(6));
        for (int c = 0; c < changes; ++c) {
            Note *note = notes.at(int(random.bounded(qsizetype(notes.size()))));
            switch (random.bounded(4)) {
            case 0:
                note->setUpdatedAt(t0.addSecs(60 * (100 + round * 10 + c)));
                break;
            case 1:
                note->setIsArchived(!note->isArchived());
                break;
            case 2:
                note->setUpdatedAt(t0.addSecs(-60 * int(random.bounded(1000))));
                break;
            default:
                notes << add(QStringLiteral("nueva %1.%2").arg(round).arg(c), {},
                             int(random.bounded(200)));
                break;
            }
        }
        EXPECT_TRUE(context->save());
        const auto expected =
            context->fetch(LibraryFilter(LibraryFilter::pinned).fetchDescriptor({}));
        ASSERT_TRUE(expected);
        ASSERT_EQ(view->listedNotes(), *expected) << "round " << round;
        QList<Note *> shown;
        for (int row = 0; row < view->listModel()->rowCount(); ++row)
            shown << view->listModel()
                         ->data(view->listModel()->index(row), LibraryListModel::NoteRole)
                         .value<Note *>();
        ASSERT_EQ(shown, *expected) << "round " << round;
    }
}

TEST_F(LibraryViewTest, SearchIsLiveAndIgnoresAccentsCaseAndSurroundingBlanks)
{
    add("Café con Ana", {}, 1);
    add("Lista", "comprar CAFÉ molido\nleche", 2);
    add("Té verde", {}, 3);
    Note *doneCoffee = add("café de ayer", {}, 4);
    doneCoffee->setCompletedAt(t0);
    auto view = makeView();
    view->show();

    QTest::keyClicks(view->searchField(), "cafe");
    EXPECT_EQ(view->search(), "cafe");
    EXPECT_EQ(listed(*view), (QStringList{"Lista", "Café con Ana"}));
    // The search stays when the section changes.
    view->setFilter(LibraryFilter::completed);
    EXPECT_EQ(listed(*view), QStringList{"café de ayer"});
    view->setFilter(LibraryFilter::pinned);

    view->setSearch("  \t ");
    EXPECT_EQ(listed(*view).size(), 3);
    view->setSearch("  molido ");
    EXPECT_EQ(listed(*view), QStringList{"Lista"});
    view->setSearch("chocolate");
    EXPECT_TRUE(view->showsEmptyView());
    EXPECT_EQ(view->emptyView()->text(), "No hay notas en los bordes");
    view->searchField()->clear();
    EXPECT_FALSE(view->showsEmptyView());
    EXPECT_EQ(listed(*view).size(), 3);
}

TEST_F(LibraryViewTest, EachEmptySectionSaysSoWithItsSymbol)
{
    auto view = makeView();
    const QList<std::pair<LibraryFilter, QString>> expected{
        {LibraryFilter::pinned, "No hay notas en los bordes"},
        {LibraryFilter::completed, "Nada marcado como hecho"},
        {LibraryFilter::archived, "No has archivado ninguna nota"},
        {LibraryFilter::trashed, "La papelera está vacía"},
    };
    for (const auto &[section, text] : expected) {
        view->setFilter(section);
        EXPECT_TRUE(view->showsEmptyView()) << text.toStdString();
        EXPECT_EQ(view->emptyView()->text(), text);
        EXPECT_EQ(view->emptyView()->symbol(), section.symbol());
    }

    // The first note saved anywhere replaces the empty text with the list.
    view->setFilter(LibraryFilter::pinned);
    add("primera");
    EXPECT_TRUE(context->save());
    EXPECT_FALSE(view->showsEmptyView());
    EXPECT_EQ(listed(*view), QStringList{"primera"});
}

TEST_F(LibraryViewTest, AFailingQueryShowsTheEmptySectionRatherThanAnotherSectionsNotes)
{
    add("en pantalla");
    auto view = makeView();
    ASSERT_EQ(listed(*view), QStringList{"en pantalla"});
    StoreSabotage sabotage(*container);
    sabotage.failReads();
    view->setFilter(LibraryFilter::completed);
    EXPECT_TRUE(view->listedNotes().isEmpty());
    EXPECT_TRUE(view->showsEmptyView());
    EXPECT_EQ(view->emptyView()->text(), "Nada marcado como hecho");
    sabotage.repair();
}

TEST_F(LibraryViewTest, EachOpeningStartsOnTheNotesOnScreenWithAnEmptySearch)
{
    add("en pantalla");
    add("hecha")->setCompletedAt(t0);
    auto view = makeView();
    view->show();
    view->setFilter(LibraryFilter::completed);
    view->setSearch("zzz");
    EXPECT_EQ(view->windowTitle(), "Hechas — Biblioteca");
    EXPECT_TRUE(listed(*view).isEmpty());

    view->close();
    view->show();
    EXPECT_EQ(view->filter(), LibraryFilter::pinned);
    EXPECT_EQ(view->search(), QString());
    EXPECT_EQ(view->sidebar()->currentRow(), 0);
    EXPECT_EQ(view->windowTitle(), "En pantalla — Biblioteca");
    EXPECT_EQ(listed(*view), QStringList{"en pantalla"});
}

TEST_F(LibraryViewTest, TheListFollowsAnActionWhoseSaveFailed)
{
    Note *note = add("nota");
    add("otra");
    auto view = makeView();
    ASSERT_EQ(listed(*view).size(), 2);
    StoreSabotage sabotage(*container);
    sabotage.failWrites();
    const auto menu = view->contextMenu(note);
    menuAction(*menu, "Marcar como hecha")->trigger();
    ASSERT_TRUE(context->hasChanges()) << "the save was to fail";
    EXPECT_EQ(listed(*view), QStringList{"otra"});
    view->setFilter(LibraryFilter::completed);
    EXPECT_EQ(listed(*view), QStringList{"nota"});
    sabotage.repair();
}

TEST_F(LibraryViewTest, ARefreshThatFailsEmptiesTheListUntilTheStoreReadsAgain)
{
    add("uno");
    add("dos");
    auto view = makeView();
    ASSERT_EQ(listed(*view).size(), 2);
    StoreSabotage sabotage(*container);
    sabotage.failReads();
    Q_EMIT context->remoteChange();
    EXPECT_TRUE(view->listedNotes().isEmpty());
    EXPECT_TRUE(view->showsEmptyView());
    EXPECT_EQ(view->emptyView()->text(), "No hay notas en los bordes");

    sabotage.repair();
    Q_EMIT context->remoteChange();
    EXPECT_EQ(listed(*view).size(), 2);
    EXPECT_FALSE(view->showsEmptyView());
}

TEST_F(LibraryViewTest, RowsStrikeDoneTitlesPinFloatingNotesAndSetTheExcerptInTheNoteFont)
{
    Note *open = add("Comprar pan", "Comprar pan\nde centeno");
    Note *done = add("Comprar pan");
    done->setCompletedAt(t0);
    Note *floats = add("Suelta");
    floats->setIsFloating(true);
    auto view = makeView();
    const LibraryRow &row = *view->row();
    const QRect rect(0, 0, 600, row.height(*open, 600));

    EXPECT_FALSE(row.layout(*open, rect).struckThrough);
    EXPECT_TRUE(row.layout(*done, rect).struckThrough);
    EXPECT_FALSE(row.layout(*open, rect).pin);
    const auto pin = row.layout(*floats, rect).pin;
    ASSERT_TRUE(pin);
    EXPECT_GE(pin->left(), row.layout(*floats, rect).titleRect.right());
    EXPECT_EQ(row.toolTip(*floats, rect, pin->center().toPoint()), "Suelta en el escritorio");
    EXPECT_EQ(row.toolTip(*open, rect, pin->center().toPoint()), QString());
    EXPECT_EQ(row.toolTip(*floats, rect, QPoint(590, rect.height() - 3)), QString());

    // Resting the pointer on the pin of the listed row shows the tooltip.
    view->show();
    QListView *list = view->listView();
    const QRect listedRect = list->visualRect(view->listModel()->indexOf(floats));
    const auto listedPin = row.layout(*floats, listedRect).pin;
    ASSERT_TRUE(listedPin);
    const QPoint at = listedPin->center().toPoint();
    QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(list->viewport(), &help);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), "Suelta en el escritorio");
    QToolTip::hideText();

    // The strike is drawn across the whole title, in the secondary colour, on the done
    // row only: along the title's middle the done row has a continuous line.
    const auto paintRow = [&](const Note &note) {
        QImage image(rect.size(), QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        QPalette palette;
        palette.setColor(QPalette::Text, Qt::black);
        row.paintNote(painter, note, rect, LibraryRow::Colors::from(palette), ColorScheme::light);
        return image;
    };
    const auto darkRun = [](const QImage &image, const QRectF &title) {
        int best = 0;
        for (int y = int(title.top()); y < int(title.bottom()); ++y) {
            int run = 0;
            for (int x = int(title.left()); x < int(title.right()); ++x) {
                run = qGray(image.pixel(x, y)) < 200 ? run + 1 : 0;
                best = std::max(best, run);
            }
        }
        return best;
    };
    const QRectF title = row.layout(*done, rect).titleRect;
    EXPECT_GE(darkRun(paintRow(*done), title), int(title.width()) - 2);
    EXPECT_LT(darkRun(paintRow(*open), title), int(title.width()) / 2);

    // The excerpt: the note font at three quarters of its size, in pixels; no excerpt for
    // a note without text, so its row is shorter.
    EXPECT_EQ(row.excerptFont().pixelSize(), 15);
    EXPECT_EQ(row.layout(*open, rect).excerptLines, (QStringList{"Comprar pan", "de centeno"}));
    EXPECT_TRUE(row.layout(*done, rect).excerptLines.isEmpty());
    EXPECT_LT(row.height(*done, 600), row.height(*open, 600));
    defaults.defaults().setValue(AppSettings::Keys::noteFontSize, 24);
    EXPECT_TRUE(waitUntil([&] { return row.excerptFont().pixelSize() == 18; }));
}

TEST_F(LibraryViewTest, LongTextsShowTwoLinesEndingInAnEllipsis)
{
    const QString words = QStringLiteral("palabra ").repeated(80);
    Note *longNote = add("Larga", words + "\n\n\nfinal");
    Note *lines = add("Líneas", "\n\nuno\n  \ndos\ntres");
    Note *shortNote = add("Corta", "uno");
    auto view = makeView();
    const LibraryRow &row = *view->row();
    const QRect rect(0, 0, 500, 200);

    const QStringList longLines = row.layout(*longNote, rect).excerptLines;
    ASSERT_EQ(longLines.size(), 2);
    EXPECT_TRUE(longLines.last().endsWith(QChar(0x2026)));
    EXPECT_EQ(row.layout(*lines, rect).excerptLines, (QStringList{"uno", QString("dos…")}));
    EXPECT_EQ(row.layout(*shortNote, rect).excerptLines, QStringList{"uno"});
    EXPECT_GT(row.height(*longNote, 500), row.height(*shortNote, 500));
    EXPECT_EQ(row.height(*lines, 500), row.height(*longNote, 500));

    // A first line that wraps in a narrow window fits on one line in a wide one.
    Note *sentence = add("Frase", "una frase de unas cuantas palabras sin saltos");
    const int narrow = 200;
    const int wide = 1200;
    EXPECT_EQ(row.layout(*sentence, QRect(0, 0, narrow, 200)).excerptLines.size(), 2);
    EXPECT_EQ(row.layout(*sentence, QRect(0, 0, wide, 200)).excerptLines.size(), 1);
    EXPECT_GT(row.height(*sentence, narrow), row.height(*sentence, wide));
}

TEST_F(LibraryViewTest, DatesReadAsAbbreviatedDayMonthYearAndShortTime)
{
    const QDateTime local(QDate(2024, 3, 12), QTime(14, 5));
    EXPECT_EQ(LibraryRow::dateText(local), "12 mar 2024, 14:05");
    EXPECT_EQ(LibraryRow::dateText(local.toUTC()), "12 mar 2024, 14:05");
    EXPECT_EQ(LibraryRow::dateText(QDateTime()), QString());
}

TEST_F(LibraryViewTest, ContextMenusMoveNotesAndTrashingClosesTheFloatingWindow)
{
    Note *floats = add("suelta", {}, 2);
    floats->setIsFloating(true);
    Note *plain = add("en el borde", {}, 1);
    auto view = makeView();

    auto menu = view->contextMenu(floats);
    QStringList items;
    for (const QAction *action : menu->actions())
        items << (action->isSeparator() ? QStringLiteral("—") : action->text());
    EXPECT_EQ(items, (QStringList{"Marcar como hecha", "Archivar", "—", "Mover a la papelera"}));

    menuAction(*menu, "Mover a la papelera")->trigger();
    EXPECT_EQ(floating.closed, QList<Note *>{floats});
    EXPECT_TRUE(floats->isTrashed());
    EXPECT_FALSE(floats->isFloating());
    EXPECT_EQ(floats->updatedAt(), t0.addSecs(120));
    EXPECT_EQ(listed(*view), QStringList{"en el borde"});
    const auto trashed = stored(LibraryFilter(LibraryFilter::trashed).fetchDescriptor({}));
    ASSERT_TRUE(trashed);
    EXPECT_EQ(titles(*trashed), QStringList{"suelta"});
    EXPECT_FALSE(trashed->first()->isFloating());

    menuAction(*view->contextMenu(plain), "Marcar como hecha")->trigger();
    EXPECT_TRUE(view->showsEmptyView());
    view->setFilter(LibraryFilter::completed);
    EXPECT_EQ(listed(*view), QStringList{"en el borde"});
    menuAction(*view->contextMenu(plain), "Archivar")->trigger();
    EXPECT_FALSE(plain->isCompleted());
    view->setFilter(LibraryFilter::archived);
    EXPECT_EQ(listed(*view), QStringList{"en el borde"});
    menuAction(*view->contextMenu(plain), "Devolver a la pantalla")->trigger();
    view->setFilter(LibraryFilter::pinned);
    EXPECT_EQ(listed(*view), QStringList{"en el borde"});

    view->setFilter(LibraryFilter::trashed);
    auto trashMenu = view->contextMenu(floats);
    menuAction(*trashMenu, "Restaurar")->trigger();
    view->setFilter(LibraryFilter::pinned);
    EXPECT_EQ(listed(*view), (QStringList{"suelta", "en el borde"}));
    // Restored to its rail, not to a window.
    EXPECT_TRUE(floats->isOnRail(floats->edge()));
    EXPECT_TRUE(floating.opened.isEmpty());
}

TEST_F(LibraryViewTest, DeletingForGoodFromTheTrashRemovesTheRecord)
{
    Note *note = add("para borrar");
    note->setDeletedAt(t0);
    auto view = makeView();
    view->setFilter(LibraryFilter::trashed);
    auto menu = view->contextMenu(note);
    ASSERT_NE(menuAction(*menu, "Borrar definitivamente"), nullptr);
    menuAction(*menu, "Borrar definitivamente")->trigger();
    EXPECT_TRUE(view->showsEmptyView());
    const auto left = stored(FetchDescriptor{NotePredicate::all(), {}, std::nullopt});
    ASSERT_TRUE(left);
    EXPECT_TRUE(left->isEmpty());
}

TEST_F(LibraryViewTest, EmptyingTheTrashDeletesOnlyTheNotesItLists)
{
    add("caja en pantalla", "con una x");
    int minutes = 0;
    for (const QString title : {"caja vieja", "taxi", "xilófono", "papel", "éxito"}) {
        Note *note = add(title, {}, ++minutes);
        note->setDeletedAt(t0);
    }
    auto view = makeView();
    EXPECT_FALSE(view->emptyTrashAction()->isVisible());
    EXPECT_EQ(view->emptyTrashAction()->text(), "Vaciar papelera");
    view->setFilter(LibraryFilter::trashed);
    EXPECT_TRUE(view->emptyTrashAction()->isVisible());

    view->setSearch("x");
    EXPECT_EQ(listed(*view).size(), 3);
    view->emptyTrashAction()->trigger();
    EXPECT_TRUE(view->showsEmptyView());
    EXPECT_FALSE(view->emptyTrashAction()->isVisible());

    view->setSearch({});
    EXPECT_EQ(listed(*view), (QStringList{"papel", "caja vieja"}));
    const auto left = stored(FetchDescriptor{NotePredicate::all(), {}, std::nullopt});
    ASSERT_TRUE(left);
    EXPECT_EQ(left->size(), 3);
    view->emptyTrashAction()->trigger();
    EXPECT_TRUE(view->showsEmptyView());
    view->setFilter(LibraryFilter::pinned);
    EXPECT_EQ(listed(*view), QStringList{"caja en pantalla"});
    // Only the trash offers it, even to a search that matches notes on screen.
    view->setSearch("x");
    EXPECT_FALSE(view->emptyTrashAction()->isVisible());
}

TEST_F(LibraryViewTest, AnEditElsewhereRepaintsItsRowBeforeTheSave)
{
    Note *note = add("antes", "texto");
    auto view = makeView();
    QSignalSpy changed(view->listModel(), &QAbstractItemModel::dataChanged);
    note->setTitle("después");
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.first().at(0).value<QModelIndex>().row(), 0);
    EXPECT_EQ(view->listModel()->data(view->listModel()->index(0)).toString(), "después");
    // A new text may need another line; the row is measured again.
    note->setPlainText("otro texto\ncon dos líneas");
    ASSERT_EQ(changed.count(), 2);
    EXPECT_TRUE(changed.last().at(2).value<QList<int>>().contains(Qt::SizeHintRole));
}

TEST_F(LibraryViewTest, Screenshot)
{
    const QList<std::tuple<QString, QString, NoteColor, int>> samples{
        {"Lista de la compra", "Leche, pan de centeno, café molido\ny unas flores para Marta",
         NoteColor::citrus, 50},
        {"", "Llamar al fontanero antes del viernes", NoteColor::coral, 40},
        {"Ideas para el viaje", "Lisboa en primavera: tranvía 28, pastéis de nata, Sintra",
         NoteColor::sky, 30},
        {"Cita con el dentista", {}, NoteColor::lavender, 20},
        {"Regar las plantas", "Las del balcón dos veces por semana", NoteColor::mint, 10},
    };
    for (const auto &[title, body, color, minutes] : samples) {
        Note *note = add(title, body, minutes);
        note->setColor(color);
        if (title == "Ideas para el viaje")
            note->setIsFloating(true);
    }
    // The application registers the shipped Caveat at start-up.
    BundledFonts::registerAll();
    auto view = makeView();
    view->show();
    QCoreApplication::processEvents();
    const QImage light = view->grab().toImage();
    EXPECT_EQ(light.size(), QSize(840, 540) * light.devicePixelRatio());
    EXPECT_TRUE(light.save(artifactsDir() + "/library-light.png"));

    Note *done =
        context->fetch(LibraryFilter(LibraryFilter::pinned).fetchDescriptor("dentista"))->first();
    done->setCompletedAt(t0);
    EXPECT_TRUE(context->save());
    view->setFilter(LibraryFilter::completed);
    QCoreApplication::processEvents();
    EXPECT_TRUE(view->grab().save(artifactsDir() + "/library-done.png"));

    for (const QString title : {"Borrador de la carta", "Números de la rifa"}) {
        Note *note = add(title, "Ya no hace falta", 5);
        note->setDeletedAt(t0);
        note->setColor(NoteColor::rose);
    }
    EXPECT_TRUE(context->save());
    view->setFilter(LibraryFilter::trashed);
    QCoreApplication::processEvents();
    EXPECT_TRUE(view->emptyTrashAction()->isVisible());
    EXPECT_TRUE(view->grab().save(artifactsDir() + "/library-trash.png"));
    view->emptyTrashAction()->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(view->showsEmptyView());
    EXPECT_TRUE(view->grab().save(artifactsDir() + "/library-empty-trash.png"));

    // A dark desktop: the rows take the dark paint of their colours.
    const QPalette original = QApplication::palette();
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(40, 40, 42));
    dark.setColor(QPalette::WindowText, QColor(235, 235, 235));
    dark.setColor(QPalette::Base, QColor(30, 30, 31));
    dark.setColor(QPalette::Text, QColor(235, 235, 235));
    dark.setColor(QPalette::Button, QColor(55, 55, 58));
    dark.setColor(QPalette::ButtonText, QColor(235, 235, 235));
    dark.setColor(QPalette::Highlight, QColor(10, 100, 210));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::PlaceholderText, QColor(140, 140, 140));
    QApplication::setPalette(dark);
    view->setFilter(LibraryFilter::pinned);
    QCoreApplication::processEvents();
    EXPECT_EQ(currentColorScheme(), ColorScheme::dark);
    EXPECT_TRUE(view->grab().save(artifactsDir() + "/library-dark.png"));
    QApplication::setPalette(original);
}
