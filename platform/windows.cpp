// Window records, classes, messages, the message loop and message boxes over Qt Widgets.
#include "platform/window_system.h"

#include "platform/handover.h"
#include "platform/text.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace {

std::vector<ClassRecord*> classes;
// index = handle - 1. Records live as long as the process (a handle never names another window), so
// the table itself is never destroyed: static destruction at exit would leave the records unreachable.
std::vector<WindowRecord*>& windows = *new std::vector<WindowRecord*>;
std::mutex windowsMutex; // held while the table grows (user-interface thread) and by readers on other threads
std::mutex observerMutex; // the observer hears from both threads
std::mutex postedMutex;
std::deque<Message> posted; // posted messages, served by GetMessage
std::atomic<bool> quitPosted{false};
std::atomic<int> quitCode{0};
std::atomic<bool> windowSystemEnded{false};
MessageBoxHook messageBoxHook = nullptr;
MessageObserver messageObserver;
IdleHook idleHook = nullptr;
int screenWidth = 0, screenHeight = 0;
std::u16string failingClass;
Cursor currentCursor = ArrowCursor;

// A call from another thread, carried to the user-interface thread as a posted Qt event. When the
// event is dropped unserved (the window system goes away), its destructor releases the caller.
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
        receiver->moveToThread(QApplication::instance()->thread());
    }
    return receiver;
}

ClassRecord* FindClass(const char16_t* name) {
    if (!name) return nullptr;
    for (ClassRecord* record : classes)
        if (SameTextIgnoringAsciiCase(record->name, name)) return record;
    return nullptr;
}

struct BuiltInClass {
    const char16_t* name;
    ControlKind kind;
};
constexpr BuiltInClass builtInClasses[] = {
    {u"static",            ControlKind::Static    },
    {u"edit",              ControlKind::Edit      },
    {u"BUTTON",            ControlKind::Button    },
    {u"combobox",          ControlKind::ComboBox  },
    {u"Listbox",           ControlKind::ListBox   },
    {u"SysListView32",     ControlKind::ListView  },
    {u"msctls_progress32", ControlKind::Progress  },
    {u"SysTabControl32",   ControlKind::Tab       },
    {u"SIPPREF",           ControlKind::InputPanel},
};

void RegisterBuiltInClasses() {
    if (!classes.empty()) return;
    for (const BuiltInClass& builtIn : builtInClasses)
        classes.push_back(new ClassRecord{builtIn.name, DefWindowProc, 0, builtIn.kind});
}

QColor BrushColour(Brush brush) {
    if (brush == StockWhiteBrush) return Qt::white;
    if (brush == (SystemColourFlag | ColourStatic)) return QColor(0xEC, 0xEC, 0xEC);
    return Qt::white;
}

// A window title as it stands: Qt takes "[*]" as the place of a modified mark and drops it; doubled, it
// shows once.
QString PlainWindowTitle(const std::u16string& text) {
    return QString::fromStdU16String(text).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

// The face of a window of a registered class: a plain panel painted with the class brush.
QWidget* CreatePanelWidget(WindowRecord* record, QWidget* parentWidget) {
    auto* frame = new QFrame(parentWidget);
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

void ApplyGeometry(WindowRecord* record) {
    if (!record->widget) return;
    if (!record->parent) {
        record->widget->setFixedSize(record->width, record->height);
        if (record->x != UseDefaultPosition) record->widget->move(record->x, record->y);
    } else if (record->windowClass->kind == ControlKind::ComboBox) {
        // A combo box's height includes its drop-down list; the closed box is one line high.
        record->widget->setGeometry(record->x, record->y, record->width, std::min(record->height, 20));
    } else {
        record->widget->setGeometry(record->x, record->y, record->width, record->height);
    }
}

// Top-level windows send the close message instead of closing when the user closes them.
class CloseFilter : public QObject {
  public:
    // Owned by the widget it watches, so it goes with it.
    CloseFilter(Window window, QObject* owner) : QObject(owner), window_(window) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Close) {
            event->ignore();
            SendMessage(window_, MessageClose, 0, 0);
            return true;
        }
        return false;
    }

  private:
    Window window_;
};

void DestroyRecord(WindowRecord* record, bool sendMessages) {
    if (record->destroyed) return;
    if (sendMessages) SendMessage(HandleOf(record), MessageDestroy, 0, 0);
    for (Window child : record->children)
        if (WindowRecord* childRecord = FindWindowRecord(child)) DestroyRecord(childRecord, sendMessages);
    record->destroyed = true;
    if (record->widget) {
        record->widget->hide();
        record->widget->deleteLater();
        record->widget = nullptr;
    }
}

} // namespace

// --- Records -----------------------------------------------------------------------------------------

WindowRecord* FindWindowRecord(Window window) {
    uintptr_t handle = reinterpret_cast<uintptr_t>(window);
    if (handle == 0 || handle > windows.size()) return nullptr;
    WindowRecord* record = windows[handle - 1];
    return record->destroyed ? nullptr : record;
}

const std::vector<WindowRecord*>& AllWindowRecords() {
    return windows;
}

Window HandleOf(const WindowRecord* record) {
    return reinterpret_cast<Window>(record->handle);
}

ControlKind KindOfWindow(Window window) {
    uintptr_t handle = reinterpret_cast<uintptr_t>(window);
    std::lock_guard<std::mutex> lock(windowsMutex);
    if (handle == 0 || handle > windows.size()) return ControlKind::Registered;
    // A record's class never changes once it is made.
    return windows[handle - 1]->windowClass->kind;
}

void ObserveMessage(Window window, uint32_t message, FirstParameter first, SecondParameter second) {
    std::lock_guard<std::mutex> lock(observerMutex);
    if (messageObserver) messageObserver(window, message, first, second);
}

// --- Threads of control --------------------------------------------------------------------------------

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

bool RunOnInterfaceThread(const std::function<void()>& work) {
    if (OnInterfaceThread()) {
        work();
        return true;
    }
    if (windowSystemEnded || !QCoreApplication::instance()) return false;
    auto call = std::make_shared<PendingCall>();
    // What the caller handed over before must land before what it now waits for.
    call->work = [work] {
        ApplyDeferredUpdates();
        work();
    };
    auto* event = new CallEvent(call);
    HandOverEvent(event);
    QCoreApplication::postEvent(Receiver(), event);
    std::unique_lock<std::mutex> lock(call->mutex);
    call->finished.wait(lock, [&] { return call->done; });
    return call->ran;
}

void PostToInterfaceThread(const std::function<void()>& work) {
    if (windowSystemEnded || !QCoreApplication::instance()) return;
    auto call = std::make_shared<PendingCall>();
    call->work = work;
    auto* event = new CallEvent(call);
    HandOverEvent(event);
    QCoreApplication::postEvent(Receiver(), event);
}

// --- Classes and windows -------------------------------------------------------------------------------

uint16_t RegisterWindowClass(const WindowClass* windowClass) {
    uint16_t atom = 0;
    RunOnInterfaceThread([&] {
        RegisterBuiltInClasses();
        if (!windowClass || !windowClass->className || !windowClass->procedure) return;
        if (FindClass(windowClass->className)) return;
        classes.push_back(new ClassRecord{windowClass->className, windowClass->procedure,
                                          windowClass->background, ControlKind::Registered});
        atom = static_cast<uint16_t>(0xC000 + classes.size());
    });
    return atom;
}

Window CreateWindowEx(uint32_t extendedStyle, const char16_t* className, const char16_t* text, uint32_t style,
                      int x, int y, int width, int height, Window parent, int id, Instance,
                      void* creationData) {
    Window result = nullptr;
    RunOnInterfaceThread([&] {
        RegisterBuiltInClasses();
        ClassRecord* windowClass = FindClass(className);
        if (!windowClass) return;
        if (!failingClass.empty() && SameTextIgnoringAsciiCase(failingClass, className)) return;
        WindowRecord* parentRecord = nullptr;
        if (parent) {
            parentRecord = FindWindowRecord(parent);
            if (!parentRecord) return;
        }
        auto* record = new WindowRecord;
        {
            std::lock_guard<std::mutex> lock(windowsMutex);
            record->windowClass = windowClass;
            windows.push_back(record);
            record->handle = windows.size();
        }
        record->procedure = windowClass->procedure;
        record->parent = parent;
        record->id = id;
        record->style = style;
        record->extendedStyle = extendedStyle;
        record->text = text ? std::u16string(text) : std::u16string();
        record->x = x;
        record->y = y;
        record->width = width;
        record->height = height;
        record->visible = (style & StyleVisible) != 0;
        Window handle = HandleOf(record);
        QWidget* parentWidget = parentRecord ? parentRecord->widget : nullptr;
        if (windowClass->kind == ControlKind::Registered) {
            record->widget = CreatePanelWidget(record, parentWidget);
        } else {
            record->widget = CreateControlWidget(record, parentWidget);
        }
        if (record->widget) {
            if (!parentRecord) {
                record->widget->installEventFilter(new CloseFilter(handle, record->widget));
                if (x == UseDefaultPosition) record->x = record->y = 0;
            }
            ApplyGeometry(record);
            if (x == UseDefaultPosition && !parentRecord) record->x = record->y = UseDefaultPosition;
            record->widget->setVisible(record->visible);
        }
        if (parentRecord) parentRecord->children.push_back(handle);
        struct {
            void* creationData;
        } creation{creationData};
        MessageResult created =
            SendMessage(handle, MessageCreate, 0, reinterpret_cast<SecondParameter>(&creation));
        if (created == -1) {
            DestroyRecord(record, true);
            return;
        }
        if (FindWindowRecord(handle)) result = handle;
    });
    return result;
}

namespace {

// Runs work with the window's record on the user-interface thread. Returns false, without running it,
// when the window does not exist (null, unknown or destroyed handles).
template <typename Work> bool WithWindow(Window window, Work work) {
    bool found = false;
    RunOnInterfaceThread([&] {
        WindowRecord* record = FindWindowRecord(window);
        if (!record) return;
        found = true;
        work(record);
    });
    return found;
}

} // namespace

bool DestroyWindow(Window window) {
    return WithWindow(window, [](WindowRecord* record) { DestroyRecord(record, !windowSystemEnded); });
}

bool IsWindow(Window window) {
    return WithWindow(window, [](WindowRecord*) {});
}

bool ShowWindow(Window window, int showCommand) {
    bool wasVisible = false;
    WithWindow(window, [&](WindowRecord* record) {
        wasVisible = record->visible;
        record->visible = showCommand != ShowHide;
        if (record->visible)
            record->style |= StyleVisible;
        else
            record->style &= ~StyleVisible;
        if (record->widget) record->widget->setVisible(record->visible);
    });
    return wasVisible;
}

bool IsWindowVisible(Window window) {
    bool visible = false;
    WithWindow(window, [&](WindowRecord* record) { visible = record->visible; });
    return visible;
}

bool UpdateWindow(Window window) {
    if (!OnInterfaceThread()) {
        // From the search worker a repaint is handed over, not waited for (deferred_updates.cpp).
        DeferRepaint(window);
        return true;
    }
    return WithWindow(window, [](WindowRecord* record) {
        if (record->windowClass->kind == ControlKind::ListView) ListViewTellNewRows(record);
        if (record->widget && record->widget->isVisible()) record->widget->repaint();
    });
}

bool InvalidateRect(Window window, const Rectangle*, bool) {
    return WithWindow(window, [](WindowRecord* record) {
        if (record->widget) record->widget->update();
    });
}

bool MoveWindow(Window window, int x, int y, int width, int height, bool repaint) {
    return WithWindow(window, [&](WindowRecord* record) {
        record->x = x;
        record->y = y;
        record->width = width;
        record->height = height;
        ApplyGeometry(record);
        if (repaint && record->widget && record->widget->isVisible()) record->widget->repaint();
    });
}

bool GetClientRect(Window window, Rectangle* rectangle) {
    if (!rectangle) return false;
    return WithWindow(window, [&](WindowRecord* record) {
        *rectangle = Rectangle{0, 0, record->width, record->height};
    });
}

bool GetWindowRect(Window window, Rectangle* rectangle) {
    if (!rectangle) return false;
    return WithWindow(window, [&](WindowRecord* record) {
        *rectangle = Rectangle{record->x, record->y, record->x + record->width, record->y + record->height};
    });
}

Window GetDlgItem(Window parent, int id) {
    Window found = nullptr;
    WithWindow(parent, [&](WindowRecord* record) {
        for (Window child : record->children) {
            WindowRecord* childRecord = FindWindowRecord(child);
            if (childRecord && childRecord->id == id) {
                found = child;
                return;
            }
        }
    });
    return found;
}

int GetDlgCtrlID(Window window) {
    int id = 0;
    WithWindow(window, [&](WindowRecord* record) { id = record->id; });
    return id;
}

Window GetParent(Window window) {
    Window parent = nullptr;
    WithWindow(window, [&](WindowRecord* record) { parent = record->parent; });
    return parent;
}

bool EnableWindow(Window window, bool enable) {
    bool wasDisabled = false;
    WithWindow(window, [&](WindowRecord* record) {
        wasDisabled = !record->enabled;
        record->enabled = enable;
        if (record->widget) record->widget->setEnabled(enable);
    });
    return wasDisabled;
}

bool IsWindowEnabled(Window window) {
    bool enabled = false;
    WithWindow(window, [&](WindowRecord* record) { enabled = record->enabled; });
    return enabled;
}

bool SetWindowText(Window window, const char16_t* text) {
    if (!OnInterfaceThread() && !windowSystemEnded) {
        // From the search worker a text is handed over, not waited for (deferred_updates.cpp).
        DeferText(window, text ? text : u"");
        return true;
    }
    return SendMessage(window, MessageSetText, 0, reinterpret_cast<SecondParameter>(text ? text : u"")) != 0;
}

int GetWindowText(Window window, char16_t* buffer, int capacity) {
    return static_cast<int>(SendMessage(window, MessageGetText, static_cast<FirstParameter>(capacity),
                                        reinterpret_cast<SecondParameter>(buffer)));
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

// --- Messages ------------------------------------------------------------------------------------------

MessageResult SendMessage(Window window, uint32_t message, FirstParameter first, SecondParameter second) {
    MessageResult result = 0;
    // The search worker appends rows by the hundred thousand: the list's row store takes them at once.
    if (!OnInterfaceThread() && !windowSystemEnded) {
        if (ListViewStoreMessage(window, message, first, second, &result)) return result;
        // A progress step from the search worker is handed over, not waited for (deferred_updates.cpp);
        // the position it had before is not known to this thread.
        if (message == ProgressSetPosition && KindOfWindow(window) == ControlKind::Progress) {
            DeferProgressPosition(window, static_cast<int>(static_cast<intptr_t>(first)));
            return 0;
        }
    }
    RunOnInterfaceThread([&] {
        if (windowSystemEnded) return;
        WindowRecord* record = FindWindowRecord(window);
        if (!record) return;
        ObserveMessage(window, message, first, second);
        result = record->procedure(window, message, first, second);
    });
    return result;
}

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

MessageResult DefWindowProc(Window window, uint32_t message, FirstParameter first, SecondParameter second) {
    WindowRecord* record = FindWindowRecord(window);
    if (!record) return 0;
    MessageResult result = 0;
    if (record->windowClass->kind != ControlKind::Registered &&
        ControlDefaultProcessing(record, message, first, second, &result))
        return result;
    switch (message) {
    case MessageSetText: {
        const char16_t* text = reinterpret_cast<const char16_t*>(second);
        record->text = text ? std::u16string(text) : std::u16string();
        if (record->widget && !record->parent) record->widget->setWindowTitle(PlainWindowTitle(record->text));
        if (record->windowClass->kind != ControlKind::Registered) ApplyControlText(record);
        return 1;
    }
    case MessageGetText: {
        char16_t* buffer = reinterpret_cast<char16_t*>(second);
        int capacity = static_cast<int>(first);
        if (!buffer || capacity <= 0) return 0;
        std::u16string text = record->text;
        return CopyText(buffer, capacity, text.c_str());
    }
    case MessageGetTextLength:
        return static_cast<MessageResult>(record->text.size());
    case MessageClose:
        DestroyWindow(window);
        return 0;
    default:
        return 0;
    }
}

void NotifyParentCommand(WindowRecord* control, uint16_t code) {
    if (!control->parent) return;
    SendMessage(control->parent, MessageCommand, MakeFirstParameter(static_cast<uint16_t>(control->id), code),
                reinterpret_cast<SecondParameter>(HandleOf(control)));
}

MessageResult NotifyParent(WindowRecord* control, NotifyHeader* header, int code) {
    header->from = HandleOf(control);
    header->id = static_cast<uintptr_t>(control->id);
    header->code = code;
    if (!control->parent) return 0;
    return SendMessage(control->parent, MessageNotify, static_cast<FirstParameter>(control->id),
                       reinterpret_cast<SecondParameter>(header));
}

// --- The loop ------------------------------------------------------------------------------------------

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
    return SendMessage(message->window, message->message, message->first, message->second);
}

// --- Message boxes and the screen ----------------------------------------------------------------------

int MessageBox(Window owner, const char16_t* text, const char16_t* caption, uint32_t) {
    int result = MessageBoxResultOk;
    RunOnInterfaceThread([&] {
        if (messageBoxHook) {
            result = messageBoxHook(owner, text ? text : u"", caption ? caption : u"");
            return;
        }
        WindowRecord* ownerRecord = FindWindowRecord(owner);
        QMessageBox box(QMessageBox::NoIcon, PlainWindowTitle(caption ? caption : u""),
                        QString::fromStdU16String(text ? text : u""), QMessageBox::Ok,
                        ownerRecord && ownerRecord->widget ? ownerRecord->widget->window() : nullptr);
        // The texts come from the language file, database paths and the user: never markup.
        box.setTextFormat(Qt::PlainText);
        box.exec();
    });
    return result;
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

// --- Hooks -------------------------------------------------------------------------------------------

void SetMessageBoxHook(MessageBoxHook hook) {
    messageBoxHook = hook;
}
void SetMessageObserver(MessageObserver observer) {
    messageObserver = std::move(observer);
}
void SetIdleHook(IdleHook hook) {
    idleHook = hook;
}
void SetScreenSize(int width, int height) {
    screenWidth = width;
    screenHeight = height;
}
void SetFailingWindowClass(const std::u16string& className) {
    failingClass = className;
}
void SetWindowSystemEnded(bool ended) {
    windowSystemEnded = ended;
}

void ResetWindowSystem() {
    for (WindowRecord* record : windows) {
        if (!record->destroyed && record->widget && !record->parent) {
            record->widget->hide();
            record->widget->deleteLater();
        }
        record->destroyed = true;
        record->widget = nullptr;
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (ClassRecord* record : classes)
        delete record;
    classes.clear();
    {
        std::lock_guard<std::mutex> lock(postedMutex);
        posted.clear();
    }
    quitPosted = false;
    quitCode = 0;
    failingClass.clear();
    windowSystemEnded = false;
}
