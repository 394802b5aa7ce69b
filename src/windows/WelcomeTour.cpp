// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/WelcomeTour.h"

#include "model/AppSettings.h"
#include "model/UserDefaults.h"
#include "rail/FrameClock.h"
#include "rail/SpringAnimator.h"
#include "surfaces/NoteChromeFonts.h"
#include "windows/TourDots.h"
#include "windows/TourIllustrationView.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Every change of page moves text and drawing together on this spring.
constexpr Spring pageSpring{0.3, 0.8};

QLabel *textLabel(const QFont &font, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setFont(font);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeading | Qt::AlignTop);
    return label;
}

} // namespace

const QList<TourPage> &WelcomeTour::pages()
{
    static const QList<TourPage> table = {
        {QStringLiteral("Tus notas viven en el borde"),
         QStringLiteral("Asoman por el lado de la pantalla, como las pestañas de un archivador. "
                        "Acerca el ratón y se despliegan; apártalo y se recogen solas.\n\nNo "
                        "estorban: el resto del escritorio se usa con normalidad."),
         TourRail(true, false)},
        {QStringLiteral("Un clic y se abre"),
         QStringLiteral("La nota sale del borde y ya puedes escribir en ella. No hay que guardar "
                        "nada.\n\nHaz clic en cualquier otro sitio y se recoge."),
         TourRail(true, true)},
        {QStringLiteral("Crear, ordenar, cambiar de lado"),
         QStringLiteral("El botón + crea una nota nueva, y aparece al acercar el ratón junto a "
                        "las demás.\n\nArrastra una pestaña para cambiarla de sitio. Con el botón "
                        "derecho eliges color, la mandas al otro borde o a la papelera."),
         TourRail(true, false)},
        {QStringLiteral("Vive en la barra de menús"),
         QStringLiteral("No ocupa sitio en el Dock. Desde el icono de arriba creas notas, abres "
                        "la biblioteca y llegas a los ajustes.\n\nY ⌥⌘N crea una nota desde "
                        "cualquier aplicación, sin cambiar de ventana."),
         TourMenuBar()},
        {QStringLiteral("En todos tus Macs"),
         QStringLiteral("Las notas se sincronizan por iCloud. Instala Orlette en otro Mac con la "
                        "misma cuenta y las tendrás allí en segundos.\n\nEn Ajustes puedes ver si "
                        "va al día."),
         TourCloud()},
    };
    return table;
}

WelcomeTour::WelcomeTour(std::function<void()> onFinish, QWidget *parent, AnimationClock *clock)
    : QWidget(parent), m_onFinish(std::move(onFinish)),
      m_clock(clock ? clock : new FrameClock(this)), m_animator(new SpringAnimator(m_clock, this))
{
    m_textPane = new QWidget(this);
    m_textPane->setFixedWidth(textPaneWidth);
    auto *textLayout = new QVBoxLayout(m_textPane);
    textLayout->setContentsMargins(padding, padding, padding, padding);
    textLayout->setSpacing(0);

    // The words of the page fade in together as the drawing moves.
    m_text = new QWidget(m_textPane);
    auto *wordsLayout = new QVBoxLayout(m_text);
    wordsLayout->setContentsMargins(0, 0, 0, 0);
    wordsLayout->setSpacing(0);
    auto *name = textLabel(NoteChromeFonts::systemFont(12, QFont::Medium), m_text);
    name->setText(QStringLiteral("Orlette"));
    QPalette secondary = name->palette();
    QColor faded = secondary.color(QPalette::WindowText);
    faded.setAlphaF(0.55f);
    secondary.setColor(QPalette::WindowText, faded);
    name->setPalette(secondary);
    m_title = textLabel(NoteChromeFonts::systemFont(25, QFont::Bold), m_text);
    m_body = textLabel(NoteChromeFonts::systemFont(13, QFont::Normal), m_text);
    wordsLayout->addWidget(name);
    wordsLayout->addSpacing(8);
    wordsLayout->addWidget(m_title);
    wordsLayout->addSpacing(14);
    wordsLayout->addWidget(m_body);
    // Room a shorter page leaves goes below its words, not between them.
    wordsLayout->addStretch(1);
    m_textFade = new QGraphicsOpacityEffect(m_text);
    m_textFade->setEnabled(false);
    m_text->setGraphicsEffect(m_textFade);
    textLayout->addWidget(m_text);
    textLayout->addStretch(1);

    m_dots = new TourDots(int(pages().size()), m_textPane);
    textLayout->addWidget(m_dots);
    textLayout->addSpacing(18);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    m_back = new QPushButton(QStringLiteral("Atrás"), m_textPane);
    m_back->setFlat(true);
    m_back->setCursor(Qt::PointingHandCursor);
    // A link, not a button: no bezel, the link colour.
    QPalette link = m_back->palette();
    link.setColor(QPalette::ButtonText, link.color(QPalette::Link));
    m_back->setPalette(link);
    m_back->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 4px 0; }"));
    m_main = new QPushButton(m_textPane);
    m_main->setDefault(true);
    m_main->setMinimumWidth(96);
    buttons->addWidget(m_back);
    buttons->addStretch(1);
    buttons->addWidget(m_main);
    textLayout->addLayout(buttons);

    m_illustration = new TourIllustrationView(pages().first().illustration, this);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_textPane, 0, Qt::AlignTop);
    layout->addWidget(m_illustration);

    connect(m_back, &QPushButton::clicked, this, &WelcomeTour::goBack);
    connect(m_main, &QPushButton::clicked, this, &WelcomeTour::advance);
    m_animator->setSpring(pageSpring);
    m_animator->setValue(1.0);
    connect(m_animator, &SpringAnimator::valueChanged, this, &WelcomeTour::animationMoved);
    connect(m_animator, &SpringAnimator::finished, this, &WelcomeTour::finishAnimation);

    m_textPane->setFixedHeight(tallestTextPane());
    showPage();
    setFocusProxy(m_main);
}

WelcomeTour::~WelcomeTour() = default;

int WelcomeTour::tallestTextPane() const
{
    int tallest = 0;
    const QString title = m_title->text();
    const QString body = m_body->text();
    for (const TourPage &page : pages()) {
        m_title->setText(page.title);
        m_body->setText(page.body);
        tallest = std::max(tallest, m_textPane->layout()->totalHeightForWidth(textPaneWidth));
    }
    m_title->setText(title);
    m_body->setText(body);
    return std::max(tallest, 380);
}

void WelcomeTour::setStep(int step)
{
    const int clamped = std::clamp(step, 0, int(pages().size()) - 1);
    if (clamped == m_step)
        return;
    m_step = clamped;
    showPage();
    m_illustration->beginTransition(pages().at(m_step).illustration);
    m_textFade->setEnabled(true);
    m_animator->setValue(0.0);
    m_animator->animateTo(1.0);
    Q_EMIT stepChanged(m_step);
}

void WelcomeTour::goBack()
{
    if (m_step > 0)
        setStep(m_step - 1);
}

void WelcomeTour::advance()
{
    if (m_step < pages().size() - 1) {
        setStep(m_step + 1);
        return;
    }
    if (m_onFinish)
        m_onFinish();
}

void WelcomeTour::showPage()
{
    const TourPage &page = pages().at(m_step);
    m_title->setText(page.title);
    m_body->setText(page.body);
    m_dots->setCurrent(m_step);
    m_back->setVisible(m_step > 0);
    const bool last = m_step == pages().size() - 1;
    m_main->setText(last ? QStringLiteral("Empezar") : QStringLiteral("Siguiente"));
}

void WelcomeTour::animationMoved()
{
    const double progress = m_animator->value();
    m_illustration->setProgress(progress);
    m_textFade->setOpacity(std::clamp(progress, 0.0, 1.0));
}

bool WelcomeTour::isAnimating() const
{
    return m_animator->isAnimating();
}

void WelcomeTour::finishAnimation()
{
    m_animator->setValue(1.0);
    m_illustration->finishTransition();
    m_textFade->setOpacity(1);
    m_textFade->setEnabled(false);
}

void WelcomeTour::keyPressEvent(QKeyEvent *event)
{
    // The main button is the default action, whichever control has the focus.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_main->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

// --- WelcomeTourWindow ---

WelcomeTourWindow::WelcomeTourWindow(UserDefaults &defaults, QWidget *parent, AnimationClock *clock)
    : QWidget(parent), m_defaults(defaults)
{
    setWindowTitle(QStringLiteral("Bienvenida"));
    setObjectName(QStringLiteral("welcome"));
    m_tour = new WelcomeTour(
        [this] {
            m_defaults.setValue(AppSettings::Keys::hasSeenTour, true);
            close();
        },
        this, clock);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tour);
    // Sized to its content.
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

WelcomeTourWindow::~WelcomeTourWindow() = default;

void WelcomeTourWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    // Every opening starts at the first page.
    m_tour->setStep(0);
    m_tour->finishAnimation();
    centreOnScreen();
    m_tour->mainButton()->setFocus();
}

void WelcomeTourWindow::keyPressEvent(QKeyEvent *event)
{
    // Return is the tour's default action even when no control of it has the focus.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_tour->mainButton()->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void WelcomeTourWindow::centreOnScreen()
{
    const QScreen *target = screen();
    if (!target)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(target->availableGeometry().center());
    move(frame.topLeft());
}
