#pragma once

#include <QByteArray>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>

class QPainter;
struct FileDialogRequest;
class Prompts;

// Pictures of a chart as PNG or SVG, written through the atomic file writer so a
// failed write leaves the previous file as it was.
namespace chart_picture {

using Paint = std::function<void(QPainter&, const QRect&)>;

QByteArray png(const QSize& size, const Paint& paint);
QByteArray svg(const QSize& size, const Paint& paint, const QString& title);

// The format follows the suffix: ".svg" is SVG, anything else PNG.
bool save(const QString& path, const QSize& size, const Paint& paint, QString* reason);

// The save dialog of "Uložit obrázek...".
FileDialogRequest dialog(const QString& name);
// That dialog, then the picture; a failure is told under "Uložit obrázek".
void save_as(Prompts& prompts, const QString& name, const QSize& size, const Paint& paint);

}  // namespace chart_picture
