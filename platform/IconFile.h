// A picture of the window as an icon file (.ico), the form the Windows programs carry their
// icon in.
#pragma once

#include <string>

#include "widgets/Widgets.h"

// The bitmap as a one-image icon file of 16 colours, every pixel opaque. Throws
// std::invalid_argument for a colour outside the 16-colour palette.
std::string IconFile(const TBitmap& bitmap);
