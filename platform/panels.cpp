// Faces that hold no control: the plain panel of a window of a registered class (the program's pages and
// its main window), painted with the class brush, and the input-panel preference ("SIPPREF"), which has
// no counterpart here and shows nothing.
#include "platform/controls.h"

#include <QFrame>

namespace {

QColor BrushColour(Brush brush) {
    if (brush == StockWhiteBrush) return Qt::white;
    if (brush == (SystemColourFlag | ColourStatic)) return QColor(0xEC, 0xEC, 0xEC);
    return Qt::white;
}

QWidget* CreatePanelFace(WindowRecord* record, QWidget* parentWidget) {
    auto* frame = new QFrame(parentWidget);
    if (record->extendedStyle & ExtendedClientEdge) frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setAutoFillBackground(true);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, BrushColour(record->windowClass->background));
    frame->setPalette(palette);
    if (!parentWidget) {
        frame->setWindowTitle(PlainWindowTitle(record->text));
        frame->setAttribute(Qt::WA_QuitOnClose, false);
    }
    return frame;
}

QWidget* CreateInputPanelFace(WindowRecord*, QWidget* parentWidget) {
    return new QWidget(parentWidget);
}

} // namespace

const ControlFunctions PanelFunctions = {CreatePanelFace, nullptr, nullptr};
const ControlFunctions InputPanelFunctions = {CreateInputPanelFace, nullptr, nullptr};
