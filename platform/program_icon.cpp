// The program's icon as a table of shapes: a directory card with a handset, on a blue rounded square.
#include "platform/program_icon.h"

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QPainter>
#include <cstdio>

// Declared with its count in the header: a row more or fewer here does not compile.
// clang-format off
const IconPart ProgramIconParts[] = {
    {IconShape::RoundedRectangle, 1,  1,  30, 30, 6, 0x1F5FA8},
    {IconShape::RoundedRectangle, 6,  5,  20, 22, 2, 0xFFFFFF},
    {IconShape::Rectangle,        9,  9,  14, 2,  0, 0x1F5FA8},
    {IconShape::Rectangle,        9,  13, 10, 2,  0, 0x1F5FA8},
    {IconShape::Rectangle,        9,  17, 12, 2,  0, 0x1F5FA8},
    {IconShape::Ellipse,          18, 19, 7,  7,  0, 0xE04030},
};
// clang-format on

void DrawProgramIcon(QPainter& painter, int size) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // At the grid's own size the painter is left untouched, so the About page's pixels are the integer
    // drawing's; every other size is the same drawing scaled.
    if (size != ProgramIconGrid)
        painter.scale(double(size) / ProgramIconGrid, double(size) / ProgramIconGrid);
    for (const IconPart& part : ProgramIconParts) {
        painter.setBrush(QColor((part.colour >> 16) & 0xFF, (part.colour >> 8) & 0xFF, part.colour & 0xFF));
        switch (part.shape) {
        case IconShape::RoundedRectangle:
            painter.drawRoundedRect(part.x, part.y, part.width, part.height, part.radius, part.radius);
            break;
        case IconShape::Rectangle:
            painter.drawRect(part.x, part.y, part.width, part.height);
            break;
        case IconShape::Ellipse:
            painter.drawEllipse(part.x, part.y, part.width, part.height);
            break;
        }
    }
    painter.restore();
}

QIcon ProgramWindowIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        DrawProgramIcon(painter, size);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// An SVG attribute, a space before it; the value is given in half grid units, as a centre or radius may
// lie halfway between two units.
static std::string Attribute(const char* name, int halfUnits) {
    return std::string(" ") + name + "=\"" + std::to_string(halfUnits / 2) + (halfUnits % 2 ? ".5" : "") +
           "\"";
}

std::string ProgramIconSvg() {
    std::string grid = std::to_string(ProgramIconGrid);
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      grid + "\" height=\"" + grid + "\" viewBox=\"0 0 " + grid + " " + grid + "\">\n";
    for (const IconPart& part : ProgramIconParts) {
        if (part.shape == IconShape::Ellipse) {
            svg += "  <ellipse" + Attribute("cx", 2 * part.x + part.width) +
                   Attribute("cy", 2 * part.y + part.height) + Attribute("rx", part.width) +
                   Attribute("ry", part.height);
        } else {
            svg += "  <rect" + Attribute("x", 2 * part.x) + Attribute("y", 2 * part.y) +
                   Attribute("width", 2 * part.width) + Attribute("height", 2 * part.height);
            if (part.shape == IconShape::RoundedRectangle)
                svg += Attribute("rx", 2 * part.radius) + Attribute("ry", 2 * part.radius);
        }
        char colour[8];
        std::snprintf(colour, sizeof colour, "#%06X", unsigned(part.colour & 0xFFFFFF));
        svg += std::string(" fill=\"") + colour + "\"/>\n";
    }
    return svg + "</svg>\n";
}
