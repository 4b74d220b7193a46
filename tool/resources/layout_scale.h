// The dialogs are laid out at 2 pixels per dialog unit, where the layouts'
// original font gives 1.5; sizes given in pixels (list columns) scale alike.
#pragma once

namespace talvern {

constexpr int scaledPixels(int pixels) { return (pixels * 4 + 1) / 3; }

static_assert(scaledPixels(50) == 67 && scaledPixels(30) == 40);

}  // namespace talvern
