#include "ui/widgets/fonts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>

namespace rzl {

namespace {

QFont Sized(const QString& family, int pixelSize, bool bold) {
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

}  // namespace

void InstallWindowFonts() {
    static bool done = false;
    if (done) return;
    done = true;
    // A folder "fonts" beside the program (the Windows bundle brings one) comes first.
    const QString bundled = QCoreApplication::applicationDirPath() + QStringLiteral("/fonts/");
    if (!QFontDatabase::families().contains(QStringLiteral("Tahoma"))) {
        // Only the regular face: the package's bold face draws no heavier, so bold is synthesised.
        for (const QString& regular : {bundled + QStringLiteral("tahoma.ttf"), QStringLiteral("/usr/share/wine/fonts/tahoma.ttf")}) {
            if (QFile::exists(regular) && QFontDatabase::addApplicationFont(regular) >= 0) break;
        }
    }
    if (!QFontDatabase::families().contains(QStringLiteral("Carlito"))) {
        for (const QString& face : QDir(bundled).entryList({QStringLiteral("Carlito-*.ttf")}, QDir::Files))
            QFontDatabase::addApplicationFont(bundled + face);
    }
    QFont::insertSubstitution(QStringLiteral("Calibri"), QStringLiteral("Carlito"));
    QFont::insertSubstitution(QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"));
}

QFont TahomaFont(int pixelSize, bool bold) { return Sized(QStringLiteral("Tahoma"), pixelSize, bold); }
QFont CalibriFont(int pixelSize, bool bold) { return Sized(QStringLiteral("Calibri"), pixelSize, bold); }

}  // namespace rzl
