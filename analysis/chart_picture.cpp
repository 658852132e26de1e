#include "analysis/chart_picture.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include "platform/atomic_file.h"
#include "platform/prompts.h"
#include "platform/save_as.h"

namespace chart_picture {

QByteArray png(const QSize& size, const Paint& paint) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        paint(p, QRect(QPoint(0, 0), size));
    }
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return out;
}

QByteArray svg(const QSize& size, const Paint& paint, const QString& title) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(title);
    {
        QPainter p(&generator);
        paint(p, QRect(QPoint(0, 0), size));
    }
    return out;
}

bool save(const QString& path, const QSize& size, const Paint& paint, QString* reason) {
    const bool is_svg =
        QFileInfo(path).suffix().compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0;
    const QByteArray bytes =
        is_svg ? svg(size, paint, QFileInfo(path).completeBaseName()) : png(size, paint);
    if (bytes.isEmpty()) {
        if (reason) *reason = QStringLiteral("obrázek se nepodařilo vytvořit");
        return false;
    }
    return AtomicFile::write(path, {QByteArrayView(bytes)}, reason);
}

FileDialogRequest dialog(const QString& name) {
    FileDialogRequest r;
    r.title = QStringLiteral("Uložit obrázek");
    r.file_name = name;
    r.default_suffix = QStringLiteral("png");
    r.filters = {QStringLiteral("Obrázek PNG (*.png)"), QStringLiteral("Obrázek SVG (*.svg)")};
    r.overwrite_prompt = true;
    return r;
}

void save_as(Prompts& prompts, const QString& name, const QSize& size, const Paint& paint) {
    ::save_as(prompts, dialog(name), QStringLiteral("Uložit obrázek"),
              [&](const QString& path, QString* why) { return save(path, size, paint, why); });
}

}  // namespace chart_picture
