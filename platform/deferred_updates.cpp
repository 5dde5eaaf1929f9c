// Progress shown by the search worker: texts, repaints and progress positions that the worker gives
// while it scans are handed over without waiting and applied on the user-interface thread at most once a
// frame, the latest value of each winning. Painting a progress step took the user-interface thread longer
// than the worker took to read a thousand records, so waiting for each step doubled a search's time.
//
// Order is kept where it matters: the handed-over updates are applied before any call that the worker
// then waits for (so the final texts and positions of a search land after its last progress step), before
// the window tree is described, and when a thread ends.
#include "platform/window_system.h"

#include <QCoreApplication>
#include <QTimer>
#include <mutex>
#include <string>
#include <vector>

namespace {

enum class UpdateKind { Text, Repaint, ProgressPosition };

struct DeferredUpdate {
    Window window;
    UpdateKind kind;
    std::u16string text; // for Text
    int position = 0;    // for ProgressPosition
};

constexpr int FrameMilliseconds = 16;

std::mutex deferredMutex;
std::vector<DeferredUpdate> deferred; // at most one per window and kind, in the order first given
bool applyScheduled = false;

void ScheduleApply() {
    PostToInterfaceThread([] {
        static QTimer* timer = nullptr;
        if (!timer) {
            timer = new QTimer;
            timer->setSingleShot(true);
            QObject::connect(timer, &QTimer::timeout, [] { ApplyDeferredUpdates(); });
        }
        if (!timer->isActive()) timer->start(FrameMilliseconds);
    });
}

void Defer(DeferredUpdate update) {
    std::lock_guard<std::mutex> lock(deferredMutex);
    bool replaced = false;
    for (DeferredUpdate& pending : deferred)
        if (pending.window == update.window && pending.kind == update.kind) {
            pending = std::move(update);
            replaced = true;
            break;
        }
    if (!replaced) deferred.push_back(std::move(update));
    if (!applyScheduled) {
        applyScheduled = true;
        ScheduleApply();
    }
}

} // namespace

void ApplyDeferredUpdates() {
    std::vector<DeferredUpdate> updates;
    {
        std::lock_guard<std::mutex> lock(deferredMutex);
        updates.swap(deferred);
        applyScheduled = false;
    }
    for (const DeferredUpdate& update : updates) {
        WindowRecord* record = FindWindowRecord(update.window);
        if (!record) continue;
        switch (update.kind) {
        case UpdateKind::Text:
            record->procedure(update.window, MessageSetText, 0,
                              reinterpret_cast<SecondParameter>(update.text.c_str()));
            break;
        case UpdateKind::ProgressPosition:
            record->procedure(update.window, ProgressSetPosition,
                              static_cast<FirstParameter>(update.position), 0);
            break;
        case UpdateKind::Repaint:
            if (record->windowClass->kind == ControlKind::ListView) ListViewTellNewRows(record);
            if (record->widget) record->widget->update();
            break;
        }
    }
}

void DeferText(Window window, const char16_t* text) {
    ObserveMessage(window, MessageSetText, 0, reinterpret_cast<SecondParameter>(text));
    Defer(DeferredUpdate{window, UpdateKind::Text, std::u16string(text), 0});
}

void DeferRepaint(Window window) {
    Defer(DeferredUpdate{window, UpdateKind::Repaint, std::u16string(), 0});
}

void DeferProgressPosition(Window window, int position) {
    ObserveMessage(window, ProgressSetPosition, static_cast<FirstParameter>(position), 0);
    Defer(DeferredUpdate{window, UpdateKind::ProgressPosition, std::u16string(), position});
}
