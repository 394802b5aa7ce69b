// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ModelContainer.h"

#include <memory>
#include <optional>

// Opens the notes' container: the mirrored store on disk, else a store in memory, else
// nothing (the caller stops the process with `fatalMessage`).
struct StoreOpening
{
    std::unique_ptr<ModelContainer> container;
    // Why the store on disk could not be used; set whenever the container is in memory.
    std::optional<StoreError> onDiskError;

    bool isInMemory() const { return container && onDiskError.has_value(); }
    QString fatalMessage() const;

    static StoreOpening open(const QString &storePath);
    // As `open`, stopping the process when not even a store in memory can be made.
    static std::unique_ptr<ModelContainer> openOrStop(const QString &storePath,
                                                      std::optional<StoreError> *onDiskError);
};
