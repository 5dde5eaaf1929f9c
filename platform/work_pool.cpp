// Ordered work over a few threads, with a mutex and one condition for each direction.
#include "platform/work_pool.h"

#include <condition_variable>
#include <mutex>
#include <sched.h>
#include <thread>
#include <vector>

struct OrderedWork {
    std::mutex lock;
    std::condition_variable pieceDone;  // the taker waits here
    std::condition_variable slotFreed;  // the workers wait here
    int slotCount = 0;
    int pieceCount = 0;
    int nextPiece = 0;                  // the next piece to start
    int released = 0;                   // pieces before this are taken and released
    bool stopping = false;
    std::vector<int> doneInSlot;        // the piece each slot holds done, -1 when none
    void (*work)(void*, int, int, int) = nullptr;
    void* context = nullptr;
    std::vector<std::thread> threads;
};

int ProcessorCount() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
    unsigned count = std::thread::hardware_concurrency();
    return count > 0 ? int(count) : 1;
}

static void DoPieces(OrderedWork* work, int worker) {
    std::unique_lock<std::mutex> guard(work->lock);
    for (;;) {
        work->slotFreed.wait(guard, [work] {
            return work->stopping || work->nextPiece >= work->pieceCount ||
                   work->nextPiece < work->released + work->slotCount;
        });
        if (work->stopping || work->nextPiece >= work->pieceCount) return;
        int piece = work->nextPiece++;
        int slot = piece % work->slotCount;
        guard.unlock();
        work->work(work->context, piece, slot, worker);
        guard.lock();
        work->doneInSlot[size_t(slot)] = piece;
        work->pieceDone.notify_all();
    }
}

OrderedWork* StartOrderedWork(int threadCount, int slotCount, int pieceCount,
                              void (*work)(void* context, int piece, int slot, int worker), void* context) {
    OrderedWork* ordered = new (std::nothrow) OrderedWork;
    if (ordered == nullptr) return nullptr;
    ordered->slotCount = slotCount < 1 ? 1 : slotCount;
    ordered->pieceCount = pieceCount;
    ordered->doneInSlot.assign(size_t(ordered->slotCount), -1);
    ordered->work = work;
    ordered->context = context;
    try {
        for (int index = 0; index < threadCount; index++)
            ordered->threads.emplace_back(DoPieces, ordered, index);
    } catch (...) {
    }
    if (ordered->threads.empty()) {
        delete ordered;
        return nullptr;
    }
    return ordered;
}

int TakeWorkPiece(OrderedWork* work, int piece) {
    int slot = piece % work->slotCount;
    std::unique_lock<std::mutex> guard(work->lock);
    work->pieceDone.wait(guard, [work, slot, piece] { return work->doneInSlot[size_t(slot)] == piece; });
    return slot;
}

void ReleaseWorkPiece(OrderedWork* work, int piece) {
    std::lock_guard<std::mutex> guard(work->lock);
    if (piece + 1 > work->released) work->released = piece + 1;
    work->slotFreed.notify_all();
}

void EndOrderedWork(OrderedWork* work) {
    if (work == nullptr) return;
    {
        std::lock_guard<std::mutex> guard(work->lock);
        work->stopping = true;
        work->slotFreed.notify_all();
    }
    for (std::thread& thread : work->threads)
        thread.join();
    delete work;
}
