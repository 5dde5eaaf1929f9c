// The screen the device reports (the host's, or the one --screen gives) and the program's pointer.
#include "platform/window_system.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace {
int screenWidth = 0, screenHeight = 0;
Cursor currentCursor = ArrowCursor;
double displayZoom = 1;
} // namespace

QFont ProgramFont() {
    QFont font("DejaVu Sans Condensed");
    font.setPixelSize(11);
    return font;
}

QFont ZoomedProgramFont() {
    QFont font = ProgramFont();
    // Rounded down: every shipped text fits its control at 11 pixels, and so at any smaller share.
    font.setPixelSize(std::max(1, int(font.pixelSize() * displayZoom)));
    return font;
}

void SetDisplayZoom(double zoom) {
    displayZoom = zoom;
}

double DisplayZoom() {
    return displayZoom;
}

int ToWindowPixels(int devicePixels) {
    return int(std::lround(devicePixels * displayZoom));
}

int ToDevicePixels(int windowPixels) {
    return int(std::lround(windowPixels / displayZoom));
}

double ChooseZoom(int availableHeight, double logicalDpi, double desktopFontPixels, int windowHeight,
                  int chromePixels) {
    constexpr int MinimumQuarters = 2, MaximumQuarters = 32; // 0.5 to 8
    double programFontPixels = ProgramFont().pixelSize();
    double wanted = std::max(desktopFontPixels / programFontPixels, 1.5 * logicalDpi / 96);
    int quarters = std::clamp(int(std::ceil(wanted * 4 - 1e-9)), MinimumQuarters, MaximumQuarters);
    while (quarters > MinimumQuarters && windowHeight * quarters / 4.0 + chromePixels > availableHeight)
        quarters--;
    return quarters / 4.0;
}

int GetSystemMetrics(int metric) {
    int value = 0;
    RunOnInterfaceThread([&] {
        if (screenWidth == 0) {
            QScreen* screen = QGuiApplication::primaryScreen();
            // The host's screen in device pixels: at zoom 2 a 1080-pixel screen holds 540 of them.
            QSize size = screen ? screen->size() : QSize(240, 320);
            screenWidth = ToDevicePixels(size.width());
            screenHeight = ToDevicePixels(size.height());
        }
        value = metric == MetricScreenWidth ? screenWidth : metric == MetricScreenHeight ? screenHeight : 0;
    });
    return value;
}

void SetScreenSize(int width, int height) {
    screenWidth = width;
    screenHeight = height;
}

Cursor SetCursor(Cursor cursor) {
    Cursor previous = currentCursor;
    RunOnInterfaceThread([&] {
        if (cursor == currentCursor) return;
        if (currentCursor == WaitCursor) QApplication::restoreOverrideCursor();
        if (cursor == WaitCursor) QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        currentCursor = cursor;
    });
    return previous;
}
