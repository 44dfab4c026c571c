#pragma once

#include <windows.h>

#include "app/control_table.hpp"
#include "handles.hpp"

namespace corvalis::win32 {

// The logo and the two lights, decoded once from the executable's resources.
class Artwork {
public:
    explicit Artwork(HINSTANCE instance);

    [[nodiscard]] HBITMAP bitmap(app::Artwork artwork) const;

    // Draws the picture at its natural size for the DPI (never stretched to the control).
    void draw(app::Artwork artwork, HDC dc, POINT origin, int dpi) const;

private:
    UniqueBitmap logo_;
    UniqueBitmap lightRed_;
    UniqueBitmap lightGreen_;
};

}  // namespace corvalis::win32
