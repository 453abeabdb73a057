#pragma once

#include <QImage>

// The pictures an installation carries: the program icon (a time card with a clock face) at
// any square size, and the start-up picture of the login screen.
QImage drawProgramIcon(int size);
QImage drawStartupPicture();
