// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SingleInstance.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/Note.h"

#include <gtest/gtest.h>

#include <QApplication>

namespace {

// Lets store tests start this binary as "another process" writing the same store.
int writeNoteAsChild(const QString &path, const QString &title)
{
    auto created = ModelContainer::create(ModelConfiguration::onDisk(path, true));
    if (!created)
        return 2;
    const auto container = std::move(created).value();
    auto note = std::make_unique<Note>();
    note->setTitle(title);
    container->mainContext()->insert(std::move(note));
    return container->mainContext()->save() ? 0 : 3;
}

// Lets tests start this binary as a second start of the application.
int claimAsChild(const QString &key, const QStringList &arguments)
{
    SingleInstance instance(key);
    return instance.claim(arguments) ? 10 : 0;
}

} // namespace

int main(int argc, char **argv)
{
    // The offscreen platform lets model tests that touch fonts or colours run without a
    // display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--child-write-note")
        return writeNoteAsChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (argc >= 3 && QByteArray(argv[1]) == "--child-claim") {
        QStringList rest;
        for (int i = 3; i < argc; ++i)
            rest << QString::fromLocal8Bit(argv[i]);
        return claimAsChild(QString::fromLocal8Bit(argv[2]), rest);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
