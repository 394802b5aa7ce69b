// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/StoreOpening.h"

#include <QtGlobal>

QString StoreOpening::fatalMessage() const
{
    return QStringLiteral("SwiftData no puede crear ni un almacén en memoria: ") +
           (onDiskError ? onDiskError->description : QString());
}

StoreOpening StoreOpening::open(const QString &storePath)
{
    StoreOpening result;
    auto onDisk = ModelContainer::create(ModelConfiguration::onDisk(storePath, true));
    if (onDisk) {
        result.container = std::move(onDisk).value();
        return result;
    }
    result.onDiskError = onDisk.error();
    result.container = ModelContainer::create(ModelConfiguration::inMemory()).value_or(nullptr);
    return result;
}

std::unique_ptr<ModelContainer> StoreOpening::openOrStop(const QString &storePath,
                                                         std::optional<StoreError> *onDiskError)
{
    StoreOpening opening = open(storePath);
    if (!opening.container)
        qFatal("%s", qPrintable(opening.fatalMessage()));
    if (onDiskError)
        *onDiskError = opening.onDiskError;
    return std::move(opening.container);
}
