#pragma once

#include <QPixmap>

// The program's picture for the information boxes: a small trend on a dark plot,
// drawn in code so no image file travels with the program.
QPixmap program_picture(int size);
