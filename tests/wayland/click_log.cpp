// SPDX-License-Identifier: GPL-3.0-or-later
// A native Wayland window for the end-to-end tests to click on and type into: it fills
// the screen (maximised, so rails standing at the edges cover parts of it) and prints
// each button press, key and focus change on stdout, one line each, as soon as it gets
// them. Run it with QT_QPA_PLATFORM=wayland.
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

#include <cstdio>

namespace {

void say(const QByteArray &line)
{
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

class ClickLog : public QWidget
{
protected:
    void showEvent(QShowEvent *) override
    {
        say("shown " + QGuiApplication::platformName().toUtf8());
    }
    // Window coordinates: a Wayland client does not know where its window stands.
    void mousePressEvent(QMouseEvent *event) override
    {
        const QPoint at = event->position().toPoint();
        say(QStringLiteral("press %1 %2 %3")
                .arg(int(event->button()))
                .arg(at.x())
                .arg(at.y())
                .toUtf8());
    }
    void keyPressEvent(QKeyEvent *event) override { say("key " + event->text().toUtf8().toHex()); }
    void focusInEvent(QFocusEvent *) override { say("focus in"); }
    void focusOutEvent(QFocusEvent *) override { say("focus out"); }
    // A plain, flat colour the screenshots can tell from the desktop and the notes.
    void paintEvent(QPaintEvent *) override
    {
        QPainter(this).fillRect(rect(), QColor(40, 160, 90));
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ClickLog window;
    window.setWindowTitle(QStringLiteral("Orlette click log"));
    window.setFocusPolicy(Qt::StrongFocus);
    window.showMaximized();
    return QApplication::exec();
}
