// Inside the window system (only platform/ includes this file): the records platform/ keeps for every
// class and window, the threads' meeting points, and the hooks the script driver and the tests use.
// docs/ARCHITECTURE.md draws how the files below fit together.
#pragma once

#include "platform/windows.h"

#include <QApplication>
#include <QFont>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

enum class ControlKind {
    Registered, // a class the program registered: its window is a plain panel
    Static,
    Edit,
    Button,
    ComboBox,
    ListBox,
    ListView,
    Progress,
    Tab,
    InputPanel,
    Any, // in tables keyed by kind: a window of any kind
};

struct ControlFunctions; // platform/controls.h

struct ClassRecord {
    std::u16string name;               // as registered; compared without letter case
    WindowProcedure procedure;         // the program's, or DefWindowProc for built-in controls
    Brush background;                  // the class brush that paints a registered window
    ControlKind kind;                  // which face a window of this class gets
    const ControlFunctions* functions; // the face's own functions (controls.h)
};

struct MenuRecord {
    int level = 0;       // 0: a menu on the bar; 1: an item of the menu before it
    std::u16string text; // empty for a separator; "&" marks the key letter
    bool separator = false;
    uint16_t command = 0;
    std::u16string keys;      // the keys shown beside an item (Qt's portable text), empty for none
    bool enabled = true;      // an item the user can choose
    QPointer<QObject> action; // its face in the shown menu bar (a QAction), null when not shown
};

struct WindowRecord {
    uintptr_t handle = 0;               // the number the program holds
    ClassRecord* windowClass = nullptr; // its class
    WindowProcedure procedure = nullptr;
    Window parent = nullptr;
    int id = 0;                              // control identifier
    uint32_t style = 0;                      // style bits as created (the visible bit follows ShowWindow)
    uint32_t extendedStyle = 0;              // extended style bits
    std::u16string text;                     // window text
    int x = 0, y = 0, width = 0, height = 0; // relative to the parent's client area
    bool visible = false;                    // its own visible bit
    bool enabled = true;
    bool destroyed = false;       // the handle stays known after destruction, so tests on it are safe
    QWidget* widget = nullptr;    // its face
    std::vector<Window> children; // in creation order
    std::vector<MenuRecord> menu; // a top-level window's menu bar, in order; empty: none
    int menuBarHeight = 0;        // the shown menu bar's height above the client area (0 when not shown)
    uint32_t anchors = 0;         // how it follows its parent on a desktop (windows.h, Anchor...)
    int maximumGrowth = 0;        // device pixels the anchors may add; 0: no bound
};

// --- Records and classes (window_records.cpp) ----------------------------------------------------------
// The record of a live window, or null (for null, unknown or destroyed handles). Window thread.
WindowRecord* FindWindowRecord(Window window);
// Every window ever created, in creation order (destroyed ones flagged).
const std::vector<WindowRecord*>& AllWindowRecords();
Window HandleOf(const WindowRecord* record);
// What kind of control a window is, from any thread (Registered for none or a dead window).
ControlKind KindOfWindow(Window window);
// Places the window's face as its record says (a top-level window's menu bar above its client area).
void ApplyGeometry(WindowRecord* record);
// Sends a command notification from a control to its parent, as the platform's controls do.
void NotifyParentCommand(WindowRecord* control, uint16_t code);
// Sends a notification message (MessageNotify) to the parent with the given header filled in.
MessageResult NotifyParent(WindowRecord* control, NotifyHeader* header, int code);

// --- The threads (message_loop.cpp, message_road.cpp) -------------------------------------------------
bool OnInterfaceThread();
// The wait road (message_road.cpp): runs work on the window thread and waits for it, after applying what
// the merged updates hold; runs it directly when already there. False when it could not run (the window
// system is gone). Every window call from another thread that waits takes it.
bool RunOnInterfaceThread(const std::function<void()>& work);
// The carrier under it (message_loop.cpp): posts work to the window thread and waits until it ran there
// (true) or was dropped unserved (false). Only from another thread.
bool CarryToInterfaceThread(const std::function<void()>& work);
// Runs work on the window thread later, in order with the other calls carried there; does not wait.
void PostToInterfaceThread(const std::function<void()>& work);
// Wakes the window thread's event wait (after a posted message or a thread's end).
void WakeInterfaceThread();
// True once the program's entry has returned: from then on no message reaches a procedure.
bool WindowSystemEnded();
// Calls the window's procedure now, telling the observer first (window thread). 0 for no window.
MessageResult DeliverMessage(Window window, uint32_t message, FirstParameter first, SecondParameter second);
// Tells the message observer (when there is one) of a message, from any thread.
void ObserveMessage(Window window, uint32_t message, FirstParameter first, SecondParameter second);

// --- Merged updates (merged_updates.cpp) ---------------------------------------------------------------
// Keeps the message as the latest of its window and message number (a text is copied), to be delivered
// on the window thread at the next frame, without waiting.
void MergeMessage(Window window, uint32_t message, FirstParameter first, SecondParameter second);
// Delivers what is merged, in the order first given (window thread).
void ApplyMergedUpdates();

// --- The desktop face (menu_bar.cpp, file_dialog.cpp) -----------------------------------------------------
// On a desktop, menu bars are shown (not under --screen or --script).
void SetDesktopFace(bool shown);
bool DesktopFaceShown();
// On a desktop, a window the program shows puts the focus in its first edit, else its list
// (desktop_focus.cpp).
void PlaceFocusInShownWindow(WindowRecord* shown);
// The script driver answers file dialogs: hook returns the host path chosen, or empty for a cancel.
using FileDialogHook = std::string (*)(Window owner, const char16_t* caption);
void SetFileDialogHook(FileDialogHook hook);

// Serves the window system until every list view's sort under way has given its rows back (window
// thread; list_view_sort.cpp).
void WaitForRowSorts();

// --- Hooks for the script driver and the tests ---------------------------------------------------------
using MessageBoxHook = int (*)(Window owner, const char16_t* text, const char16_t* caption);
void SetMessageBoxHook(MessageBoxHook hook);
using MessageObserver = std::function<void(Window, uint32_t, FirstParameter, SecondParameter)>;
// Hears every message a procedure receives (as it is delivered) and every message another thread hands
// over without waiting (as it is handed over, on that thread).
void SetMessageObserver(MessageObserver observer);
// Called by the message loop's fetch whenever no posted message waits; returns true when it did work.
using IdleHook = bool (*)();
void SetIdleHook(IdleHook hook);
bool QuitPosted();
int QuitCode();
// The program's font: DejaVu Sans Condensed (Cyrillic, narrow enough for every shipped text to fit its
// control), 11 device pixels high. Set once Qt runs.
QFont ProgramFont();
// The program's font at the zoom: what the device's windows are drawn in (Qt's own dialogs and menus
// keep the desktop's font).
QFont ZoomedProgramFont();
// How many window pixels a device pixel takes. The device layer maps rectangles and fonts itself, so
// Qt's own dialogs and menus keep the desktop's size.
void SetDisplayZoom(double zoom);
double DisplayZoom();
// A device length in window pixels at the zoom, and back.
int ToWindowPixels(int devicePixels);
int ToDevicePixels(int windowPixels);
// The zoom a desktop window opens at: the largest quarter step at which the program's text is no
// smaller than the desktop's (and than 1.5 at 96 dpi), lowered until a window of windowHeight device
// pixels and chromePixels of frame and menu bar fits the available height; 0.5 to 8.
double ChooseZoom(int availableHeight, double logicalDpi, double desktopFontPixels, int windowHeight,
                  int chromePixels);

// --- Placing faces (window_layout.cpp) ---------------------------------------------------------------------
// Where a child's face lies in its parent's face, in window pixels: its rectangle at the zoom, moved and
// grown by its anchors on a desktop as far as its parent has grown.
QRect PlacedRectangle(const WindowRecord* record);
// Places the faces of the window's children, and theirs, again (the window changed its size).
void PlaceChildren(WindowRecord* record);
// A top-level window's face on a desktop: its remembered size and place, or a first size (the window
// manager places it); at least the program's size at the zoom.
void PlaceTopLevelFace(WindowRecord* record);
// Remembers the size, place and maximized state of every top-level window (the user's configuration
// folder), for PlaceTopLevelFace at the next start. Only the program, never a test, turns it on.
void RememberWindowPlacement(bool remember);
void SaveWindowPlacements();
// The screen size the device reports (--screen WxH, or the host screen).
void SetScreenSize(int width, int height);
// Makes creating a window of this class fail (tests of the program's failure paths); empty: none.
void SetFailingWindowClass(const std::u16string& className);
// Forgets every window and class without any message reaching a procedure (between tests; teardown).
void ResetWindowSystem();
// Forgets the key commands (part of ResetWindowSystem).
void ForgetKeyCommands();
// Forgets the posted messages and the quit (part of ResetWindowSystem).
void ResetMessageLoop();
// True once the program's entry has returned: from then on no message reaches a procedure.
void SetWindowSystemEnded(bool ended);

// The application object of the window program: an allocation refused while an event is handled ends in
// the out-of-memory box (out_of_memory.cpp) instead of leaving through Qt's event loop.
class DeviceApplication : public QApplication {
  public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;
};
