// The application icon (resource 128), drawn from the program's own SVG at
// the sizes the desktop asks for.
#pragma once

#include <QIcon>

namespace talvern {

// The icon with images from 16 to 256 pixels.
QIcon applicationIcon();

}  // namespace talvern
