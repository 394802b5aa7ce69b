#include "core/AppPaths.h"
#include "core/StoreOpening.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orlette"));
    QApplication::setOrganizationName(QStringLiteral("Orlette"));
    QApplication::setQuitOnLastWindowClosed(false);

    std::optional<StoreError> onDiskError;
    const auto container = StoreOpening::openOrStop(AppPaths::storeFile(), &onDiskError);
    if (onDiskError) {
        qWarning("Orlette: las notas no se guardan en disco: %s",
                 qPrintable(onDiskError->description));
    }
    return QApplication::exec();
}
