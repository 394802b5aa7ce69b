// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/OrletteApp.h"

#include "app/AppDelegate.h"
#include "app/SingleInstance.h"
#include "model/AppPaths.h"
#include "model/UserDefaults.h"
#include "model/WelcomeNotes.h"
#include "platform/QtWindowSystem.h"
#include "platform/SessionKind.h"
#include "surfaces/BundledFonts.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int terminationPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(terminationPipe[1], &byte, 1);
}

// SIGTERM, SIGINT and SIGHUP (logging out, `kill`, Ctrl-C, the launching terminal closed)
// end the event loop normally, so the termination sequence runs and no pending edit is lost.
void quitOnTerminationSignals(QObject *owner)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, terminationPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(terminationPipe[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [] {
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(terminationPipe[0], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

// Told once at start-up where the rails cannot stand at the screen edges; not modal, so
// the library, floating notes and the hot key go on working behind it.
std::unique_ptr<QMessageBox> edgeNotice(SessionKind::Rails rails)
{
    if (rails == SessionKind::Rails::atEdges)
        return nullptr;
    auto notice = std::make_unique<QMessageBox>();
    notice->setIcon(QMessageBox::Information);
    notice->setWindowTitle(QStringLiteral("Orlette"));
    notice->setWindowModality(Qt::NonModal);
    notice->addButton(QStringLiteral("Cerrar"), QMessageBox::RejectRole);
    if (rails == SessionKind::Rails::unplaceableCompositor) {
        notice->setText(QStringLiteral(
            "Este escritorio no deja que Orlette ponga sus notas en el borde de la pantalla."));
    } else {
        notice->setText(QStringLiteral("Sin XWayland, Orlette no puede poner sus notas en el "
                                       "borde de la pantalla."));
    }
    notice->setInformativeText(
        QStringLiteral("La biblioteca y las notas flotantes siguen funcionando. Para crear una "
                       "nota desde cualquier aplicación, asigna en los ajustes del escritorio un "
                       "atajo de teclado que ejecute «orlette --new-note»."));
    return notice;
}

} // namespace

int OrletteApp::run(int argc, char *argv[])
{
    // Answered before anything else, without a screen: the updater asks a new program its
    // version before putting it in place.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Orlette %s\n", ORLETTE_VERSION);
            return 0;
        }
    }
    // Before Qt chooses a platform: in a Wayland session the rails need XWayland.
    const SessionKind session(SessionKind::Environment::fromProcess());
    session.applyPlatformChoice();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orlette"));
    QApplication::setOrganizationName(QStringLiteral("Orlette"));
    QApplication::setDesktopFileName(QStringLiteral("org.orlette.Orlette"));
    // Closing the last window never quits: the application lives in the tray and the rails.
    QApplication::setQuitOnLastWindowClosed(false);

    // Before anything is read or written: notes and settings are for their owner only.
    // A file that cannot be narrowed is still used, and said once.
    for (const PrivateFiles::Problem &problem : AppPaths::makeFoldersPrivate()) {
        qWarning("Orlette: %s queda al alcance de otras cuentas de este equipo: %s",
                 qUtf8Printable(problem.path), qUtf8Printable(problem.reason));
    }

    QStringList arguments = QApplication::arguments().mid(1);
    SingleInstance instance(SingleInstance::keyForDataDirectory(AppPaths::dataDirectory()));
    const bool relaunched = arguments.removeAll(SingleInstance::relaunchArgument) > 0;
    const bool primary =
        relaunched ? instance.claimAfterRelaunch(arguments) : instance.claim(arguments);
    if (!primary)
        return 0;

    quitOnTerminationSignals(&app);
    BundledFonts::registerAll();
    QtWindowSystem windows;
    AppDelegate::Options options;
    options.welcomeDelay = WelcomeNotes::launchDelayFromEnvironment();
    options.startsRails = session.rails() == SessionKind::Rails::atEdges;
    AppDelegate delegate(windows, UserDefaults::standard(), options);

    QObject::connect(&instance, &SingleInstance::argumentsReceived, &delegate,
                     [&delegate](const QStringList &handed) {
                         // A plain second start brings the library forward.
                         delegate.handleArguments(
                             handed.isEmpty() ? QStringList{QStringLiteral("--library")} : handed);
                     });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate,
                     [&delegate] { delegate.applicationWillTerminate(); });
    const std::unique_ptr<QMessageBox> notice = edgeNotice(session.rails());
    QTimer::singleShot(0, &delegate, [&delegate, arguments, &notice] {
        delegate.applicationDidFinishLaunching();
        delegate.handleArguments(arguments);
        if (notice)
            notice->show();
    });
    return QApplication::exec();
}
