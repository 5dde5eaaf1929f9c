// The screen the device reports (the host's, or the one --screen gives) and the program's pointer.
#include "platform/window_system.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

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

void SetDisplayZoom(double zoom) {
    displayZoom = zoom;
}

double DisplayZoom() {
    return displayZoom;
}

int GetSystemMetrics(int metric) {
    int value = 0;
    RunOnInterfaceThread([&] {
        if (screenWidth == 0) {
            QScreen* screen = QGuiApplication::primaryScreen();
            QSize size = screen ? screen->size() : QSize(240, 320);
            screenWidth = size.width();
            screenHeight = size.height();
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
