// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SyncTarget.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class SyncEngine;
class UserDefaults;

// Where the notes are mirrored: no target, a folder kept in step by another program, or a
// WebDAV server with its user and password. Saving writes the target to the settings, which
// the mirroring follows by itself; the password goes to the desktop's secret store.
class SyncTargetForm : public QWidget
{
    Q_OBJECT

public:
    struct Options
    {
        // The live store's folder, which a target folder must stay clear of; the
        // application's data folder when empty.
        QString dataDirectory;
        // Asks the person for a folder, starting at the given one; none when cancelled. A
        // folder dialog when empty.
        std::function<std::optional<QString>(const QString &start)> chooseFolder;
    };

    SyncTargetForm(UserDefaults &defaults, SyncEngine *engine, Options options,
                   QWidget *parent = nullptr);
    ~SyncTargetForm() override;

    // The target as the fields describe it now.
    SyncTarget editedTarget() const;
    // Whether the fields differ from the saved target (or a password was typed).
    bool hasEdits() const;

    // Writes the edited target (after checking it) and the password; false when the target
    // was refused.
    bool save();

    QComboBox *kindPicker() const { return m_kind; }
    QLineEdit *folderField() const { return m_folder; }
    QLineEdit *addressField() const { return m_address; }
    QLineEdit *userField() const { return m_user; }
    QLineEdit *passwordField() const { return m_password; }
    // Shown for a plain http:// address on another computer: the person's deliberate choice.
    QCheckBox *inClearChoice() const { return m_inClear; }
    QPushButton *saveButton() const { return m_save; }
    // The last problem, empty when there is none.
    QString errorText() const;

Q_SIGNALS:
    void saved();

private:
    void load();
    void refresh();
    void chooseFolder();
    void setError(const QString &text);
    QWidget *addRow(const QString &label, QWidget *field, QWidget *extra = nullptr);
    SyncTarget::Kind selectedKind() const;
    QUrl editedAddress() const;

    UserDefaults &m_defaults;
    QPointer<SyncEngine> m_engine;
    Options m_options;
    SyncTarget m_saved;
    bool m_saving = false;

    QComboBox *m_kind;
    QWidget *m_folderRow = nullptr;
    QWidget *m_addressRow = nullptr;
    QWidget *m_userRow = nullptr;
    QWidget *m_passwordRow = nullptr;
    QWidget *m_inClearRow = nullptr;
    QLineEdit *m_folder;
    QLineEdit *m_address;
    QLineEdit *m_user;
    QLineEdit *m_password;
    QCheckBox *m_inClear;
    QPushButton *m_choose;
    QPushButton *m_save;
    QLabel *m_error;
};
