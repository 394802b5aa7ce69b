// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QUrl>

class QPushButton;

// The one window that tells about updates: a release found, a check that found nothing or
// failed, an install that failed. A new message replaces the one shown, in the same window,
// so messages never stack up.
class UpdateWindow : public QMessageBox
{
    Q_OBJECT

public:
    explicit UpdateWindow(QWidget *parent = nullptr);

    // Shows `text` with `detail` under it and, when `link` is valid, a button that opens it;
    // brings the window forward if it was already open.
    void present(const QString &text, const QString &detail, const QUrl &link);
    QUrl link() const { return m_link; }

private:
    QPushButton *m_open;
    QUrl m_link;
};
