// Window records and classes: the table of every window made, the class registry with the built-in
// control classes, creating and destroying windows, default processing, and the window calls that read
// or change a record. Each call runs on the window thread (RunOnInterfaceThread carries it there).
#include "platform/controls.h"
#include "platform/text.h"

#include <QCoreApplication>
#include <QEvent>
#include <algorithm>
#include <mutex>

namespace {

std::vector<ClassRecord*> classes;
// index = handle - 1. Records live as long as the process (a handle never names another window), so
// the table itself is never destroyed: static destruction at exit would leave the records unreachable.
std::vector<WindowRecord*>& windows = *new std::vector<WindowRecord*>;
std::mutex windowsMutex; // held while the table grows (window thread) and by readers on other threads
std::u16string failingClass;

struct BuiltInClass {
    const char16_t* name;
    ControlKind kind;
    const ControlFunctions* functions;
};
// clang-format off
constexpr BuiltInClass builtInClasses[] = {
    {u"static",            ControlKind::Static,     &StaticFunctions    },
    {u"edit",              ControlKind::Edit,       &EditFunctions      },
    {u"BUTTON",            ControlKind::Button,     &ButtonFunctions    },
    {u"combobox",          ControlKind::ComboBox,   &ComboBoxFunctions  },
    {u"Listbox",           ControlKind::ListBox,    &ListBoxFunctions   },
    {u"SysListView32",     ControlKind::ListView,   &ListViewFunctions  },
    {u"msctls_progress32", ControlKind::Progress,   &ProgressFunctions  },
    {u"SysTabControl32",   ControlKind::Tab,        &TabFunctions       },
    {u"SIPPREF",           ControlKind::InputPanel, &InputPanelFunctions},
};
// clang-format on

void RegisterBuiltInClasses() {
    if (!classes.empty()) return;
    for (const BuiltInClass& builtIn : builtInClasses)
        classes.push_back(new ClassRecord{builtIn.name, DefWindowProc, 0, builtIn.kind, builtIn.functions});
}

ClassRecord* FindClass(const char16_t* name) {
    if (!name) return nullptr;
    for (ClassRecord* record : classes)
        if (SameTextIgnoringAsciiCase(record->name, name)) return record;
    return nullptr;
}

} // namespace

void ApplyGeometry(WindowRecord* record) {
    if (!record->widget) return;
    if (record->parent) {
        record->widget->setGeometry(PlacedRectangle(record));
        PlaceChildren(record);
    } else if (DesktopFaceShown()) {
        // On a desktop the user sizes the window; the program's size is its least.
        PlaceTopLevelFace(record);
        PlaceChildren(record);
    } else {
        // A top-level window's shown menu bar lies above its client area: its children move down under it.
        record->widget->setFixedSize(ToWindowPixels(record->width),
                                     ToWindowPixels(record->height) + record->menuBarHeight);
        if (record->x != UseDefaultPosition)
            record->widget->move(ToWindowPixels(record->x), ToWindowPixels(record->y));
    }
}

namespace {

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

// A new record in the table, with everything the creation call gives.
WindowRecord* MakeRecord(ClassRecord* windowClass, uint32_t extendedStyle, const char16_t* text,
                         uint32_t style, int x, int y, int width, int height, Window parent, int id) {
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
    return record;
}

// The record's face, placed and shown as its record says.
void MakeFace(WindowRecord* record, WindowRecord* parentRecord) {
    const ControlFunctions& functions = *record->windowClass->functions;
    record->widget = functions.createFace(record, parentRecord ? parentRecord->widget : nullptr);
    if (!record->widget) return;
    if (functions.showText) functions.showText(record);
    bool defaultPosition = record->x == UseDefaultPosition;
    if (!parentRecord) {
        record->widget->installEventFilter(new CloseFilter(HandleOf(record), record->widget));
        if (defaultPosition) record->x = record->y = 0;
    } else if (!parentRecord->parent) {
        // The device's windows are drawn in the program's font at the zoom; the menu bar beside them
        // keeps the desktop's.
        record->widget->setFont(ZoomedProgramFont());
    }
    ApplyGeometry(record);
    if (defaultPosition && !parentRecord) record->x = record->y = UseDefaultPosition;
    record->widget->setVisible(record->visible);
}

// Runs work with the window's record on the window thread. Returns false, without running it, when the
// window does not exist (null, unknown or destroyed handles).
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

// --- Classes and windows -------------------------------------------------------------------------------

uint16_t RegisterWindowClass(const WindowClass* windowClass) {
    uint16_t atom = 0;
    RunOnInterfaceThread([&] {
        RegisterBuiltInClasses();
        if (!windowClass || !windowClass->className || !windowClass->procedure) return;
        if (FindClass(windowClass->className)) return;
        classes.push_back(new ClassRecord{windowClass->className, windowClass->procedure,
                                          windowClass->background, ControlKind::Registered, &PanelFunctions});
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
        WindowRecord* record =
            MakeRecord(windowClass, extendedStyle, text, style, x, y, width, height, parent, id);
        MakeFace(record, parentRecord);
        Window handle = HandleOf(record);
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

bool DestroyWindow(Window window) {
    return WithWindow(window, [](WindowRecord* record) { DestroyRecord(record, !WindowSystemEnded()); });
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
        if (record->visible) PlaceFocusInShownWindow(record);
    });
    return wasVisible;
}

bool IsWindowVisible(Window window) {
    bool visible = false;
    WithWindow(window, [&](WindowRecord* record) { visible = record->visible; });
    return visible;
}

bool UpdateWindow(Window window) {
    return SendMessage(window, MessagePaint, 0, 0) != 0;
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
    return SendMessage(window, MessageSetText, 0, reinterpret_cast<SecondParameter>(text ? text : u"")) != 0;
}

int GetWindowText(Window window, char16_t* buffer, int capacity) {
    return static_cast<int>(SendMessage(window, MessageGetText, static_cast<FirstParameter>(capacity),
                                        reinterpret_cast<SecondParameter>(buffer)));
}

// --- Default processing and notifications --------------------------------------------------------------

MessageResult DefWindowProc(Window window, uint32_t message, FirstParameter first, SecondParameter second) {
    WindowRecord* record = FindWindowRecord(window);
    if (!record) return 0;
    const ControlFunctions& functions = *record->windowClass->functions;
    MessageResult result = 0;
    if (record->widget && functions.processMessage &&
        functions.processMessage(record, message, first, second, &result))
        return result;
    switch (message) {
    case MessageSetText: {
        const char16_t* text = reinterpret_cast<const char16_t*>(second);
        record->text = text ? std::u16string(text) : std::u16string();
        if (record->widget && !record->parent) record->widget->setWindowTitle(PlainWindowTitle(record->text));
        if (record->widget && functions.showText) functions.showText(record);
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
    case MessagePaint:
        if (record->widget && record->widget->isVisible()) record->widget->repaint();
        return 1;
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

// --- Tests and teardown --------------------------------------------------------------------------------

void SetFailingWindowClass(const std::u16string& className) {
    failingClass = className;
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
    failingClass.clear();
    ForgetKeyCommands();
    ResetMessageLoop();
}
