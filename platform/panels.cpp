// Faces that hold no control: the plain panel of a window of a registered class (the program's pages and
// its main window), painted with the class brush, and the input-panel preference ("SIPPREF"), which has
// no counterpart here and shows nothing.
#include "platform/controls.h"
#include "platform/user_input.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFrame>
#include <QMimeData>

namespace {

// The first local file a drag carries; empty when it carries none.
std::string DraggedLocalFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return std::string();
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return QFile::encodeName(url.toLocalFile()).toStdString(); // the host's bytes
    return std::string();
}

} // namespace

bool CarriesLocalFile(const QMimeData* data) {
    return !DraggedLocalFile(data).empty();
}

bool DropFileOnWindow(WindowRecord* inside, const QMimeData* data) {
    std::string path = DraggedLocalFile(data);
    WindowRecord* topLevel = inside;
    while (topLevel && topLevel->parent)
        topLevel = FindWindowRecord(topLevel->parent);
    return !path.empty() && topLevel && UserDropFile(topLevel, path);
}

namespace {

// A top-level window's panel takes a file dropped on it (a database to open).
class TopLevelPanel : public QFrame {
  public:
    explicit TopLevelPanel(WindowRecord* record) : record(record) { setAcceptDrops(true); }

  protected:
    // On a desktop the user sizes the window: the device's windows inside follow it.
    void resizeEvent(QResizeEvent* event) override {
        QFrame::resizeEvent(event);
        if (DesktopFaceShown() && !record->destroyed) PlaceChildren(record);
    }
    void dragEnterEvent(QDragEnterEvent* event) override {
        if (!DraggedLocalFile(event->mimeData()).empty()) event->acceptProposedAction();
    }
    void dropEvent(QDropEvent* event) override {
        std::string path = DraggedLocalFile(event->mimeData());
        if (path.empty()) return;
        event->acceptProposedAction();
        UserDropFile(record, path);
    }

  private:
    WindowRecord* record; // the window the panel is the face of
};

QColor BrushColour(Brush brush) {
    if (brush == StockWhiteBrush) return Qt::white;
    if (brush == (SystemColourFlag | ColourStatic)) return QColor(0xEC, 0xEC, 0xEC);
    return Qt::white;
}

QWidget* CreatePanelFace(WindowRecord* record, QWidget* parentWidget) {
    QFrame* frame = parentWidget ? new QFrame(parentWidget) : new TopLevelPanel(record);
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
