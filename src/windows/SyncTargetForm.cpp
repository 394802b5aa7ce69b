// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/SyncTargetForm.h"

#include "model/AppPaths.h"
#include "model/UrlSafety.h"
#include "model/UserDefaults.h"
#include "surfaces/NoteChromeFonts.h"
#include "sync/SyncEngine.h"
#include "windows/SettingsForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int labelWidth = 90;

} // namespace

SyncTargetForm::SyncTargetForm(UserDefaults &defaults, SyncEngine *engine, Options options,
                               QWidget *parent)
    : QWidget(parent), m_defaults(defaults), m_engine(engine), m_options(std::move(options)),
      m_kind(new QComboBox(this)), m_folder(new QLineEdit(this)), m_address(new QLineEdit(this)),
      m_user(new QLineEdit(this)), m_password(new QLineEdit(this)),
      m_inClear(new QCheckBox(QStringLiteral("Sin cifrar, a propósito"), this)),
      m_choose(new QPushButton(QStringLiteral("Elegir…"), this)),
      m_save(new QPushButton(QStringLiteral("Guardar destino"), this)),
      m_error(SettingsForm::makeCaption({}, SettingsForm::Tone::warning, this))
{
    if (m_options.dataDirectory.isEmpty())
        m_options.dataDirectory = AppPaths::dataDirectory();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    auto *heading = new QLabel(QStringLiteral("Dónde se guardan las copias"), this);
    heading->setFont(NoteChromeFonts::systemFont(12, QFont::DemiBold));
    layout->addWidget(heading);

    m_kind->setObjectName(QStringLiteral("syncTargetKindPicker"));
    m_kind->addItem(QStringLiteral("Ninguno"), int(SyncTarget::Kind::none));
    m_kind->addItem(QStringLiteral("Una carpeta"), int(SyncTarget::Kind::folder));
    m_kind->addItem(QStringLiteral("Un servidor WebDAV"), int(SyncTarget::Kind::webDav));
    addRow(QStringLiteral("Destino:"), m_kind);

    m_folder->setPlaceholderText(QStringLiteral("/home/…/Sync/Orlette"));
    m_folderRow = addRow(QStringLiteral("Carpeta:"), m_folder, m_choose);
    m_address->setPlaceholderText(QStringLiteral("https://nube.ejemplo.es/remote.php/dav/…"));
    m_addressRow = addRow(QStringLiteral("Dirección:"), m_address);
    m_userRow = addRow(QStringLiteral("Usuario:"), m_user);
    m_password->setEchoMode(QLineEdit::Password);
    m_passwordRow = addRow(QStringLiteral("Contraseña:"), m_password);
    m_inClear->setToolTip(QStringLiteral("Las notas viajan por la red sin protección y no se "
                                         "envía ninguna contraseña."));
    m_inClearRow = addRow(QString(), m_inClear);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_save);
    layout->addLayout(buttons);

    layout->addWidget(m_error);
    m_error->hide();
    layout->addWidget(SettingsForm::makeCaption(
        QStringLiteral("Una carpeta que otro programa mantenga igual en todos tus equipos "
                       "(Syncthing, Nextcloud, Dropbox, un disco compartido) o un servidor "
                       "WebDAV. La contraseña se guarda en el llavero del escritorio."),
        SettingsForm::Tone::secondary, this));

    // A refusal is about what was typed then; typing again clears it.
    const auto edited = [this] {
        setError({});
        refresh();
    };
    connect(m_kind, &QComboBox::activated, this, edited);
    connect(m_kind, &QComboBox::currentIndexChanged, this, &SyncTargetForm::refresh);
    for (QLineEdit *field : {m_folder, m_address, m_user, m_password})
        connect(field, &QLineEdit::textEdited, this, edited);
    connect(m_inClear, &QCheckBox::toggled, this, edited);
    // Whether the address travels in clear decides which rows show.
    connect(m_address, &QLineEdit::textChanged, this, &SyncTargetForm::refresh);
    connect(m_choose, &QPushButton::clicked, this, &SyncTargetForm::chooseFolder);
    connect(m_save, &QPushButton::clicked, this, &SyncTargetForm::save);
    connect(&m_defaults, &UserDefaults::didChange, this, [this] {
        // A target changed elsewhere shows here, unless the person is editing this one.
        if (!m_saving && !hasEdits())
            load();
    });
    load();
}

SyncTargetForm::~SyncTargetForm() = default;

QWidget *SyncTargetForm::addRow(const QString &label, QWidget *field, QWidget *extra)
{
    auto *row = new QWidget(this);
    auto *rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->setSpacing(8);
    auto *name = new QLabel(label, row);
    name->setFixedWidth(labelWidth);
    name->setBuddy(field);
    rowLayout->addWidget(name);
    field->setParent(row);
    rowLayout->addWidget(field, 1);
    if (extra) {
        extra->setParent(row);
        rowLayout->addWidget(extra);
    }
    static_cast<QVBoxLayout *>(layout())->addWidget(row);
    return row;
}

void SyncTargetForm::load()
{
    m_saved = SyncTarget::fromDefaults(m_defaults);
    const QSignalBlocker blocker(m_kind);
    m_kind->setCurrentIndex(m_kind->findData(int(m_saved.kind)));
    m_folder->setText(m_saved.folder);
    m_address->setText(m_saved.webDavUrl.toString());
    m_user->setText(m_saved.webDavUser);
    m_password->clear();
    {
        const QSignalBlocker inClearBlocker(m_inClear);
        m_inClear->setChecked(m_saved.webDavInClearAccepted);
    }
    refresh();
}

SyncTarget::Kind SyncTargetForm::selectedKind() const
{
    return SyncTarget::Kind(m_kind->currentData().toInt());
}

SyncTarget SyncTargetForm::editedTarget() const
{
    switch (selectedKind()) {
    case SyncTarget::Kind::none:
        return {};
    case SyncTarget::Kind::folder:
        return SyncTarget::inFolder(m_folder->text().trimmed());
    case SyncTarget::Kind::webDav: {
        const QUrl address = editedAddress();
        // No password goes in clear, so there is no user to name either.
        const bool inClear = UrlSafety::travelsInClear(address);
        return SyncTarget::onWebDav(address, inClear ? QString() : m_user->text().trimmed(),
                                    inClear && m_inClear->isChecked());
    }
    }
    return {};
}

QUrl SyncTargetForm::editedAddress() const
{
    const QString typed = m_address->text().trimmed();
    // An address typed without its scheme is meant encrypted, not plain http://.
    if (!typed.isEmpty() && !typed.contains(QStringLiteral("://")))
        return QUrl::fromUserInput(QStringLiteral("https://") + typed);
    return QUrl::fromUserInput(typed);
}

bool SyncTargetForm::hasEdits() const
{
    const SyncTarget edited = editedTarget();
    const bool targetChanged = edited.kind != m_saved.kind ||
                               edited.identity() != m_saved.identity() ||
                               edited.webDavInClearAccepted != m_saved.webDavInClearAccepted;
    return targetChanged || !m_password->text().isEmpty();
}

void SyncTargetForm::refresh()
{
    const SyncTarget::Kind kind = selectedKind();
    m_folderRow->setVisible(kind == SyncTarget::Kind::folder);
    m_addressRow->setVisible(kind == SyncTarget::Kind::webDav);
    const bool inClear =
        kind == SyncTarget::Kind::webDav && UrlSafety::travelsInClear(editedAddress());
    m_inClearRow->setVisible(inClear);
    // A password is never sent in clear, so none is asked for then.
    m_userRow->setVisible(kind == SyncTarget::Kind::webDav && !inClear);
    // Without the mirroring there is nowhere to hand a password to.
    m_passwordRow->setVisible(kind == SyncTarget::Kind::webDav && !inClear && m_engine);
    m_save->setEnabled(hasEdits());
}

void SyncTargetForm::chooseFolder()
{
    const QString start = m_folder->text().trimmed();
    std::optional<QString> chosen;
    if (m_options.chooseFolder) {
        chosen = m_options.chooseFolder(start);
    } else {
        const QString folder = QFileDialog::getExistingDirectory(
            this, QStringLiteral("Carpeta de sincronización"), start);
        if (!folder.isEmpty())
            chosen = folder;
    }
    if (!chosen)
        return;
    m_folder->setText(*chosen);
    refresh();
}

bool SyncTargetForm::save()
{
    const SyncTarget target = editedTarget();
    if (target.kind != SyncTarget::Kind::none) {
        if (const auto valid = target.validate(m_options.dataDirectory); !valid) {
            setError(valid.error().localizedDescription);
            return false;
        }
    }
    setError({});
    const QString password = target.travelsInClear() ? QString() : m_password->text();
    m_saving = true;
    target.save(m_defaults);
    m_saving = false;
    m_saved = SyncTarget::fromDefaults(m_defaults);
    m_password->clear();
    if (target.kind == SyncTarget::Kind::webDav && !password.isEmpty() && m_engine) {
        m_engine->setWebDavPassword(
            password, [weak = QPointer<SyncTargetForm>(this)](const SyncResult<void> &written) {
                if (weak && !written) {
                    weak->setError(QStringLiteral("No se pudo guardar la contraseña: ") +
                                   written.error().localizedDescription);
                }
            });
    }
    refresh();
    Q_EMIT saved();
    return true;
}

QString SyncTargetForm::errorText() const
{
    return m_error->isHidden() ? QString() : m_error->text();
}

void SyncTargetForm::setError(const QString &text)
{
    m_error->setText(text);
    m_error->setVisible(!text.isEmpty());
}
