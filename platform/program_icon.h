// The program's icon: one design, painted by the About page at 32 device pixels and by the build into the
// desktop's icon files (PNGs of every size and an SVG), so that they all show the same picture.
#pragma once

#include <cstdint>
#include <string>

class QIcon;
class QPainter;

enum class IconShape { RoundedRectangle, Rectangle, Ellipse };

// One shape of the icon on its grid, painted in table order over the ones before it.
struct IconPart {
    IconShape shape;
    int x, y, width, height; // the shape's bounding rectangle, in grid units
    int radius;              // the corners' radius of a rounded rectangle, in grid units
    uint32_t colour;         // 0xRRGGBB, opaque
};

// The icon's own size: at this many pixels one grid unit is one pixel.
inline constexpr int ProgramIconGrid = 32;
inline constexpr int ProgramIconPartCount = 6;
extern const IconPart ProgramIconParts[ProgramIconPartCount];

// Paints the icon at size x size pixels from the painter's origin, with antialiasing and no pen.
void DrawProgramIcon(QPainter& painter, int size);

// The icon a desktop window carries (its title bar, the taskbar), drawn at the sizes desktops ask for.
QIcon ProgramWindowIcon();

// The icon as an SVG document whose view box is the grid.
std::string ProgramIconSvg();
