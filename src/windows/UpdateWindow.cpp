// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/UpdateWindow.h"

#include <QDesktopServices>
#include <QPushButton>

UpdateWindow::UpdateWindow(QWidget *parent)
    : QMessageBox(QMessageBox::Information, QStringLiteral("Orlette"), QString(),
                  QMessageBox::NoButton, parent)
{
    setWindowModality(Qt::NonModal);
    m_open = addButton(QStringLiteral("Ver la versión nueva"), QMessageBox::AcceptRole);
    connect(m_open, &QPushButton::clicked, this, [this] {
        if (m_link.isValid())
            QDesktopServices::openUrl(m_link);
    });
    addButton(QStringLiteral("Cerrar"), QMessageBox::RejectRole);
}

void UpdateWindow::present(const QString &text, const QString &detail, const QUrl &link)
{
    setText(text);
    setInformativeText(detail);
    m_link = link;
    m_open->setVisible(link.isValid());
    show();
    raise();
    activateWindow();
}
