// The static control ("static"): a text aligned left or centred, or the program's icon. Before it paints
// it asks its parent for the brush of its background, as the platform's static controls do.
#include "platform/controls.h"
#include "platform/program_icon.h"

#include <QLabel>
#include <QPainter>
#include <cmath>

namespace {

constexpr uint32_t StaticTypeBits = 0x3; // StaticLeft, StaticCentre or StaticIcon

class StaticFace : public QLabel {
  public:
    StaticFace(WindowRecord* record, QWidget* parent) : QLabel(parent), record_(record) {
        if (IsIcon(record)) {
            setPixmap(ProgramIcon(parent ? parent->devicePixelRatioF() : 1));
        } else {
            // A caption is text as it stands, never markup (a language text "<h1>" or "&amp;").
            setTextFormat(Qt::PlainText);
            setAlignment(
                ((record->style & StaticTypeBits) == StaticCentre ? Qt::AlignHCenter : Qt::AlignLeft) |
                Qt::AlignTop);
            setWordWrap(true);
        }
        if (record->style & StyleBorder) setFrameStyle(QFrame::Box | QFrame::Plain);
    }
    static bool IsIcon(const WindowRecord* record) { return (record->style & StaticTypeBits) == StaticIcon; }
    void paintEvent(QPaintEvent* event) override {
        if (record_->parent && !record_->destroyed) {
            Brush brush =
                static_cast<Brush>(SendMessage(record_->parent, MessageStaticColour, 0,
                                               reinterpret_cast<SecondParameter>(HandleOf(record_))));
            if (brush) {
                QPainter painter(this);
                painter.fillRect(rect(),
                                 brush == StockWhiteBrush ? QColor(Qt::white) : QColor(0xEC, 0xEC, 0xEC));
            }
        }
        QLabel::paintEvent(event);
    }

  private:
    // The program's icon, drawn rather than loaded: at the zoom, in the screen's own pixels.
    static QPixmap ProgramIcon(double pixelRatio) {
        int size = int(std::lround(ToWindowPixels(ProgramIconGrid) * pixelRatio));
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            DrawProgramIcon(painter, size);
        }
        pixmap.setDevicePixelRatio(pixelRatio);
        return pixmap;
    }

    WindowRecord* record_; // its window
};

QWidget* CreateStaticFace(WindowRecord* record, QWidget* parentWidget) {
    return new StaticFace(record, parentWidget);
}

void ShowStaticText(WindowRecord* record) {
    if (StaticFace::IsIcon(record)) return;
    auto* face = static_cast<StaticFace*>(record->widget);
    face->setText(ToQString(record->text));
    ShowLabelText(face);
    // A text that widens over its row takes the room its new text needs; the sibling after it yields.
    if ((record->anchors & AnchorWidenToText) && DesktopFaceShown())
        if (WindowRecord* parent = FindWindowRecord(record->parent)) PlaceChildren(parent);
}

} // namespace

const ControlFunctions StaticFunctions = {CreateStaticFace, nullptr, ShowStaticText};
