#pragma once

#include <QImage>
#include <QPixmap>
#include <QString>

// The program's picture for the information boxes: a small trend on a dark plot,
// drawn in code so no image file travels with the program.
QPixmap program_picture(int size);

// The same picture painted at size × size from its shapes (sharp at any size), and as
// an SVG document; the desktop icons are made from these so they match the About box.
QImage program_picture_image(int size);
QString program_picture_svg();
