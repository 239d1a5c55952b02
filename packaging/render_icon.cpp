// Renders the SVG icon into PNG files of the given square sizes, for the hicolor icon theme:
//   rzl-render-icon ICON.svg OUTDIR SIZE... writes OUTDIR/SIZExSIZE/apps/<name>.png
// and the windows' pictures for a build without Qt Svg, SCALE times their own size:
//   rzl-render-icon --picture PICTURE.svg OUT.png SCALE

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");  // a build step: no display
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == QLatin1String("--picture")) {
        QSvgRenderer picture(args[2]);
        const int scale = args[4].toInt();
        if (!picture.isValid() || scale <= 0) {
            std::fprintf(stderr, "rzl-render-icon: cannot render %s\n", qPrintable(args[2]));
            return 1;
        }
        QImage image(picture.defaultSize() * scale, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        picture.render(&painter);
        painter.end();
        if (!image.save(args[3], "PNG")) {
            std::fprintf(stderr, "rzl-render-icon: cannot write %s\n", qPrintable(args[3]));
            return 1;
        }
        return 0;
    }
    if (args.size() < 4) {
        std::fputs("usage: rzl-render-icon ICON.svg OUTDIR SIZE...\n", stderr);
        return 1;
    }
    QSvgRenderer renderer(args[1]);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "rzl-render-icon: cannot read %s\n", qPrintable(args[1]));
        return 1;
    }
    const QString name = QFileInfo(args[1]).completeBaseName() + QStringLiteral(".png");
    for (const QString& sizeText : args.mid(3)) {
        const int size = sizeText.toInt();
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(args[2]).arg(size);
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        if (size <= 0 || !QDir().mkpath(dir) || !image.save(dir + '/' + name, "PNG")) {
            std::fprintf(stderr, "rzl-render-icon: cannot write %s/%s\n", qPrintable(dir), qPrintable(name));
            return 1;
        }
    }
    return 0;
}
