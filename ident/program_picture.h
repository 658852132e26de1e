#pragma once

#include <QPixmap>

// The program's own picture for the information boxes: a dial with the trend line,
// drawn in code so no image file travels with the program.
QPixmap program_picture(int size);
