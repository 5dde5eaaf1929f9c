// The message loop and the carrying of calls between threads: posted messages and the loop's fetch
// (which serves Qt's events while no posted message waits), and the carrier that takes a call from
// another thread to the window thread as a posted Qt event, waiting or not. Which call takes which road
// is message_road.cpp's business.
#include "platform/handover.h"
#include "platform/window_system.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <new>

namespace {

std::mutex postedMutex;
std::deque<Message> posted; // posted messages, served by GetMessage
std::atomic<bool> quitPosted{false};
std::atomic<int> quitCode{0};
std::atomic<bool> windowSystemEnded{false};
IdleHook idleHook = nullptr;

// A call from another thread, carried to the window thread as a posted Qt event. When the event is
// dropped unserved (the window system goes away), its destructor releases the caller.
struct PendingCall {
    std::function<void()> work;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool ran = false;
};

class CallEvent : public QEvent {
  public:
    static QEvent::Type type() {
        static int registered = QEvent::registerEventType();
        return static_cast<QEvent::Type>(registered);
    }
    explicit CallEvent(std::shared_ptr<PendingCall> call) : QEvent(type()), call_(std::move(call)) {}
    ~CallEvent() override { Finish(false); }
    void Run() {
        call_->work();
        Finish(true);
    }

  private:
    void Finish(bool ran) {
        std::lock_guard<std::mutex> lock(call_->mutex);
        if (call_->done) return;
        call_->done = true;
        call_->ran = ran;
        call_->finished.notify_all();
    }
    std::shared_ptr<PendingCall> call_;
};

class CallReceiver : public QObject {
  public:
    bool event(QEvent* event) override {
        TakeOverEvent(event);
        if (event->type() == CallEvent::type()) {
            static_cast<CallEvent*>(event)->Run();
            return true;
        }
        return QObject::event(event);
    }
};

CallReceiver* Receiver() {
    static CallReceiver* receiver = nullptr;
    if (!receiver) {
        receiver = new CallReceiver;
        receiver->moveToThread(QCoreApplication::instance()->thread());
    }
    return receiver;
}

std::shared_ptr<PendingCall> PostCall(const std::function<void()>& work) {
    auto call = std::make_shared<PendingCall>();
    call->work = work;
    auto* event = new CallEvent(call);
    HandOverEvent(event);
    QCoreApplication::postEvent(Receiver(), event);
    return call;
}

} // namespace

// --- Between threads -----------------------------------------------------------------------------------

bool OnInterfaceThread() {
    QCoreApplication* application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

void WakeInterfaceThread() {
    QCoreApplication* application = QCoreApplication::instance();
    if (!application) return;
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(application->thread()))
        dispatcher->wakeUp();
}

bool CarryToInterfaceThread(const std::function<void()>& work) {
    if (windowSystemEnded || !QCoreApplication::instance()) return false;
    std::shared_ptr<PendingCall> call = PostCall(work);
    std::unique_lock<std::mutex> lock(call->mutex);
    call->finished.wait(lock, [&] { return call->done; });
    return call->ran;
}

void PostToInterfaceThread(const std::function<void()>& work) {
    if (windowSystemEnded || !QCoreApplication::instance()) return;
    PostCall(work);
}

bool WindowSystemEnded() {
    return windowSystemEnded;
}

void SetWindowSystemEnded(bool ended) {
    windowSystemEnded = ended;
}

// --- Posted messages and the loop ----------------------------------------------------------------------

bool PostMessage(Window window, uint32_t message, FirstParameter first, SecondParameter second) {
    {
        std::lock_guard<std::mutex> lock(postedMutex);
        posted.push_back(Message{window, message, first, second});
    }
    WakeInterfaceThread();
    return true;
}

void PostQuitMessage(int exitCode) {
    quitCode = exitCode;
    quitPosted = true;
    PostMessage(nullptr, MessageQuit, static_cast<FirstParameter>(exitCode), 0);
}

bool QuitPosted() {
    return quitPosted;
}
int QuitCode() {
    return quitCode;
}

bool GetMessage(Message* message) {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(postedMutex);
            if (!posted.empty()) {
                *message = posted.front();
                posted.pop_front();
                return message->message != MessageQuit;
            }
        }
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        {
            std::lock_guard<std::mutex> lock(postedMutex);
            if (!posted.empty()) continue;
        }
        if (idleHook && idleHook()) continue;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

bool TranslateMessage(const Message*) {
    return false;
}

MessageResult DispatchMessage(const Message* message) {
    if (!message->window) return 0;
    try {
        return SendMessage(message->window, message->message, message->first, message->second);
    } catch (const std::bad_alloc&) {
        ShowOutOfMemoryBox(nullptr);
        return 0;
    }
}

void SetIdleHook(IdleHook hook) {
    idleHook = hook;
}

void ResetMessageLoop() {
    {
        std::lock_guard<std::mutex> lock(postedMutex);
        posted.clear();
    }
    quitPosted = false;
    quitCode = 0;
    windowSystemEnded = false;
}
