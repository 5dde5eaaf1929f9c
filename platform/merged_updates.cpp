// The merged road (see message_road.cpp): messages another thread hands over without waiting (texts,
// repaints, progress positions) are kept as the latest of each window and message and delivered on the
// window thread at most once a frame. Painting a progress step took the window thread longer than the
// worker took to read a thousand records, so waiting for each step doubled a search's time.
//
// Order is kept where it matters: what is merged is delivered before any call that another thread then
// waits for (message_road.cpp's RunOnInterfaceThread), before the window tree is described, and when a
// thread ends.
#include "platform/controls.h"

#include <QCoreApplication>
#include <QTimer>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct MergedMessage {
    Window window;
    uint32_t message;
    FirstParameter first;
    SecondParameter second;
    std::u16string text; // a text's own copy (the sender's buffer is gone by delivery)
};

constexpr int FrameMilliseconds = 16;

std::mutex mergedMutex;
std::vector<MergedMessage> merged; // at most one per window and message, in the order first given
bool applyScheduled = false;

void ScheduleApply() {
    PostToInterfaceThread([] {
        static QTimer* timer = nullptr;
        if (!timer) {
            timer = new QTimer;
            timer->setSingleShot(true);
            QObject::connect(timer, &QTimer::timeout, [] { ApplyMergedUpdates(); });
        }
        if (!timer->isActive()) timer->start(FrameMilliseconds);
    });
}

// A repaint handed over is a scheduled paint; a list view first learns of the rows its store took.
void PaintSoon(WindowRecord* record) {
    if (record->windowClass->kind == ControlKind::ListView) ListViewTellNewRows(record);
    if (record->widget) record->widget->update();
}

} // namespace

void MergeMessage(Window window, uint32_t message, FirstParameter first, SecondParameter second) {
    MergedMessage update{window, message, first, second, std::u16string()};
    if (message == MessageSetText) update.text = second ? reinterpret_cast<const char16_t*>(second) : u"";
    std::lock_guard<std::mutex> lock(mergedMutex);
    bool replaced = false;
    for (MergedMessage& pending : merged)
        if (pending.window == window && pending.message == message) {
            pending = std::move(update);
            replaced = true;
            break;
        }
    if (!replaced) merged.push_back(std::move(update));
    if (!applyScheduled) {
        applyScheduled = true;
        ScheduleApply();
    }
}

void ApplyMergedUpdates() {
    std::vector<MergedMessage> updates;
    {
        std::lock_guard<std::mutex> lock(mergedMutex);
        updates.swap(merged);
        applyScheduled = false;
    }
    // The observer heard each of these when it was handed over: they go to the procedures directly.
    for (const MergedMessage& update : updates) {
        WindowRecord* record = FindWindowRecord(update.window);
        if (!record) continue;
        if (update.message == MessagePaint) {
            PaintSoon(record);
            continue;
        }
        SecondParameter second = update.message == MessageSetText
                                     ? reinterpret_cast<SecondParameter>(update.text.c_str())
                                     : update.second;
        record->procedure(update.window, update.message, update.first, second);
    }
}
