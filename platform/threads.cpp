// Threads made by the program: started at once, released at once, yet still counted, so that shutdown
// and the script driver can wait for them while serving the calls they make into the window system.
#include "platform/window_system.h"

#include <QCoreApplication>
#include <atomic>
#include <new>
#include <thread>

namespace {
std::atomic<int> runningThreads{0};
} // namespace

struct ThreadTag {
    int priority = ThreadPriorityNormal; // the level it was given (the host schedules all alike)
};

ThreadHandle CreateThread(ThreadProcedure procedure, void* argument) {
    if (!procedure) return nullptr;
    auto* handle = new ThreadTag;
    runningThreads++;
    try {
        std::thread([procedure, argument] {
            try {
                procedure(argument);
            } catch (const std::bad_alloc&) {
                ShowOutOfMemoryBox(nullptr);
            }
            runningThreads--;
            WakeInterfaceThread();
        }).detach();
    } catch (...) {
        runningThreads--;
        delete handle;
        return nullptr;
    }
    return handle;
}

bool SetThreadPriority(ThreadHandle thread, int priority) {
    if (!thread || priority < 0 || priority > 7) return false;
    thread->priority = priority;
    return true;
}

bool CloseHandle(ThreadHandle thread) {
    delete thread;
    return thread != nullptr;
}

int RunningThreadCount() {
    return runningThreads;
}

void WaitForThreadsServingMessages() {
    while (runningThreads > 0) {
        if (OnInterfaceThread())
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        else
            std::this_thread::yield();
    }
    if (OnInterfaceThread()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        ApplyMergedUpdates();
    }
}
