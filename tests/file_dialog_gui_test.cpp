// The image file dialog as a user drives it: a name typed without its extension.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include "filestore/firmware_update.h"
#include "ui/widgets/gui_host.h"

namespace rzl {
namespace {

TEST(ImageFileDialog, ANameTypedWithoutItsExtensionOpensTheBinFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile image(QDir(dir.path()).filePath("r5000.bin"));
    ASSERT_TRUE(image.open(QIODevice::WriteOnly));
    image.write("\x01\x02", 2);
    image.close();

    QWidget main;
    GuiDialogs dialogs;
    dialogs.attach(&main, nullptr, nullptr);
    bool typed = false;
    QTimer typist;
    QObject::connect(&typist, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || typed) return;
        dialog->setDirectory(dir.path());
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!name) return dialog->reject();
        name->setText(QStringLiteral("r5000"));
        typed = true;
        QMetaObject::invokeMethod(dialog, "accept");  // Enter
    });
    typist.start(20);
    // Never hang: a refused name leaves the dialog (and its "not found" box) open, so after a
    // while every window still open is closed.
    QTimer giveUp;
    QObject::connect(&giveUp, &QTimer::timeout, [] {
        if (QWidget* open = QApplication::activeModalWidget()) open->close();
    });
    QTimer::singleShot(5000, &giveUp, [&giveUp] { giveUp.start(50); });

    const std::optional<QString> chosen =
        dialogs.openFile(QString::fromLatin1(kImageFilter), QString::fromLatin1(kImageDefaultExtension));
    ASSERT_TRUE(typed) << "the dialog had no file name field";
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(QFileInfo(*chosen).fileName(), "r5000.bin");
}

}  // namespace
}  // namespace rzl
