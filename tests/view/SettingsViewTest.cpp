// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeWindowSystem.h"
#include "TestSupport.h"
#include "ViewTestSupport.h"

#include "model/AppSettings.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "platform/AutostartEntry.h"
#include "platform/NotificationCenter.h"
#include "surfaces/BundledFonts.h"
#include "surfaces/NotePaint.h"
#include "sync/SyncCredentials.h"
#include "sync/SyncEngine.h"
#include "sync/SyncMirroring.h"
#include "sync/SyncStatus.h"
#include "sync/SyncWatcher.h"
#include "updates/UpdateController.h"
#include "windows/FontSampleView.h"
#include "windows/SettingsForm.h"
#include "windows/SettingsView.h"
#include "windows/SyncSettingsSection.h"
#include "windows/SyncTargetForm.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <utility>

using namespace AppSettings;

namespace {

// A mirroring with a target, whose answers the test gives.
class FakeMirroring : public SyncMirroring
{
public:
    bool isConfigured() const override { return true; }
    void requestAccountStatus() override { ++accountRequests; }
    void requestZoneNames() override {}
    void requestPass() override { ++passRequests; }
    void requestSendAgain() override {}
    int accountRequests = 0;
    int passRequests = 0;
};

// A secret store that keeps what it is given.
class MemoryCredentials : public SyncCredentials
{
public:
    void readPassword(const QString &account, ReadDone done) override
    {
        done(passwords.value(account));
    }
    void writePassword(const QString &account, const QString &password, WriteDone done) override
    {
        passwords.insert(account, password);
        done({});
    }
    void removePassword(const QString &account, WriteDone done) override
    {
        passwords.remove(account);
        done({});
    }
    QHash<QString, QString> passwords;
};

// Every text the view shows or offers, shown or not.
QStringList textsOf(const QWidget &widget)
{
    QStringList texts;
    for (const QLabel *label : widget.findChildren<QLabel *>())
        texts << label->text();
    for (const QAbstractButton *button : widget.findChildren<QAbstractButton *>())
        texts << button->text();
    for (const SettingsSection *section : widget.findChildren<SettingsSection *>())
        texts << section->title();
    return texts;
}

QStringList itemsOf(const QComboBox *picker)
{
    QStringList items;
    for (int i = 0; i < picker->count(); ++i)
        items << picker->itemText(i);
    return items;
}

// Chooses the entry at `index` as the person would, with the keyboard.
void choose(QComboBox *picker, int index)
{
    picker->setFocus();
    while (picker->currentIndex() < index)
        QTest::keyClick(picker, Qt::Key_Down);
    while (picker->currentIndex() > index)
        QTest::keyClick(picker, Qt::Key_Up);
}

ScreenInfo screen(quint32 number, const QString &name, double x)
{
    return ScreenInfo{number, QRectF(x, 0, 1920, 1080), QRectF(x, 0, 1920, 1055), name};
}

// Lets pending layouts run, as the event loop would before the next frame.
QImage settledImage(QWidget *widget)
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
    }
    return widget->grab().toImage();
}

// A label is shown when it and every parent up to `root` are.
bool shows(const QWidget *widget, const QWidget *root)
{
    return widget && widget->isVisibleTo(root);
}

class SettingsViewTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { BundledFonts::registerAll(); }

    std::unique_ptr<SettingsView> makeView(SettingsView::Dependencies dependencies = {})
    {
        if (!dependencies.windowSystem)
            dependencies.windowSystem = &windows;
        if (!dependencies.setActivationPolicy) {
            dependencies.setActivationPolicy = [this](ActivationPolicy policy) {
                policies.append(policy);
            };
        }
        if (!dependencies.requestReset)
            dependencies.requestReset = [this] { ++resets; };
        dependencies.loginItem =
            LoginItem(AutostartEntry(config.filePath("autostart/orlette.desktop"), "/bin/true"));
        auto view = std::make_unique<SettingsView>(defaults.defaults(), std::move(dependencies));
        view->show();
        return view;
    }

    ScopedDefaults defaults;
    QTemporaryDir config;
    FakeWindowSystem windows;
    QList<ActivationPolicy> policies;
    int resets = 0;
};

} // namespace

TEST_F(SettingsViewTest, EverySectionAndTextWithNothingStored)
{
    const auto view = makeView();
    EXPECT_EQ(view->windowTitle(), "Ajustes");
    EXPECT_EQ(view->width(), SettingsForm::formWidth);

    QStringList titles;
    for (const SettingsSection *section : view->sections())
        titles << section->title();
    EXPECT_EQ(titles, (QStringList{"Notas", "Notas ancladas", "Aplicación", "Sincronización",
                                   "Actualizaciones"}));

    const QStringList texts = textsOf(*view);
    for (const char *text :
         {"Escritura:", "Tamaño del texto", "Borde:", "Anclar a:", "Abrir al iniciar sesión",
          "Mostrar el icono en el Dock", "Ver el recorrido de bienvenida…",
          "Versión:", "Buscar actualizaciones automáticamente",
          "Última comprobación:", "Buscar ahora", "iCloud", "Sincronizar ahora"})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(text))) << text;
    for (const QString &caption : {SettingsView::edgeCaption, SettingsView::dockCaption,
                                   SettingsView::updatesCaption, SyncStatus::syncNowCaption})
        EXPECT_TRUE(texts.contains(caption)) << caption.toStdString();
    EXPECT_EQ(SettingsView::edgeCaption,
              "Cambiarlo lleva todas tus notas a ese borde, y ahí nacerán las nuevas. Una nota "
              "suelta se puede mover al otro lado con el botón derecho.");
    EXPECT_EQ(SettingsView::fixedScreenCaption, "Las notas se quedan fijas en esa pantalla. Si "
                                                "la desconectas, vuelven a la principal.");
    EXPECT_EQ(SettingsView::dockCaption,
              "Sin icono en el Dock, Orlette vive solo en la barra de menús.");
    EXPECT_EQ(SettingsView::updatesCaption,
              "Al encontrar una versión nueva te avisará. Se instala al cerrar Orlette.");

    // What the controls say with no settings stored.
    EXPECT_EQ(itemsOf(view->fontPicker()), (QStringList{"Caveat", "Noteworthy", "Bradley Hand",
                                                        "Del sistema", "Del sistema, redondeada"}));
    EXPECT_EQ(view->fontPicker()->itemData(2).toString(), "bradleyHand");
    EXPECT_EQ(view->fontPicker()->currentText(), "Caveat");
    EXPECT_EQ(view->fontSizeSlider()->value(), 20);
    EXPECT_EQ(view->fontSample()->style().token, "caveat");
    EXPECT_EQ(itemsOf(view->edgePicker()), (QStringList{"Derecho", "Izquierdo"}));
    EXPECT_EQ(view->edgePicker()->currentText(), "Derecho");
    EXPECT_EQ(view->screenPicker()->currentText(), "La pantalla principal");
    EXPECT_FALSE(shows(view->screenCaption(), view.get()));
    EXPECT_FALSE(view->dockSwitch()->isChecked());
    EXPECT_FALSE(view->loginSwitch()->isChecked());
    EXPECT_FALSE(shows(view->loginErrorLabel(), view.get()));
    EXPECT_EQ(view->launchError(), std::nullopt);
    EXPECT_EQ(view->lastCheckLabel()->text(), "—");
    EXPECT_FALSE(view->checkNowButton()->isEnabled()) << "no updater, nothing to ask";

    EXPECT_TRUE(ViewTest::saveArtifact(settledImage(view->content()), "settings-defaults"));
}

TEST_F(SettingsViewTest, TheSizeSliderRunsFrom14To30InWholePointsAndSetsTheSample)
{
    const auto view = makeView();
    QSlider *slider = view->fontSizeSlider();
    EXPECT_EQ(slider->minimum(), 14);
    EXPECT_EQ(slider->maximum(), 30);
    EXPECT_EQ(slider->singleStep(), 1);
    EXPECT_EQ(slider->pageStep(), 1);

    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(defaults.defaults().value(Keys::noteFontSize).toDouble(), 21.0);
    QTest::keyClick(slider, Qt::Key_PageUp);
    EXPECT_EQ(defaults.defaults().value(Keys::noteFontSize).toDouble(), 22.0)
        << "a page is one point too";
    QTest::keyClick(slider, Qt::Key_End);
    EXPECT_EQ(defaults.defaults().doubleValue(Keys::noteFontSize), 30.0);
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(defaults.defaults().doubleValue(Keys::noteFontSize), 30.0);
    QTest::keyClick(slider, Qt::Key_Home);
    EXPECT_EQ(defaults.defaults().doubleValue(Keys::noteFontSize), 14.0);

    // The letters beside the slider: 10 and 16 design points.
    QList<int> letterSizes;
    for (const QLabel *label : slider->parentWidget()->findChildren<QLabel *>()) {
        if (label->text() == "A")
            letterSizes << label->font().pixelSize();
    }
    EXPECT_EQ(letterSizes, (QList<int>{10, 16}));

    // The sample follows font and size, in design points.
    defaults.defaults().setValue(Keys::noteFont, "system");
    defaults.defaults().setValue(Keys::noteFontSize, 30.0);
    EXPECT_EQ(view->fontPicker()->currentText(), "Del sistema");
    EXPECT_EQ(view->fontSample()->style(), (NoteFontStyle{"system", 30, 1}));
    EXPECT_EQ(view->fontSample()->sampleFont().pixelSize(), qRound(30 * 0.78));
    EXPECT_EQ(slider->value(), 30);

    // The sample: citrus ink on citrus paper of the appearance.
    for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
        FontSampleView *sample = view->fontSample();
        sample->setColorScheme(scheme);
        const QImage image = ViewTest::render(*sample);
        const NotePaint citrus = NoteColors::paint(NoteColor::citrus, scheme);
        EXPECT_EQ(ViewTest::pixel(image, QPointF(6, image.height() / 2.0)), citrus.surface);
        int inked = 0;
        for (int x = 0; x < image.width(); ++x) {
            for (int y = 0; y < image.height(); ++y)
                inked += ViewTest::distance(image.pixelColor(x, y), citrus.ink) < 30;
        }
        EXPECT_GT(inked, 100) << "the sample text is written in the ink";
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "rounded corners";
    }

    // A size outside the range shows at the end of the slider, and is not rewritten.
    defaults.defaults().setValue(Keys::noteFontSize, 44.0);
    EXPECT_EQ(slider->value(), 30);
    EXPECT_EQ(defaults.defaults().doubleValue(Keys::noteFontSize), 44.0);
}

TEST_F(SettingsViewTest, PickersWriteTheirKeysAndFollowOutsideChanges)
{
    const auto view = makeView();
    choose(view->fontPicker(), 1);
    EXPECT_EQ(defaults.defaults().stringValue(Keys::noteFont), "noteworthy");
    EXPECT_EQ(view->fontSample()->style().token, "noteworthy");
    choose(view->edgePicker(), 1);
    EXPECT_EQ(defaults.defaults().stringValue(Keys::defaultEdge), "left");
    choose(view->edgePicker(), 0);
    EXPECT_EQ(defaults.defaults().stringValue(Keys::defaultEdge), "right");

    // Another process writes the settings.
    UserDefaults other(defaults.path());
    other.setValue(Keys::noteFont, "rounded");
    other.setValue(Keys::defaultEdge, "left");
    ASSERT_TRUE(waitUntil([&] { return view->edgePicker()->currentText() == "Izquierdo"; }));
    EXPECT_EQ(view->fontPicker()->currentText(), "Del sistema, redondeada");

    // A value no entry has leaves the picker without a selection.
    defaults.defaults().setValue(Keys::noteFont, "comic");
    EXPECT_EQ(view->fontPicker()->currentIndex(), -1);
    EXPECT_EQ(view->fontSample()->style().noteFont(), NoteFont::caveat);
}

TEST_F(SettingsViewTest, TheWheelScrollsThePageUntilAPickerIsClickedInto)
{
    const auto view = makeView();
    view->resize(view->width(), 300);
    QScrollBar *page = view->findChild<QScrollArea *>()->verticalScrollBar();
    ASSERT_GT(page->maximum(), 0) << "the page must be taller than the window";
    QComboBox *edge = view->edgePicker();
    const auto turn = [](QWidget *under) {
        const QPointF at(under->width() / 2.0, under->height() / 2.0);
        QWheelEvent wheel(at, under->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(under, &wheel);
    };

    // Scrolling past the picker and the size slider moves the page, not the settings.
    const int before = edge->currentIndex();
    const int size = view->fontSizeSlider()->value();
    turn(edge);
    turn(view->fontSizeSlider());
    EXPECT_EQ(edge->currentIndex(), before);
    EXPECT_EQ(view->fontSizeSlider()->value(), size);
    EXPECT_GT(page->value(), 0);
    EXPECT_EQ(defaults.defaults().stringValue(Keys::defaultEdge), QString());

    // Once clicked into, the picker takes the wheel as usual.
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    edge->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(edge->hasFocus());
    turn(edge);
    EXPECT_NE(edge->currentIndex(), before);
}

TEST_F(SettingsViewTest, TheScreenPickerIsRebuiltWhenScreensChange)
{
    windows.setScreens({screen(1, "Portátil", 0), screen(7, "Monitor grande", 1920)});
    const auto view = makeView();
    QComboBox *picker = view->screenPicker();
    EXPECT_EQ(itemsOf(picker),
              (QStringList{"La pantalla principal", "La pantalla donde esté el cursor", "Portátil",
                           "Monitor grande"}));
    EXPECT_EQ(picker->itemData(3).toString(), "display:7");

    choose(picker, 3);
    EXPECT_EQ(defaults.defaults().stringValue(Keys::railScreen), "display:7");
    EXPECT_TRUE(shows(view->screenCaption(), view.get()));
    choose(picker, 1);
    EXPECT_EQ(defaults.defaults().stringValue(Keys::railScreen), "withCursor");
    EXPECT_FALSE(shows(view->screenCaption(), view.get()));
    choose(picker, 3);

    // The chosen display is unplugged: gone from the list, no selection, the caption and the
    // setting stay.
    const QUuid before = view->screensToken();
    windows.setScreens({screen(1, "Portátil", 0)});
    EXPECT_NE(view->screensToken(), before);
    EXPECT_EQ(itemsOf(picker), (QStringList{"La pantalla principal",
                                            "La pantalla donde esté el cursor", "Portátil"}));
    EXPECT_EQ(picker->currentIndex(), -1);
    EXPECT_TRUE(shows(view->screenCaption(), view.get()));
    EXPECT_EQ(defaults.defaults().stringValue(Keys::railScreen), "display:7");

    // Plugged in again, under another name: fresh labels, and chosen again.
    windows.setScreens({screen(1, "Portátil", 0), screen(7, "Monitor del despacho", 1920)});
    EXPECT_EQ(picker->currentText(), "Monitor del despacho");
}

TEST_F(SettingsViewTest, TheDockSwitchWritesTheKeyAndAppliesThePolicyAtOnce)
{
    const auto view = makeView();
    view->dockSwitch()->click();
    EXPECT_TRUE(defaults.defaults().boolValue(Keys::showsDockIcon));
    EXPECT_EQ(policies, (QList<ActivationPolicy>{ActivationPolicy::regular}));
    view->dockSwitch()->click();
    EXPECT_FALSE(defaults.defaults().boolValue(Keys::showsDockIcon));
    EXPECT_EQ(policies,
              (QList<ActivationPolicy>{ActivationPolicy::regular, ActivationPolicy::accessory}));

    // Without a callback the window system's policy is set.
    SettingsView direct(defaults.defaults(), [&] {
        SettingsView::Dependencies dependencies;
        dependencies.windowSystem = &windows;
        return dependencies;
    }());
    windows.setActivationPolicy(ActivationPolicy::accessory);
    direct.dockSwitch()->click();
    EXPECT_EQ(windows.activationPolicy(), ActivationPolicy::regular);
    EXPECT_TRUE(view->dockSwitch()->isChecked()) << "every open view follows the setting";
}

TEST_F(SettingsViewTest, TheLoginSwitchTurnsTheItemOnAndOff)
{
    QTemporaryDir home;
    const ScopedConfigHome scoped(home.path());
    SettingsView::Dependencies dependencies;
    dependencies.windowSystem = &windows;
    SettingsView view(defaults.defaults(), dependencies);
    view.loginSwitch()->click();
    EXPECT_TRUE(view.launchesAtLogin());
    EXPECT_TRUE(QFile::exists(home.filePath("autostart/org.orlette.Orlette.desktop")));
    EXPECT_EQ(view.launchError(), std::nullopt);
    view.loginSwitch()->click();
    EXPECT_FALSE(view.launchesAtLogin());
    EXPECT_FALSE(QFile::exists(home.filePath("autostart/org.orlette.Orlette.desktop")));

    // Built while the item is on, the switch starts on.
    ASSERT_EQ(LoginItem().change(true).errorMessage, std::nullopt);
    SettingsView again(defaults.defaults(), dependencies);
    EXPECT_TRUE(again.loginSwitch()->isChecked());
}

TEST_F(SettingsViewTest, ARefusedLoginItemShowsWhyAndTheSwitchGoesBack)
{
    // The configuration folder lies under a regular file: nothing can be written there.
    QTemporaryDir home;
    QFile blocker(home.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const ScopedConfigHome scoped(home.filePath("file/config"));
    SettingsView::Dependencies dependencies;
    dependencies.windowSystem = &windows;
    SettingsView view(defaults.defaults(), dependencies);
    view.show();

    view.loginSwitch()->click();
    EXPECT_FALSE(view.loginSwitch()->isChecked());
    EXPECT_FALSE(view.launchesAtLogin());
    ASSERT_TRUE(view.launchError().has_value());
    const QString text = *view.launchError();
    EXPECT_TRUE(text.startsWith("No se pudo cambiar: ")) << text.toStdString();
    EXPECT_TRUE(text.endsWith(". Suele pasar con una copia ejecutada fuera de la carpeta "
                              "Aplicaciones."))
        << text.toStdString();
    EXPECT_GT(text.size(), QString("No se pudo cambiar: . Suele pasar").size() + 60)
        << "the reason is in the text";
    EXPECT_TRUE(view.loginErrorLabel()->isVisibleTo(&view));
    EXPECT_EQ(view.loginErrorLabel()->text(), text);
    EXPECT_EQ(view.loginErrorLabel()->palette().color(QPalette::WindowText),
              SettingsForm::red(currentColorScheme()));
}

TEST_F(SettingsViewTest, OpeningAgainRereadsTheLoginItemAndForgetsTheLastError)
{
    QTemporaryDir home;
    QFile blocker(home.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    auto scoped = std::make_unique<ScopedConfigHome>(home.filePath("file/config"));
    SettingsView::Dependencies dependencies;
    dependencies.windowSystem = &windows;
    SettingsView view(defaults.defaults(), dependencies);
    view.show();
    view.loginSwitch()->click();
    ASSERT_TRUE(view.launchError().has_value());
    view.close();

    // Meanwhile the entry appears by other means (a session manager, another copy).
    scoped.reset();
    scoped = std::make_unique<ScopedConfigHome>(home.filePath("config"));
    ASSERT_EQ(LoginItem().change(true).errorMessage, std::nullopt);
    SettingsView::Dependencies fixed;
    fixed.windowSystem = &windows;
    SettingsView reopened(defaults.defaults(), fixed);
    ASSERT_TRUE(reopened.loginSwitch()->isChecked());
    ASSERT_EQ(LoginItem().change(false).errorMessage, std::nullopt);
    reopened.show();
    EXPECT_FALSE(reopened.loginSwitch()->isChecked()) << "read again when shown";
    EXPECT_FALSE(reopened.launchesAtLogin());

    view.show();
    EXPECT_EQ(view.launchError(), std::nullopt);
    EXPECT_FALSE(view.loginErrorLabel()->isVisibleTo(&view));
}

TEST_F(SettingsViewTest, TheTourButtonMarksTheTourSeenAndAsksForItsWindow)
{
    const auto view = makeView();
    QList<QVariant> requests;
    const Subscription subscription = NotificationCenter::standard().addObserver(
        Notifications::openWindow, [&](const QVariant &object) {
            requests << object;
            EXPECT_TRUE(defaults.defaults().boolValue(Keys::hasSeenTour))
                << "marked before the window opens";
        });
    view->tourButton()->click();
    EXPECT_EQ(requests, (QList<QVariant>{QStringLiteral("welcome")}));
    EXPECT_TRUE(defaults.defaults().boolValue(Keys::hasSeenTour));
}

TEST_F(SettingsViewTest, SyncRowsFollowTheHealth)
{
    FakeMirroring mirroring;
    SyncStatus sync(&mirroring);
    SettingsView::Dependencies dependencies;
    dependencies.sync = &sync;
    const QDateTime now = QDateTime::currentDateTime();
    dependencies.now = [now] { return now; };
    const auto view = makeView(dependencies);
    SyncSettingsSection *section = view->syncSection();
    auto label = [&](const char *name) {
        return section->findChild<QLabel *>(QString::fromLatin1(name));
    };
    const QStringList texts = textsOf(*section);
    auto rowShows = [&](const QString &text) {
        for (const QLabel *l : section->findChildren<QLabel *>()) {
            if (l->text() == text)
                return l->isVisibleTo(view.get());
        }
        return false;
    };
    auto dotColor = [&] { return section->findChild<StatusDot *>()->color(); };
    const ColorScheme scheme = currentColorScheme();

    // Starting: orange, both dates "—".
    EXPECT_EQ(label("syncHealth")->text(), "Conectando…");
    EXPECT_EQ(dotColor(), SettingsForm::orange(scheme));
    EXPECT_TRUE(rowShows("Última bajada:"));
    EXPECT_TRUE(rowShows("Última subida:"));
    EXPECT_FALSE(rowShows("Cuenta:"));
    EXPECT_FALSE(rowShows(SyncStatus::unavailableText));
    EXPECT_FALSE(shows(section->findChild<QPushButton *>(), view.get()))
        << "no reset without a failure or repeated notes";

    // A download five minutes ago: working, green.
    sync.recordEvent(SyncEvent::Type::importing, now.addSecs(-300), std::nullopt, std::nullopt);
    EXPECT_EQ(label("syncHealth")->text(), "Al día");
    EXPECT_EQ(dotColor(), SettingsForm::green(scheme));
    QStringList values;
    for (const QLabel *l : section->findChildren<QLabel *>())
        values << l->text();
    EXPECT_TRUE(values.contains("hace 5 minutos")) << values.join('|').toStdString();
    EXPECT_TRUE(values.contains("—"));

    // The account answers.
    sync.start();
    Q_EMIT mirroring.accountStatusReady(SyncMirroring::AccountStatus::available, std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return rowShows("Cuenta:"); }));
    EXPECT_TRUE(rowShows("Conectado"));

    // A failed upload: red, its message, the reset and the details.
    sync.recordEvent(SyncEvent::Type::exporting, now, 4, QStringLiteral("OrletteSync 4: caída"));
    EXPECT_EQ(label("syncHealth")->text(), "Detenida");
    EXPECT_EQ(dotColor(), SettingsForm::red(scheme));
    EXPECT_TRUE(label("syncBrokenMessage")->isVisibleTo(view.get()));
    EXPECT_EQ(label("syncBrokenMessage")->text(), "Sin conexión. Se reintentará solo.");
    QPushButton *reset = nullptr;
    QPushButton *copy = nullptr;
    for (QPushButton *button : section->findChildren<QPushButton *>()) {
        if (button->text() == "Reiniciar la sincronización…")
            reset = button;
        if (button->text() == "Copiar detalles")
            copy = button;
    }
    ASSERT_TRUE(reset && copy);
    EXPECT_FALSE(reset->isVisibleTo(view.get())) << "no reset cures a target out of reach";
    EXPECT_TRUE(copy->isVisibleTo(view.get()));
    QGuiApplication::clipboard()->setText("antes");
    copy->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "OrletteSync 4: caída");
    EXPECT_TRUE(ViewTest::saveArtifact(settledImage(view->content()), "settings-sync-broken"));

    // Working again: the failure and its buttons go.
    sync.recordEvent(SyncEvent::Type::exporting, now, std::nullopt, std::nullopt);
    EXPECT_FALSE(label("syncBrokenMessage")->isVisibleTo(view.get()));
    EXPECT_FALSE(reset->isVisibleTo(view.get()));
    EXPECT_TRUE(texts.contains(SyncStatus::syncNowCaption));
}

TEST_F(SettingsViewTest, WithoutASyncTargetTheSectionSaysNotAvailable)
{
    SyncStatus sync(nullptr);
    SettingsView::Dependencies dependencies;
    dependencies.sync = &sync;
    const auto view = makeView(dependencies);
    SyncSettingsSection *section = view->syncSection();
    EXPECT_EQ(section->findChild<QLabel *>("syncHealth")->text(), "No disponible");
    EXPECT_EQ(section->findChild<StatusDot *>()->color(), SettingsForm::secondaryColor());
    bool unavailableShown = false;
    for (const QLabel *label : section->findChildren<QLabel *>()) {
        if (label->text() == "Esta copia no está firmada con los permisos de iCloud. Las notas se "
                             "guardan solo en este Mac.")
            unavailableShown = label->isVisibleTo(view.get());
        if (label->text() == "Última bajada:" || label->text() == "Última subida:") {
            EXPECT_FALSE(label->isVisibleTo(view.get())) << label->text().toStdString();
        }
    }
    EXPECT_TRUE(unavailableShown);
    EXPECT_EQ(section->targetForm(), nullptr) << "no mirroring, no target to set";
}

TEST_F(SettingsViewTest, RepeatedNotesShowTheReportAndTheResetAsksFirst)
{
    auto container = makeMemoryContainer();
    ModelContext &context = *container->mainContext();
    const QUuid id = QUuid::createUuid();
    for (int i = 0; i < 3; ++i) {
        auto note = std::make_unique<Note>();
        note->setId(id);
        context.insert(std::move(note));
    }
    context.insert(std::make_unique<Note>());
    ASSERT_TRUE(context.save());

    FakeMirroring mirroring;
    SyncStatus sync(&mirroring);
    SettingsView::Dependencies dependencies;
    dependencies.sync = &sync;
    dependencies.container = container.get();
    const auto view = makeView(dependencies);
    SyncSettingsSection *section = view->syncSection();
    // The check runs once the section shows.
    ASSERT_TRUE(waitUntil([&] { return section->check().repeated == 1; }));
    EXPECT_EQ(section->check(), (StoreCheck::Report{4, 1, 2}));
    QStringList shown;
    for (const QLabel *label : section->findChildren<QLabel *>()) {
        if (label->isVisibleTo(view.get()))
            shown << label->text();
    }
    EXPECT_TRUE(shown.contains("Notas repetidas:"));
    EXPECT_TRUE(shown.contains("2 copias de más"));
    EXPECT_TRUE(shown.contains(
        "Este Mac tiene notas repetidas porque perdió la correspondencia con iCloud. Reiniciar "
        "la sincronización descarta la copia local y la vuelve a bajar entera; en iCloud no se "
        "toca nada."));

    QPushButton *reset = nullptr;
    for (QPushButton *button : section->findChildren<QPushButton *>()) {
        if (button->text() == "Reiniciar la sincronización…")
            reset = button;
        if (button->text() == "Copiar detalles") {
            EXPECT_FALSE(button->isVisibleTo(view.get())) << "no detail to copy";
        }
    }
    ASSERT_TRUE(reset && reset->isVisibleTo(view.get()));

    reset->click();
    ASSERT_TRUE(section->isConfirmingRepair());
    QMessageBox *dialog = section->repairDialog();
    EXPECT_EQ(dialog->text(), "¿Reiniciar la sincronización?");
    EXPECT_EQ(dialog->informativeText(),
              "Se descarta la copia local de las notas y se vuelve a bajar entera de iCloud. La "
              "app se cerrará y se abrirá sola.\n\nLa copia antigua se guarda con fecha por si "
              "hiciera falta. Aun así, una nota escrita en este Mac que no haya llegado a subir "
              "se perdería.");
    QStringList buttons;
    for (QAbstractButton *button : dialog->buttons())
        buttons << button->text();
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"Cancelar", "Reiniciar y reabrir"}));
    EXPECT_EQ(dialog->buttonRole(dialog->buttons().constFirst()) == QMessageBox::DestructiveRole ||
                  dialog->buttonRole(dialog->buttons().constLast()) == QMessageBox::DestructiveRole,
              true);
    EXPECT_EQ(dialog->defaultButton()->text(), "Cancelar") << "Return keeps the local copy";
    ViewTest::saveArtifact(settledImage(dialog), "settings-reset-dialog");

    QTest::keyClick(dialog, Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return !section->isConfirmingRepair(); }));
    EXPECT_EQ(resets, 0);

    reset->click();
    for (QAbstractButton *button : section->repairDialog()->buttons()) {
        if (button->text() == "Reiniciar y reabrir")
            button->click();
    }
    EXPECT_EQ(resets, 1);

    // A download that removed the copies hides the block again.
    const QList<Note *> notes = context.fetch(FetchDescriptor{}).value_or(QList<Note *>());
    int removed = 0;
    for (Note *note : notes) {
        if (note->id() == id && removed++ < 2)
            context.remove(note);
    }
    ASSERT_TRUE(context.save());
    sync.recordEvent(SyncEvent::Type::importing, QDateTime::currentDateTime(), std::nullopt,
                     std::nullopt);
    EXPECT_EQ(section->check().repeated, 0);
    EXPECT_FALSE(reset->isVisibleTo(view.get()));
}

TEST_F(SettingsViewTest, SyncNowWaitsForItsEndWithAProgressIndicator)
{
    FakeMirroring mirroring;
    SyncStatus sync(&mirroring);
    sync.setSyncNowDuration(std::chrono::milliseconds(60));
    auto container = makeMemoryContainer();
    SyncWatcher watcher(container.get());
    SettingsView::Dependencies dependencies;
    dependencies.sync = &sync;
    dependencies.watcher = &watcher;
    dependencies.container = container.get();
    const auto view = makeView(dependencies);
    QPushButton *button = nullptr;
    for (QPushButton *candidate : view->syncSection()->findChildren<QPushButton *>()) {
        if (candidate->text() == "Sincronizar ahora")
            button = candidate;
    }
    ASSERT_TRUE(button);
    QProgressBar *progress = view->syncSection()->findChild<QProgressBar *>();
    EXPECT_FALSE(progress->isVisibleTo(view.get()));

    // Unsaved changes go into the store first.
    container->mainContext()->insert(std::make_unique<Note>());
    ASSERT_TRUE(container->mainContext()->hasChanges());
    button->click();
    EXPECT_TRUE(sync.isSyncing());
    EXPECT_FALSE(container->mainContext()->hasChanges());
    EXPECT_FALSE(button->isEnabled());
    EXPECT_TRUE(progress->isVisibleTo(view.get()));
    ASSERT_TRUE(waitUntil([&] { return button->isEnabled(); }));
    EXPECT_FALSE(progress->isVisibleTo(view.get()));
    EXPECT_FALSE(sync.isSyncing());
}

TEST_F(SettingsViewTest, NotesKeptOnlyInMemoryAreSaidInTheSyncSection)
{
    SettingsView::Dependencies dependencies;
    dependencies.storeWarning = QStringLiteral("el archivo no es una base de datos.");
    const auto view = makeView(dependencies);
    const QLabel *warning = view->syncSection()->findChild<QLabel *>("storeWarning");
    ASSERT_TRUE(warning);
    EXPECT_TRUE(warning->isVisibleTo(view.get()));
    EXPECT_EQ(warning->text(), "Las notas no se están guardando en disco: el archivo no es una "
                               "base de datos. Lo que escribas ahora se perderá al cerrar "
                               "Orlette; el archivo de notas que hubiera no se ha tocado.");
    EXPECT_EQ(warning->palette().color(QPalette::WindowText),
              SettingsForm::red(currentColorScheme()));

    const auto healthy = makeView();
    EXPECT_FALSE(
        healthy->syncSection()->findChild<QLabel *>("storeWarning")->isVisibleTo(healthy.get()));
}

TEST_F(SettingsViewTest, UpdatesAreReadFromAndWrittenToTheUpdater)
{
    UpdateController::Options options;
    options.defaults = &defaults.defaults();
    options.builtInFeedURL = QString();
    options.publicKey = QByteArray(32, 'k').toBase64();
    UpdateController updater(options);
    SettingsView::Dependencies dependencies;
    dependencies.updater = &updater;
    dependencies.version = QStringLiteral(" 1.04.0 ");
    const QDateTime now = QDateTime::currentDateTime();
    dependencies.now = [now] { return now; };
    const auto view = makeView(dependencies);

    EXPECT_EQ(view->versionLabel()->text(), "1.4.0");
    EXPECT_EQ(view->automaticUpdatesSwitch()->isChecked(), updater.automaticallyChecksForUpdates());
    const bool before = updater.automaticallyChecksForUpdates();
    view->automaticUpdatesSwitch()->click();
    EXPECT_EQ(updater.automaticallyChecksForUpdates(), !before);
    updater.setAutomaticallyChecksForUpdates(before);
    EXPECT_EQ(view->automaticUpdatesSwitch()->isChecked(), before);

    EXPECT_EQ(view->lastCheckLabel()->text(), "—");
    defaults.defaults().setValue(UpdateController::Keys::lastUpdateCheckDate,
                                 now.addSecs(-20).toUTC().toString(Qt::ISODateWithMs));
    ASSERT_TRUE(waitUntil([&] { return view->lastCheckLabel()->text() == "hace un momento"; }));
    defaults.defaults().setValue(UpdateController::Keys::lastUpdateCheckDate,
                                 now.addDays(-2).toUTC().toString(Qt::ISODateWithMs));
    ASSERT_TRUE(waitUntil([&] { return view->lastCheckLabel()->text() == "anteayer"; }))
        << view->lastCheckLabel()->text().toStdString();

    // No feed: nothing to check. A feed (that refuses the connection) makes the button ask.
    EXPECT_FALSE(view->checkNowButton()->isEnabled());
    defaults.defaults().setValue(UpdateController::Keys::updateFeedURL,
                                 "http://127.0.0.1:9/appcast.xml");
    ASSERT_TRUE(waitUntil([&] { return view->checkNowButton()->isEnabled(); }));
    view->checkNowButton()->click();
    EXPECT_TRUE(updater.isChecking());
    EXPECT_FALSE(view->checkNowButton()->isEnabled()) << "disabled while a check runs";
    ASSERT_TRUE(waitUntil([&] { return !updater.isChecking(); }, 10000));
    EXPECT_TRUE(view->checkNowButton()->isEnabled());
}

TEST_F(SettingsViewTest, APackagedProgramSaysThePackageManagerUpdatesIt)
{
    QTemporaryDir database;
    QFile list(database.filePath(QStringLiteral("orlette.list")));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("/.\n/usr\n/usr/bin\n/usr/bin/orlette\n");
    list.close();
    UpdateController::Options options;
    options.defaults = &defaults.defaults();
    options.publicKey = QByteArray(32, 'k').toBase64();
    options.executable = QStringLiteral("/usr/bin/orlette");
    options.packageDatabase = database.path();
    defaults.defaults().setValue(UpdateController::Keys::updateFeedURL,
                                 "http://127.0.0.1:9/appcast.xml");
    UpdateController updater(options);
    SettingsView::Dependencies dependencies;
    dependencies.updater = &updater;
    const auto view = makeView(dependencies);

    ASSERT_NE(view->packageManagerNote(), nullptr);
    EXPECT_EQ(view->packageManagerNote()->text(),
              "Orlette se instaló con el gestor de paquetes del sistema (paquete «orlette») y "
              "se actualiza con él.");
    EXPECT_FALSE(view->checkNowButton()->isEnabled());
    EXPECT_FALSE(view->automaticUpdatesSwitch()->isEnabled());

    options.executable = QStringLiteral("/home/ana/.local/bin/orlette");
    UpdateController ownCopy(options);
    dependencies.updater = &ownCopy;
    const auto own = makeView(dependencies);
    EXPECT_EQ(own->packageManagerNote(), nullptr);
    EXPECT_TRUE(own->checkNowButton()->isEnabled());
}

TEST(SettingsViewVersion, IntegerComponentsJoinedByFullStops)
{
    EXPECT_EQ(SettingsView::versionText(" 1.02.3 "), "1.2.3");
    EXPECT_EQ(SettingsView::versionText("2"), "2");
    EXPECT_EQ(SettingsView::versionText(""), "0");
    EXPECT_EQ(SettingsView::versionText("beta"), "0");
    EXPECT_EQ(SettingsView::versionText("2.x.1"), "2.1");
    EXPECT_EQ(SettingsView::versionText("1..5"), "1.5");
    EXPECT_EQ(SettingsView::versionText("99999999999999999999999.1"), "1");
}

TEST_F(SettingsViewTest, TheSyncTargetFormChecksAndSavesTheTarget)
{
    auto container = makeMemoryContainer();
    MemoryCredentials credentials;
    QTemporaryDir data;
    SyncEngine::Options engineOptions;
    engineOptions.dataDirectory = data.path();
    SyncEngine engine(container.get(), defaults.defaults(), &credentials, engineOptions);
    SyncStatus sync(&engine);
    QTemporaryDir shared;
    SettingsView::Dependencies dependencies;
    dependencies.sync = &sync;
    dependencies.syncEngine = &engine;
    dependencies.dataDirectory = data.path();
    dependencies.chooseSyncFolder = [&](const QString &) {
        return std::optional<QString>(shared.path());
    };
    const auto view = makeView(dependencies);
    SyncTargetForm *form = view->syncSection()->targetForm();
    ASSERT_TRUE(form);
    EXPECT_EQ(form->kindPicker()->currentText(), "Ninguno");
    EXPECT_FALSE(form->saveButton()->isEnabled()) << "nothing changed";
    EXPECT_FALSE(form->folderField()->isVisibleTo(view.get()));

    // A folder inside the live data is refused; nothing is written.
    choose(form->kindPicker(), 1);
    EXPECT_TRUE(form->folderField()->isVisibleTo(view.get()));
    form->folderField()->setText(data.filePath("dentro"));
    EXPECT_FALSE(form->save());
    EXPECT_EQ(form->errorText(), "La carpeta de sincronización no puede contener ni estar dentro "
                                 "de la carpeta de datos de Orlette.");
    EXPECT_FALSE(defaults.defaults().contains(SyncTarget::kindKey));

    // "Elegir…" fills the field; saving writes the target and the mirroring takes it.
    for (QPushButton *button : form->findChildren<QPushButton *>()) {
        if (button->text() == "Elegir…")
            button->click();
    }
    EXPECT_EQ(form->folderField()->text(), shared.path());
    form->saveButton()->click();
    EXPECT_EQ(form->errorText(), "");
    EXPECT_EQ(SyncTarget::fromDefaults(defaults.defaults()), SyncTarget::inFolder(shared.path()));
    EXPECT_TRUE(engine.isConfigured());
    EXPECT_NE(sync.health().kind(), SyncStatus::Health::Kind::unavailable);
    EXPECT_FALSE(form->saveButton()->isEnabled());

    // A WebDAV server: a bad address is refused, a good one saved with its password kept in
    // the secret store, never in the settings.
    choose(form->kindPicker(), 2);
    EXPECT_TRUE(form->passwordField()->isVisibleTo(view.get()));
    form->addressField()->setText("ftp://nube.example/");
    EXPECT_FALSE(form->save());
    EXPECT_EQ(form->errorText(), "La dirección WebDAV no es válida.");
    form->addressField()->setText("https://nube.example/remote.php/dav/files/ana");
    form->userField()->setText("ana");
    form->passwordField()->setText("secreta");
    EXPECT_TRUE(form->save());
    const SyncTarget saved = SyncTarget::fromDefaults(defaults.defaults());
    EXPECT_EQ(saved.kind, SyncTarget::Kind::webDav);
    EXPECT_EQ(saved.webDavUser, "ana");
    EXPECT_EQ(credentials.passwords.value(saved.credentialAccount()), "secreta");
    EXPECT_TRUE(form->passwordField()->text().isEmpty());
    QFile file(defaults.path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains("secreta"));

    // No target at all: the keys go, and the status says so.
    choose(form->kindPicker(), 0);
    EXPECT_TRUE(form->save());
    EXPECT_FALSE(defaults.defaults().contains(SyncTarget::kindKey));
    EXPECT_EQ(sync.health().kind(), SyncStatus::Health::Kind::unavailable);
}

TEST_F(SettingsViewTest, APlainHttpServerElsewhereNeedsADeliberateChoiceAndIsSentNoPassword)
{
    auto container = makeMemoryContainer();
    MemoryCredentials credentials;
    QTemporaryDir data;
    SyncEngine::Options engineOptions;
    engineOptions.dataDirectory = data.path();
    SyncEngine engine(container.get(), defaults.defaults(), &credentials, engineOptions);
    SyncStatus sync(&engine);
    SettingsView::Dependencies dependencies;
    dependencies.sync = &sync;
    dependencies.syncEngine = &engine;
    dependencies.dataDirectory = data.path();
    const auto view = makeView(dependencies);
    SyncTargetForm *form = view->syncSection()->targetForm();
    ASSERT_TRUE(form);
    choose(form->kindPicker(), 2);
    form->userField()->setText("ana");
    form->passwordField()->setText("secreta");

    // Refused with the reason until the person says it is on purpose.
    form->addressField()->setText("http://nube.example/remote.php/dav/");
    EXPECT_TRUE(form->inClearChoice()->isVisibleTo(view.get()));
    EXPECT_FALSE(form->inClearChoice()->isChecked());
    EXPECT_FALSE(form->passwordField()->isVisibleTo(view.get())) << "no password goes in clear";
    EXPECT_FALSE(form->save());
    EXPECT_EQ(form->errorText(), SyncTarget::inClearRefusal);
    EXPECT_FALSE(defaults.defaults().contains(SyncTarget::kindKey));

    form->inClearChoice()->setChecked(true);
    EXPECT_EQ(form->errorText(), "") << "the refusal is about what was chosen then";
    EXPECT_TRUE(form->save());
    const SyncTarget saved = SyncTarget::fromDefaults(defaults.defaults());
    EXPECT_EQ(saved.kind, SyncTarget::Kind::webDav);
    EXPECT_TRUE(saved.webDavInClearAccepted);
    EXPECT_EQ(saved.webDavUser, "");
    EXPECT_TRUE(credentials.passwords.isEmpty());

    // An address typed without its scheme is taken as https://.
    form->addressField()->setText("nube.example/remote.php/dav/");
    EXPECT_FALSE(form->inClearChoice()->isVisibleTo(view.get()));
    EXPECT_EQ(form->editedTarget().webDavUrl.scheme(), "https");
    EXPECT_TRUE(form->passwordField()->isVisibleTo(view.get()));

    // This computer's own server over http:// needs no choice.
    form->addressField()->setText("http://127.0.0.1:8080/dav/");
    EXPECT_FALSE(form->inClearChoice()->isVisibleTo(view.get()));
    EXPECT_TRUE(
        SyncTarget::onWebDav(QUrl("http://127.0.0.1:8080/dav/"), "ana").validate(data.path()));
}

TEST_F(SettingsViewTest, TheQuickNoteKeyShowsItsStateAndAddsTheDesktopsShortcutOnlyOnConsent)
{
    EXPECT_EQ(makeView()->hotKeyLabel(), nullptr) << "no row without a state to show";

    // A desktop whose shortcut is added on consent, and whose first attempt fails.
    int accepted = 0;
    bool added = false;
    std::optional<QString> failure = QStringLiteral("dconf no responde");
    SettingsView::Dependencies dependencies;
    dependencies.hotKeyStatus = [&] {
        SettingsView::HotKeyStatus status;
        if (added) {
            status.text = QStringLiteral("Súper+Alt+N crea una nota nueva.");
            return status;
        }
        status.text = QStringLiteral("Se puede añadir.");
        status.offerLabel = QStringLiteral("Añadir el atajo a GNOME");
        status.accept = [&]() -> std::optional<QString> {
            ++accepted;
            if (failure)
                return std::exchange(failure, std::nullopt);
            added = true;
            return std::nullopt;
        };
        return status;
    };
    const auto view = makeView(std::move(dependencies));
    ASSERT_NE(view->hotKeyLabel(), nullptr);
    EXPECT_EQ(view->hotKeyLabel()->text(), QStringLiteral("Se puede añadir."));
    ASSERT_TRUE(view->hotKeyOfferButton()->isVisibleTo(view.get()));
    EXPECT_EQ(accepted, 0) << "nothing is added before the person asks";

    view->hotKeyOfferButton()->click();
    EXPECT_EQ(accepted, 1);
    EXPECT_EQ(view->hotKeyLabel()->text(),
              QStringLiteral("No se pudo añadir el atajo: dconf no responde."));
    EXPECT_TRUE(view->hotKeyOfferButton()->isVisibleTo(view.get())) << "it can be tried again";

    view->hotKeyOfferButton()->click();
    EXPECT_EQ(view->hotKeyLabel()->text(), QStringLiteral("Súper+Alt+N crea una nota nueva."));
    EXPECT_FALSE(view->hotKeyOfferButton()->isVisibleTo(view.get()));
}
