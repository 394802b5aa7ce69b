// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/SettingsView.h"

#include "model/AppSettings.h"
#include "model/UserDefaults.h"
#include "platform/NotificationCenter.h"
#include "surfaces/NoteChromeFonts.h"
#include "surfaces/NoteFont.h"
#include "surfaces/NoteFontStyle.h"
#include "updates/UpdateController.h"
#include "windows/FontSampleView.h"
#include "windows/ScrollWheelGuard.h"
#include "windows/SettingsForm.h"
#include "windows/SyncSettingsSection.h"

#include <QAbstractSlider>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace {

using namespace AppSettings;

// Screens when the program has no window system to ask: none at all.
class NoScreens : public ScreenSource
{
public:
    QList<ScreenInfo> screens() const override { return {}; }
    std::optional<ScreenInfo> mainScreen() const override { return std::nullopt; }
    QPointF pointerLocation() const override { return {}; }
};

constexpr int formMargin = 20;
constexpr int sectionSpacing = 18;
// Room the window leaves free above and below on the screen.
constexpr int screenReserve = 80;
// The relative date of the last update check is reworded this often.
constexpr int clockInterval = 30000;

// Selects the entry tagged `tag`, or nothing when no entry has it.
void selectTag(QComboBox *picker, const QString &tag)
{
    const QSignalBlocker blocker(picker);
    picker->setCurrentIndex(picker->findData(tag));
}

QLabel *sizeLetter(double points, QWidget *parent)
{
    auto *letter = new QLabel(QStringLiteral("A"), parent);
    letter->setFont(NoteChromeFonts::systemFont(points, QFont::Normal));
    return letter;
}

} // namespace

SettingsView::SettingsView(UserDefaults &defaults, Dependencies dependencies, QWidget *parent)
    : QWidget(parent), m_defaults(defaults), m_deps(std::move(dependencies)),
      m_windowSystem(m_deps.windowSystem), m_updater(m_deps.updater),
      m_launchesAtLogin(m_deps.loginItem.isEnabled()), m_screensToken(QUuid::createUuid())
{
    setWindowTitle(QStringLiteral("Ajustes"));
    setObjectName(QStringLiteral("settings"));
    setFixedWidth(SettingsForm::formWidth);

    m_content = new QWidget;
    auto *form = new QVBoxLayout(m_content);
    form->setContentsMargins(formMargin, formMargin, formMargin, formMargin);
    form->setSpacing(sectionSpacing);

    SyncSettingsSection::Dependencies sync;
    sync.sync = m_deps.sync;
    sync.watcher = m_deps.watcher;
    sync.container = m_deps.container;
    sync.engine = m_deps.syncEngine;
    sync.storeWarning = m_deps.storeWarning;
    sync.dataDirectory = m_deps.dataDirectory;
    sync.requestReset = m_deps.requestReset;
    sync.chooseFolder = m_deps.chooseSyncFolder;
    sync.now = m_deps.now;
    m_syncSection = new SyncSettingsSection(m_defaults, std::move(sync));

    m_sections = {makeNotesSection(), makeRailSection(), makeApplicationSection(), m_syncSection,
                  makeUpdatesSection()};
    for (SettingsSection *section : std::as_const(m_sections))
        form->addWidget(section);
    form->addStretch(1);

    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setWidget(m_content);
    auto *wheelGuard = new ScrollWheelGuard(m_scroll);
    for (QComboBox *picker : m_content->findChildren<QComboBox *>())
        wheelGuard->guard(picker);
    for (QAbstractSlider *slider : m_content->findChildren<QAbstractSlider *>())
        wheelGuard->guard(slider);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_scroll);
    // Rows that come and go change the height the window wants.
    m_content->installEventFilter(this);

    connect(&m_defaults, &UserDefaults::didChange, this, &SettingsView::readDefaults);
    if (m_windowSystem) {
        connect(m_windowSystem, &WindowSystem::screenParametersChanged, this, [this] {
            m_screensToken = QUuid::createUuid();
            rebuildScreenPicker();
        });
    }
    if (m_updater) {
        connect(m_updater, &UpdateController::automaticallyChecksForUpdatesChanged, this,
                &SettingsView::refreshUpdates);
        connect(m_updater, &UpdateController::lastUpdateCheckDateChanged, this,
                &SettingsView::refreshUpdates);
        connect(m_updater, &UpdateController::canCheckForUpdatesChanged, this,
                &SettingsView::refreshUpdates);
    }
    m_clockTimer = new QTimer(this);
    m_clockTimer->setInterval(clockInterval);
    connect(m_clockTimer, &QTimer::timeout, this, &SettingsView::refreshUpdates);
    m_clockTimer->start();

    rebuildScreenPicker();
    readDefaults();
    refreshUpdates();
}

SettingsView::~SettingsView() = default;

QDateTime SettingsView::now() const
{
    return m_deps.now ? m_deps.now() : QDateTime::currentDateTime();
}

QString SettingsView::versionText(const QString &raw)
{
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    QStringList components;
    for (const QString &part : raw.trimmed().split(u'.')) {
        bool ok = false;
        const qlonglong value = integer.match(part).hasMatch() ? part.toLongLong(&ok) : 0;
        // A part that is not a number is left out, as is one too large to read.
        if (ok)
            components << QString::number(value);
    }
    return components.isEmpty() ? QStringLiteral("0") : components.join(u'.');
}

// --- Sections ---

SettingsSection *SettingsView::makeNotesSection()
{
    auto *section = new SettingsSection(QStringLiteral("Notas"));

    m_fontPicker = new QComboBox;
    m_fontPicker->setObjectName(QStringLiteral("noteFontPicker"));
    for (NoteFont font : NoteFonts::allCases())
        m_fontPicker->addItem(NoteFonts::displayName(font), NoteFonts::token(font));
    section->addLabeledRow(QStringLiteral("Escritura:"), m_fontPicker);
    connect(m_fontPicker, &QComboBox::activated, this, [this](int index) {
        m_defaults.setValue(Keys::noteFont, m_fontPicker->itemData(index).toString());
    });

    auto *sizeControl = new QWidget;
    auto *sizeLayout = new QHBoxLayout(sizeControl);
    sizeLayout->setContentsMargins(0, 0, 0, 0);
    sizeLayout->setSpacing(8);
    m_fontSize = new QSlider(Qt::Horizontal, sizeControl);
    m_fontSize->setObjectName(QStringLiteral("noteFontSizeSlider"));
    m_fontSize->setAccessibleName(QStringLiteral("Tamaño del texto"));
    m_fontSize->setRange(minimumFontSize, maximumFontSize);
    m_fontSize->setSingleStep(1);
    m_fontSize->setPageStep(1);
    m_fontSize->setMinimumWidth(180);
    sizeLayout->addWidget(sizeLetter(10, sizeControl), 0, Qt::AlignVCenter);
    sizeLayout->addWidget(m_fontSize, 1);
    sizeLayout->addWidget(sizeLetter(16, sizeControl), 0, Qt::AlignVCenter);
    section->addLabeledRow(QStringLiteral("Tamaño del texto"), sizeControl);
    connect(m_fontSize, &QSlider::valueChanged, this,
            [this](int value) { m_defaults.setValue(Keys::noteFontSize, double(value)); });

    m_sample = new FontSampleView;
    section->addRow(m_sample);
    return section;
}

SettingsSection *SettingsView::makeRailSection()
{
    auto *section = new SettingsSection(QStringLiteral("Notas ancladas"));

    m_edgePicker = new QComboBox;
    m_edgePicker->setObjectName(QStringLiteral("edgePicker"));
    m_edgePicker->addItem(QStringLiteral("Derecho"), QStringLiteral("right"));
    m_edgePicker->addItem(QStringLiteral("Izquierdo"), QStringLiteral("left"));
    section->addLabeledRow(QStringLiteral("Borde:"), m_edgePicker);
    section->addCaption(edgeCaption);
    connect(m_edgePicker, &QComboBox::activated, this, [this](int index) {
        m_defaults.setValue(Keys::defaultEdge, m_edgePicker->itemData(index).toString());
    });

    m_screenPicker = new QComboBox;
    m_screenPicker->setObjectName(QStringLiteral("screenPicker"));
    m_screenPicker->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    section->addLabeledRow(QStringLiteral("Anclar a:"), m_screenPicker);
    m_screenCaption = section->addCaption(fixedScreenCaption);
    connect(m_screenPicker, &QComboBox::activated, this, [this](int index) {
        m_defaults.setValue(Keys::railScreen, m_screenPicker->itemData(index).toString());
    });
    return section;
}

SettingsSection *SettingsView::makeApplicationSection()
{
    auto *section = new SettingsSection(QStringLiteral("Aplicación"));

    m_loginSwitch = new SettingsSwitch(QStringLiteral("Abrir al iniciar sesión"));
    m_loginSwitch->setObjectName(QStringLiteral("launchesAtLogin"));
    m_loginSwitch->setChecked(m_launchesAtLogin);
    section->addRow(m_loginSwitch);
    m_loginError = section->addCaption({}, SettingsForm::Tone::warning);
    m_loginError->setObjectName(QStringLiteral("launchError"));
    m_loginError->hide();
    connect(m_loginSwitch, &SettingsSwitch::toggled, this, &SettingsView::changeLoginItem);

    m_dockSwitch = new SettingsSwitch(QStringLiteral("Mostrar el icono en el Dock"));
    m_dockSwitch->setObjectName(QStringLiteral("showsDockIcon"));
    section->addRow(m_dockSwitch);
    connect(m_dockSwitch, &SettingsSwitch::toggled, this,
            [this](bool on) { m_defaults.setValue(Keys::showsDockIcon, on); });

    auto *tourRow = new QWidget;
    auto *tourLayout = new QHBoxLayout(tourRow);
    tourLayout->setContentsMargins(0, 0, 0, 0);
    m_tourButton = new QPushButton(QStringLiteral("Ver el recorrido de bienvenida…"), tourRow);
    tourLayout->addWidget(m_tourButton);
    tourLayout->addStretch(1);
    section->addRow(tourRow);
    section->addCaption(dockCaption);

    if (m_deps.hotKeyStatus) {
        section->addRow(new QLabel(QStringLiteral("Atajo de nota rápida")));
        m_hotKeyLabel = section->addCaption({});
        m_hotKeyLabel->setObjectName(QStringLiteral("hotKeyStatus"));
        auto *offerRow = new QWidget;
        auto *offerLayout = new QHBoxLayout(offerRow);
        offerLayout->setContentsMargins(0, 0, 0, 0);
        m_hotKeyOffer = new QPushButton(offerRow);
        m_hotKeyOffer->setObjectName(QStringLiteral("hotKeyOffer"));
        offerLayout->addWidget(m_hotKeyOffer);
        offerLayout->addStretch(1);
        section->addAttachment(offerRow);
        connect(m_hotKeyOffer, &QPushButton::clicked, this, &SettingsView::acceptHotKeyOffer);
        showHotKeyStatus();
    }
    connect(m_tourButton, &QPushButton::clicked, this, &SettingsView::showTour);
    return section;
}

SettingsSection *SettingsView::makeUpdatesSection()
{
    auto *section = new SettingsSection(QStringLiteral("Actualizaciones"));

    m_version = new QLabel(versionText(m_deps.version));
    m_version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    section->addLabeledRow(QStringLiteral("Versión:"), m_version);

    m_automaticUpdates =
        new SettingsSwitch(QStringLiteral("Buscar actualizaciones automáticamente"));
    m_automaticUpdates->setObjectName(QStringLiteral("automaticallyChecksForUpdates"));
    section->addRow(m_automaticUpdates);
    connect(m_automaticUpdates, &SettingsSwitch::toggled, this, [this](bool on) {
        if (m_updater)
            m_updater->setAutomaticallyChecksForUpdates(on);
        refreshUpdates();
    });

    m_lastCheck = new QLabel;
    section->addLabeledRow(QStringLiteral("Última comprobación:"), m_lastCheck);

    auto *checkRow = new QWidget;
    auto *checkLayout = new QHBoxLayout(checkRow);
    checkLayout->setContentsMargins(0, 0, 0, 0);
    m_checkNow = new QPushButton(QStringLiteral("Buscar ahora"), checkRow);
    checkLayout->addWidget(m_checkNow);
    checkLayout->addStretch(1);
    section->addRow(checkRow);
    section->addCaption(updatesCaption);
    if (m_updater && m_updater->installingPackage()) {
        // Checks of our own would compete with the package manager's updates.
        m_packageNote = section->addCaption(
            UpdateController::packageManagerNote(*m_updater->installingPackage()));
        m_packageNote->setObjectName(QStringLiteral("packageManagerNote"));
    }
    connect(m_checkNow, &QPushButton::clicked, this, [this] {
        if (m_updater)
            m_updater->checkForUpdates();
    });
    return section;
}

// --- Reactions ---

void SettingsView::readDefaults()
{
    selectTag(m_fontPicker, m_defaults.stringValue(Keys::noteFont, Defaults::noteFont));

    const double size = m_defaults.doubleValue(Keys::noteFontSize, Defaults::noteFontSize);
    {
        const QSignalBlocker blocker(m_fontSize);
        m_fontSize->setValue(std::isfinite(size) ? int(std::lround(size)) : minimumFontSize);
    }
    m_sample->setStyle(NoteFontStyle::fromDefaults(m_defaults, 1.0));

    selectTag(m_edgePicker, m_defaults.stringValue(Keys::defaultEdge, Defaults::defaultEdge));
    const QString screen = m_defaults.stringValue(Keys::railScreen, Defaults::railScreen);
    selectTag(m_screenPicker, screen);
    m_screenCaption->setVisible(RailScreen::fromToken(screen).kind() == RailScreen::Kind::display);

    const bool dock = m_defaults.boolValue(Keys::showsDockIcon, Defaults::showsDockIcon);
    {
        const QSignalBlocker blocker(m_dockSwitch);
        m_dockSwitch->setChecked(dock);
    }
    if (m_appliedDockIcon.has_value() && *m_appliedDockIcon != dock)
        applyDockIcon();
    m_appliedDockIcon = dock;
}

void SettingsView::rebuildScreenPicker()
{
    static const NoScreens noScreens;
    const ScreenSource &screens =
        m_windowSystem ? static_cast<const ScreenSource &>(*m_windowSystem) : noScreens;
    {
        const QSignalBlocker blocker(m_screenPicker);
        m_screenPicker->clear();
        for (const RailScreen &choice : RailScreen::choices(screens))
            m_screenPicker->addItem(choice.label(screens), choice.token());
    }
    // A display that went away leaves the picker without a selection; the setting stays.
    selectTag(m_screenPicker, m_defaults.stringValue(Keys::railScreen, Defaults::railScreen));
}

void SettingsView::changeLoginItem(bool enabled)
{
    const LoginItem::Change change = m_deps.loginItem.change(enabled);
    m_launchesAtLogin = change.isEnabled;
    m_launchError = change.errorMessage;
    {
        // The switch shows where the system really is, whatever was asked.
        const QSignalBlocker blocker(m_loginSwitch);
        m_loginSwitch->setChecked(m_launchesAtLogin);
    }
    m_loginError->setText(m_launchError.value_or(QString()));
    m_loginError->setVisible(m_launchError.has_value());
}

void SettingsView::showHotKeyStatus()
{
    m_hotKeyStatus = m_deps.hotKeyStatus();
    m_hotKeyLabel->setText(m_hotKeyStatus.text);
    SettingsForm::setTone(m_hotKeyLabel, m_hotKeyStatus.isWarning ? SettingsForm::Tone::warning
                                                                  : SettingsForm::Tone::secondary);
    m_hotKeyOffer->setText(m_hotKeyStatus.offerLabel);
    m_hotKeyOffer->setVisible(!m_hotKeyStatus.offerLabel.isEmpty() && m_hotKeyStatus.accept);
}

void SettingsView::refreshHotKeyStatus()
{
    if (m_hotKeyLabel)
        showHotKeyStatus();
}

void SettingsView::acceptHotKeyOffer()
{
    if (!m_hotKeyStatus.accept)
        return;
    const std::optional<QString> error = m_hotKeyStatus.accept();
    showHotKeyStatus();
    if (error) {
        // Told where the state is shown, never silently dropped.
        m_hotKeyLabel->setText(QStringLiteral("No se pudo añadir el atajo: %1.").arg(*error));
        SettingsForm::setTone(m_hotKeyLabel, SettingsForm::Tone::warning);
    }
}

void SettingsView::showEvent(QShowEvent *event)
{
    // Opened again: the login item may have been changed outside Orlette meanwhile, and an
    // error from last time is no longer news. Coming back from minimised is not opening.
    if (!event->spontaneous()) {
        m_launchesAtLogin = m_deps.loginItem.isEnabled();
        m_launchError.reset();
        const QSignalBlocker blocker(m_loginSwitch);
        m_loginSwitch->setChecked(m_launchesAtLogin);
        m_loginError->clear();
        m_loginError->hide();
        // The shortcut may have been changed in the desktop's settings meanwhile.
        if (m_hotKeyLabel)
            showHotKeyStatus();
    }
    QWidget::showEvent(event);
}

void SettingsView::applyDockIcon()
{
    // What is on disk decides, not what the switch says: the two agree unless the write failed.
    const bool dock = m_defaults.boolValue(Keys::showsDockIcon, Defaults::showsDockIcon);
    const ActivationPolicy policy = dock ? ActivationPolicy::regular : ActivationPolicy::accessory;
    if (m_deps.setActivationPolicy)
        m_deps.setActivationPolicy(policy);
    else if (m_windowSystem)
        m_windowSystem->setActivationPolicy(policy);
}

void SettingsView::showTour()
{
    // Opened from here, the tour need not open by itself at the next launch.
    m_defaults.setValue(Keys::hasSeenTour, true);
    NotificationCenter::standard().post(Notifications::openWindow, QStringLiteral("welcome"));
}

void SettingsView::refreshUpdates()
{
    {
        const QSignalBlocker blocker(m_automaticUpdates);
        m_automaticUpdates->setChecked(m_updater && m_updater->automaticallyChecksForUpdates());
    }
    const bool packaged = m_updater && m_updater->installingPackage();
    m_automaticUpdates->setEnabled(m_updater != nullptr && !packaged);
    m_lastCheck->setText(
        m_dates.syncDate(m_updater ? m_updater->lastUpdateCheckDate() : std::nullopt, now()));
    m_checkNow->setEnabled(m_updater && m_updater->canCheckForUpdates());
}

// --- Size ---

QSize SettingsView::sizeHint() const
{
    int height = m_content->layout()->totalHeightForWidth(SettingsForm::formWidth);
    if (const QScreen *shown = screen())
        height = std::min(height, shown->availableGeometry().height() - screenReserve);
    return {SettingsForm::formWidth, std::max(height, 200)};
}

bool SettingsView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_content && event->type() == QEvent::LayoutRequest && isWindow()) {
        // Sized to the content: the window follows rows that appear or go.
        QTimer::singleShot(0, this, [this] { resize(sizeHint()); });
    }
    return QWidget::eventFilter(watched, event);
}
