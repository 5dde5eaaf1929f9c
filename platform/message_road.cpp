// The road every message to a window takes. SendMessage sends it (SetWindowText and UpdateWindow send
// theirs through it too). On the window thread a message is delivered at once. From another thread (the
// search worker) the table below says which road it takes; a message the table does not name waits.
//
//   wait      carried to the window thread; the sender waits for the procedure's result. Before it
//             runs, everything merged is delivered, so a waited call never overtakes what was handed
//             over before it (the final counts land after the last progress step). Every window call
//             that is not a message (enable, show, move, a message box...) takes this road too.
//   merge     handed over without waiting: the latest of each window and message is delivered once a
//             frame (merged_updates.cpp); the sender gets the table's answer at once.
//   row store a list view's rows live in a store the sender's thread may use under its lock
//             (list_view_messages.cpp): the row is in before the sender goes on. A call the store cannot
//             serve alone (a row inserted before the end, a text to keep) waits instead.
//
// The message observer hears a waited message when it is delivered, and a merged or stored one when it
// is handed over, on the sender's thread.
#include "platform/controls.h"

#include <atomic>
#include <mutex>

namespace {

enum class Road { AtOnce, Wait, Merge, RowStore };

struct RoadRow {
    uint32_t message;
    ControlKind kind;     // the windows the row applies to
    Road road;            // from another thread
    MessageResult answer; // what a merged message returns to its sender
};

// clang-format off
constexpr RoadRow roads[] = {
    // message             windows                 road            answer  sent by the worker for
    {MessageSetText,       ControlKind::Any,       Road::Merge,    1},  // status, query details, Start/Stop caption
    {MessagePaint,         ControlKind::Any,       Road::Merge,    1},  // the redraws of progress and first rows
    {ProgressSetPosition,  ControlKind::Progress,  Road::Merge,    0},  // progress (the position before is unknown here)
    {ListViewInsertItem,   ControlKind::ListView,  Road::RowStore, 0},  // a row per match, every text on demand
    {ListViewSetItemText,  ControlKind::ListView,  Road::RowStore, 0},  // a text on demand (not sent any more)
    {ListViewGetItem,      ControlKind::ListView,  Road::RowStore, 0},  // the rows' items, to free them
    {ListViewGetItemCount, ControlKind::ListView,  Road::RowStore, 0},
};
// clang-format on

std::mutex observerMutex; // the observer hears from both threads
MessageObserver messageObserver;
std::atomic<bool> observing{false};

// The road of a message; the row that says so in *row for the merge.
Road RoadOf(Window window, uint32_t message, const RoadRow** row) {
    if (OnInterfaceThread()) return Road::AtOnce;
    for (const RoadRow& candidate : roads)
        if (candidate.message == message &&
            (candidate.kind == ControlKind::Any || candidate.kind == KindOfWindow(window))) {
            *row = &candidate;
            return candidate.road;
        }
    return Road::Wait;
}

MessageResult WaitForDelivery(Window window, uint32_t message, FirstParameter first, SecondParameter second) {
    MessageResult result = 0;
    RunOnInterfaceThread([&] { result = DeliverMessage(window, message, first, second); });
    return result;
}

} // namespace

// Codes: the procedure's result; a merged message's answer from the table; 0 when no procedure got the
// message (no such window, or the window system has ended).
MessageResult SendMessage(Window window, uint32_t message, FirstParameter first, SecondParameter second) {
    if (WindowSystemEnded()) return 0;
    const RoadRow* row = nullptr;
    switch (RoadOf(window, message, &row)) {
    case Road::AtOnce:
        return DeliverMessage(window, message, first, second);
    case Road::Merge:
        ObserveMessage(window, message, first, second);
        MergeMessage(window, message, first, second);
        return row->answer;
    case Road::RowStore: {
        MessageResult result = 0;
        if (!ListViewRowStoreMessage(window, message, first, second, &result))
            return WaitForDelivery(window, message, first, second);
        ObserveMessage(window, message, first, second);
        return result;
    }
    case Road::Wait:
        break;
    }
    return WaitForDelivery(window, message, first, second);
}

bool RunOnInterfaceThread(const std::function<void()>& work) {
    if (OnInterfaceThread()) {
        work();
        return true;
    }
    return CarryToInterfaceThread([&] {
        ApplyMergedUpdates();
        work();
    });
}

MessageResult DeliverMessage(Window window, uint32_t message, FirstParameter first, SecondParameter second) {
    if (WindowSystemEnded()) return 0;
    WindowRecord* record = FindWindowRecord(window);
    if (!record) return 0;
    ObserveMessage(window, message, first, second);
    return record->procedure(window, message, first, second);
}

void ObserveMessage(Window window, uint32_t message, FirstParameter first, SecondParameter second) {
    if (!observing) return;
    std::lock_guard<std::mutex> lock(observerMutex);
    if (messageObserver) messageObserver(window, message, first, second);
}

void SetMessageObserver(MessageObserver observer) {
    std::lock_guard<std::mutex> lock(observerMutex);
    messageObserver = std::move(observer);
    observing = static_cast<bool>(messageObserver);
}
