#include "core/AppPaths.h"
#include "core/StoreOpening.h"
#include "core/UserDefaults.h"
#include "platform/QtWindowSystem.h"
#include "rail/RailCoordinator.h"
#include "surfaces/BundledFonts.h"
#include "sync/StoreCheck.h"
#include "sync/SyncWatcher.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orlette"));
    QApplication::setOrganizationName(QStringLiteral("Orlette"));
    QApplication::setQuitOnLastWindowClosed(false);

    // A reset asked for in the previous run moves the old store aside before it is opened.
    StoreCheck::resetIfRequested();
    std::optional<StoreError> onDiskError;
    const auto container = StoreOpening::openOrStop(AppPaths::storeFile(), &onDiskError);
    if (onDiskError) {
        qWarning("Orlette: las notas no se guardan en disco: %s",
                 qPrintable(onDiskError->description));
    }
    BundledFonts::registerAll();

    QtWindowSystem windows;
    SyncWatcher sync(container.get());
    RailCoordinator rails(windows, UserDefaults::standard(), container.get(), nullptr, &sync);
    rails.start();

    const int status = QApplication::exec();
    rails.stop();
    return status;
}
