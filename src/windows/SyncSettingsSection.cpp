// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/SyncSettingsSection.h"

#include "model/ModelContainer.h"
#include "model/UserDefaults.h"
#include "sync/SyncWatcher.h"
#include "windows/SyncTargetForm.h"

#include <QClipboard>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace {

// The relative dates are reworded this often while the section shows.
constexpr int clockInterval = 30000;

// "1 nota", "N notas".
QString notesText(int count)
{
    return count == 1 ? QStringLiteral("1 nota") : QStringLiteral("%1 notas").arg(count);
}

QLabel *valueLabel(QWidget *parent = nullptr)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

SyncSettingsSection::SyncSettingsSection(UserDefaults &defaults, Dependencies dependencies,
                                         QWidget *parent)
    : SettingsSection(QStringLiteral("Sincronización"), parent), m_deps(std::move(dependencies)),
      m_sync(m_deps.sync), m_clockTimer(new QTimer(this))
{
    // Notes kept only in memory matter more than any sync state: first, in red.
    m_storeWarning = SettingsForm::makeCaption(storeWarningText(m_deps.storeWarning),
                                               SettingsForm::Tone::warning);
    m_storeWarning->setObjectName(QStringLiteral("storeWarning"));
    addRow(m_storeWarning);
    m_storeWarning->setVisible(!m_deps.storeWarning.trimmed().isEmpty());

    auto *status = new QWidget;
    auto *statusLayout = new QHBoxLayout(status);
    statusLayout->setContentsMargins(0, 0, 0, 0);
    statusLayout->setSpacing(6);
    m_dot = new StatusDot(status);
    m_healthLabel = valueLabel(status);
    m_healthLabel->setObjectName(QStringLiteral("syncHealth"));
    statusLayout->addWidget(m_dot, 0, Qt::AlignVCenter);
    statusLayout->addWidget(m_healthLabel);
    addLabeledRow(QStringLiteral("iCloud"), status);

    m_accountValue = valueLabel();
    m_accountRow = addLabeledRow(QStringLiteral("Cuenta:"), m_accountValue);
    m_importValue = valueLabel();
    m_importRow = addLabeledRow(QStringLiteral("Última bajada:"), m_importValue);
    m_exportValue = valueLabel();
    m_exportRow = addLabeledRow(QStringLiteral("Última subida:"), m_exportValue);

    m_unavailableText =
        SettingsForm::makeCaption(SyncStatus::unavailableText, SettingsForm::Tone::secondary);
    addAttachment(m_unavailableText);
    m_brokenMessage = SettingsForm::makeCaption({}, SettingsForm::Tone::secondary);
    m_brokenMessage->setObjectName(QStringLiteral("syncBrokenMessage"));
    addAttachment(m_brokenMessage);

    m_repairRow = new QWidget;
    auto *repairLayout = new QHBoxLayout(m_repairRow);
    repairLayout->setContentsMargins(0, 0, 0, 0);
    m_resetButton = new QPushButton(QStringLiteral("Reiniciar la sincronización…"), m_repairRow);
    m_sendAgainButton = new QPushButton(sendAgainButton, m_repairRow);
    m_copyButton = new QPushButton(QStringLiteral("Copiar detalles"), m_repairRow);
    repairLayout->addWidget(m_resetButton);
    repairLayout->addWidget(m_sendAgainButton);
    repairLayout->addWidget(m_copyButton);
    repairLayout->addStretch(1);
    addRow(m_repairRow);

    auto *syncRow = new QWidget;
    auto *syncLayout = new QHBoxLayout(syncRow);
    syncLayout->setContentsMargins(0, 0, 0, 0);
    m_syncNowButton = new QPushButton(QStringLiteral("Sincronizar ahora"), syncRow);
    m_progress = new QProgressBar(syncRow);
    m_progress->setRange(0, 0);
    m_progress->setTextVisible(false);
    m_progress->setFixedSize(48, 6);
    syncLayout->addWidget(m_syncNowButton);
    syncLayout->addWidget(m_progress);
    syncLayout->addStretch(1);
    addRow(syncRow);
    addCaption(SyncStatus::syncNowCaption);

    m_repeatedValue = valueLabel();
    m_repeatedRow = addLabeledRow(QStringLiteral("Notas repetidas:"), m_repeatedValue);
    m_repeatedExplanation = addCaption(repeatedExplanation);

    if (m_deps.engine) {
        m_targetForm = new SyncTargetForm(defaults, m_deps.engine,
                                          {m_deps.dataDirectory, m_deps.chooseFolder});
        addRow(m_targetForm);
    }

    connect(m_resetButton, &QPushButton::clicked, this, &SyncSettingsSection::confirmRepair);
    connect(m_sendAgainButton, &QPushButton::clicked, this, &SyncSettingsSection::confirmSendAgain);
    connect(m_copyButton, &QPushButton::clicked, this, &SyncSettingsSection::copyDetails);
    connect(m_syncNowButton, &QPushButton::clicked, this, &SyncSettingsSection::syncNow);
    if (m_sync) {
        for (auto signal : {&SyncStatus::healthChanged, &SyncStatus::lastExportChanged,
                            &SyncStatus::accountChanged, &SyncStatus::detailChanged,
                            &SyncStatus::isSyncingChanged, &SyncStatus::remedyChanged})
            connect(m_sync, signal, this, &SyncSettingsSection::refresh);
        // Every finished download may have brought copies of notes already here.
        connect(m_sync, &SyncStatus::lastImportChanged, this, [this] {
            refresh();
            runCheck();
        });
    }
    m_clockTimer->setInterval(clockInterval);
    connect(m_clockTimer, &QTimer::timeout, this, &SyncSettingsSection::refresh);
    refresh();
}

SyncSettingsSection::~SyncSettingsSection() = default;

QString SyncSettingsSection::storeWarningText(const QString &reason)
{
    QString cause = reason.trimmed();
    while (cause.endsWith(u'.'))
        cause.chop(1);
    return QStringLiteral("Las notas no se están guardando en disco: ") + cause +
           QStringLiteral(". Lo que escribas ahora se perderá al cerrar Orlette; el archivo de "
                          "notas que hubiera no se ha tocado.");
}

QColor SyncSettingsSection::healthColor(SyncStatus::Health::Kind kind, ColorScheme scheme)
{
    switch (kind) {
    case SyncStatus::Health::Kind::working:
        return SettingsForm::green(scheme);
    case SyncStatus::Health::Kind::starting:
        return SettingsForm::orange(scheme);
    case SyncStatus::Health::Kind::unavailable:
        return SettingsForm::secondaryColor();
    case SyncStatus::Health::Kind::broken:
        return SettingsForm::red(scheme);
    }
    return SettingsForm::secondaryColor();
}

QDateTime SyncSettingsSection::now() const
{
    return m_deps.now ? m_deps.now() : QDateTime::currentDateTime();
}

void SyncSettingsSection::refresh()
{
    // A program without a sync status has nothing to mirror with.
    const SyncStatus::Health health = m_sync ? m_sync->health() : SyncStatus::Health::unavailable();
    const SyncStatus::Health::Kind kind = health.kind();
    const bool unavailable = kind == SyncStatus::Health::Kind::unavailable;
    const bool broken = kind == SyncStatus::Health::Kind::broken;

    m_dot->setColor(healthColor(kind, currentColorScheme()));
    m_healthLabel->setText(SyncStatus::label(health));

    const std::optional<QString> account = m_sync ? m_sync->account() : std::nullopt;
    m_accountRow->setVisible(account.has_value());
    m_accountValue->setText(account.value_or(QString()));

    const QDateTime moment = now();
    m_importRow->setVisible(!unavailable);
    m_exportRow->setVisible(!unavailable);
    m_importValue->setText(m_dates.syncDate(m_sync ? m_sync->lastImport() : std::nullopt, moment));
    m_exportValue->setText(m_dates.syncDate(m_sync ? m_sync->lastExport() : std::nullopt, moment));
    m_unavailableText->setVisible(unavailable);

    m_brokenMessage->setVisible(broken);
    m_brokenMessage->setText(health.message());

    const std::optional<QString> detail = m_sync ? m_sync->detail() : std::nullopt;
    // The reset cures a store that lost its correspondence with the target; it is never
    // offered for a target emptied, gone or out of reach, which it would copy.
    const SyncStatus::Remedy remedy = m_sync ? m_sync->remedy() : SyncStatus::Remedy::none;
    m_repairRow->setVisible(broken || m_check.repeated > 0);
    m_resetButton->setVisible((broken && remedy == SyncStatus::Remedy::reset) ||
                              m_check.repeated > 0);
    m_sendAgainButton->setVisible(broken && remedy == SyncStatus::Remedy::sendAgain);
    m_copyButton->setVisible(detail.has_value());

    const bool syncing = m_sync && m_sync->isSyncing();
    m_syncNowButton->setEnabled(m_sync && !syncing);
    m_progress->setVisible(syncing);

    m_repeatedRow->setVisible(m_check.repeated > 0);
    m_repeatedValue->setText(m_check.extraCopiesText());
    m_repeatedExplanation->setVisible(m_check.repeated > 0);
}

void SyncSettingsSection::runCheck()
{
    if (!m_deps.container || !m_deps.container->mainContext())
        return;
    const StoreCheck::Report report = StoreCheck::run(*m_deps.container->mainContext());
    if (report == m_check)
        return;
    m_check = report;
    refresh();
}

bool SyncSettingsSection::isConfirmingRepair() const
{
    return m_repairDialog && m_repairDialog->isVisible();
}

void SyncSettingsSection::confirmRepair()
{
    if (isConfirmingRepair())
        return;
    auto *dialog =
        new QMessageBox(QMessageBox::Warning, resetTitle, resetTitle, QMessageBox::NoButton, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QString message = resetMessage;
    if (m_deps.container && m_deps.container->mainContext()) {
        // Counted now: the notes the reset would put away are those of this moment.
        const StoreCheck::Report here = StoreCheck::run(*m_deps.container->mainContext());
        const QString warning = resetLossWarning(here.total - here.extraCopies,
                                                 m_sync ? m_sync->remoteNoteCount() : std::nullopt);
        if (!warning.isEmpty())
            message += QStringLiteral("\n\n") + warning;
    }
    dialog->setInformativeText(message);
    QPushButton *reset =
        dialog->addButton(QStringLiteral("Reiniciar y reabrir"), QMessageBox::DestructiveRole);
    QPushButton *cancel = dialog->addButton(QStringLiteral("Cancelar"), QMessageBox::RejectRole);
    // Return must not discard the local copy: the safe answer is the default one.
    dialog->setDefaultButton(cancel);
    dialog->setEscapeButton(cancel);
    connect(dialog, &QMessageBox::buttonClicked, this, [this, reset](QAbstractButton *button) {
        if (button != reset)
            return;
        if (m_deps.requestReset)
            m_deps.requestReset();
        else
            StoreCheck::requestReset();
    });
    m_repairDialog = dialog;
    dialog->setWindowModality(Qt::WindowModal);
    dialog->show();
}

QString SyncSettingsSection::resetLossWarning(int localNotes, const std::optional<int> &remoteNotes)
{
    // Unknown (the target out of reach): the reset refills once it is back.
    if (!remoteNotes || *remoteNotes >= localNotes)
        return {};
    const int lost = localNotes - *remoteNotes;
    return QStringLiteral("Atención: este ordenador tiene %1 y el destino solo %2. Tras "
                          "reiniciar, la app tendría %3 menos; solo estarían en la copia con "
                          "fecha.")
        .arg(notesText(localNotes), notesText(*remoteNotes), notesText(lost));
}

bool SyncSettingsSection::isConfirmingSendAgain() const
{
    return m_sendAgainDialog && m_sendAgainDialog->isVisible();
}

void SyncSettingsSection::confirmSendAgain()
{
    if (isConfirmingSendAgain())
        return;
    auto *dialog = new QMessageBox(QMessageBox::Question, sendAgainTitle, sendAgainTitle,
                                   QMessageBox::NoButton, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setInformativeText(sendAgainMessage);
    QPushButton *send = dialog->addButton(sendAgainConfirm, QMessageBox::AcceptRole);
    QPushButton *cancel = dialog->addButton(QStringLiteral("Cancelar"), QMessageBox::RejectRole);
    dialog->setDefaultButton(send);
    dialog->setEscapeButton(cancel);
    connect(dialog, &QMessageBox::buttonClicked, this, [this, send](QAbstractButton *button) {
        if (button == send && m_sync)
            m_sync->sendAgain();
    });
    m_sendAgainDialog = dialog;
    dialog->setWindowModality(Qt::WindowModal);
    dialog->show();
}

void SyncSettingsSection::copyDetails()
{
    if (!m_sync || !m_sync->detail())
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(*m_sync->detail());
}

void SyncSettingsSection::syncNow()
{
    if (!m_sync)
        return;
    ModelContext *context = m_deps.container ? m_deps.container->mainContext() : nullptr;
    m_sync->syncNow(context, m_deps.watcher);
}

void SyncSettingsSection::showEvent(QShowEvent *event)
{
    SettingsSection::showEvent(event);
    refresh();
    m_clockTimer->start();
    // Counted after the window is up, so opening it never waits for the store.
    QTimer::singleShot(0, this, &SyncSettingsSection::runCheck);
}

void SyncSettingsSection::hideEvent(QHideEvent *event)
{
    m_clockTimer->stop();
    SettingsSection::hideEvent(event);
}
