// The pictures of the test platform window, in the 16 colours of the window's description.
#pragma once

#include "widgets/Widgets.h"

// 32 x 32: a cyan partial-derivative sign on black; the window's and the program's icon.
TBitmap QuilIcon();
// 32 x 16: the normal and the disabled image of each button, side by side, on olive.
TBitmap ExitGlyph();
TBitmap RunGlyph();
