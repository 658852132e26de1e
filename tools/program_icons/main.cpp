// Writes the desktop icons from the About box's picture: PNGs at the usual sizes and
// an SVG, into OUTDIR/hicolor/<size>/apps/tx20.{png,svg}.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <cstdio>

#include "ident/program_picture.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: program_icons OUTDIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        const QString file = out.filePath(dir + QStringLiteral("/tx20.png"));
        if (!out.mkpath(dir) || !program_picture_image(size).save(file, "PNG")) {
            std::fprintf(stderr, "program_icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    const QString dir = QStringLiteral("hicolor/scalable/apps");
    QFile svg(out.filePath(dir + QStringLiteral("/tx20.svg")));
    if (!out.mkpath(dir) || !svg.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        svg.write(program_picture_svg().toUtf8()) < 0) {
        std::fprintf(stderr, "program_icons: cannot write %s\n", qPrintable(svg.fileName()));
        return 1;
    }
    return 0;
}
