// Inside the window system: the records platform/ keeps for every class and window, and the Qt faces
// of the built-in controls. Only platform/ includes this file.
#pragma once

#include "platform/windows.h"

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

enum class ControlKind {
    Registered,
    Static,
    Edit,
    Button,
    ComboBox,
    ListBox,
    ListView,
    Progress,
    Tab,
    InputPanel
};

struct ClassRecord {
    std::u16string name;       // as registered; compared without letter case
    WindowProcedure procedure; // the program's, or DefWindowProc for built-in controls
    Brush background;          // the class brush that paints a registered window
    ControlKind kind;          // which Qt face a window of this class gets
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
};

// The record of a live window, or null (for null, unknown or destroyed handles).
WindowRecord* FindWindowRecord(Window window);
// Every window ever created, in creation order (destroyed ones flagged).
const std::vector<WindowRecord*>& AllWindowRecords();
Window HandleOf(const WindowRecord* record);

// Runs work on the user-interface thread and waits for it; runs it directly when already there.
// Returns false when the work could not run (the window system is gone).
bool RunOnInterfaceThread(const std::function<void()>& work);
bool OnInterfaceThread();
// Runs work on the user-interface thread later, in order with the other calls carried there; does not wait.
void PostToInterfaceThread(const std::function<void()>& work);
// Wakes the user-interface thread's event wait (after a posted message or a thread's end).
void WakeInterfaceThread();

// Sends a command notification from a control to its parent, as the platform's controls do.
void NotifyParentCommand(WindowRecord* control, uint16_t code);
// Sends a notification message (MessageNotify) to the parent with the given header filled in.
MessageResult NotifyParent(WindowRecord* control, NotifyHeader* header, int code);

// The built-in controls: their Qt face, and their share of default processing.
QWidget* CreateControlWidget(WindowRecord* record, QWidget* parentWidget);
bool ControlDefaultProcessing(WindowRecord* record, uint32_t message, FirstParameter first,
                              SecondParameter second, MessageResult* result);
void ApplyControlText(WindowRecord* record);
QWidget* CreateListViewWidget(WindowRecord* record, QWidget* parentWidget);
// A list view message sent from another thread that the list's row store can serve at once, under its
// lock, without waiting for the user-interface thread (appending rows, reading item data and counts).
bool ListViewStoreMessage(Window window, uint32_t message, FirstParameter first, SecondParameter second,
                          MessageResult* result);
// Tells a list view's view of the rows its store took since (before it is painted at once).
void ListViewTellNewRows(WindowRecord* record);
bool ListViewDefaultProcessing(WindowRecord* record, uint32_t message, FirstParameter first,
                               SecondParameter second, MessageResult* result);

// Updates the search worker hands over without waiting (deferred_updates.cpp): applied on the
// user-interface thread at most once a frame, the latest of each window and kind winning, and always
// before a call the worker waits for.
void DeferText(Window window, const char16_t* text);
void DeferRepaint(Window window);
void DeferProgressPosition(Window window, int position);
void ApplyDeferredUpdates();
// What kind of control a window is, from any thread (Registered for none or a dead window).
ControlKind KindOfWindow(Window window);
// Tells the message observer (when there is one) of a message, from any thread.
void ObserveMessage(Window window, uint32_t message, FirstParameter first, SecondParameter second);

// Hooks for the script driver and the tests.
using MessageBoxHook = int (*)(Window owner, const char16_t* text, const char16_t* caption);
void SetMessageBoxHook(MessageBoxHook hook);
using MessageObserver = std::function<void(Window, uint32_t, FirstParameter, SecondParameter)>;
void SetMessageObserver(MessageObserver observer);
// Called by the message loop's fetch whenever no posted message waits; returns true when it did work.
using IdleHook = bool (*)();
void SetIdleHook(IdleHook hook);
bool QuitPosted();
int QuitCode();
// The screen size the device reports (--screen WxH, or the host screen).
void SetScreenSize(int width, int height);
// Makes creating a window of this class fail (tests of the program's failure paths); empty: none.
void SetFailingWindowClass(const std::u16string& className);
// Forgets every window and class without any message reaching a procedure (between tests; teardown).
void ResetWindowSystem();
// True once the program's entry has returned: from then on no message reaches a procedure.
void SetWindowSystemEnded(bool ended);

// What a control holds, for the window tree dump (items, selection, rows, columns, range, tabs).
class QJsonObject;
void DescribeControl(WindowRecord* record, QJsonObject& object);
void DescribeListView(WindowRecord* record, QJsonObject& object);

// The user's own input on a control, with every notification that input gives. False when the
// control is not of a kind that takes that input (or the index is out of range).
bool UserClick(WindowRecord* record);
bool UserType(WindowRecord* record, const std::u16string& text);
bool UserClear(WindowRecord* record);
bool UserChoose(WindowRecord* record, int index);
bool UserChooseTab(WindowRecord* record, int index);
bool UserActivateRow(WindowRecord* record, int row);
bool UserClickHeader(WindowRecord* record, int column);
bool UserResizeColumn(WindowRecord* record, int column, int width);
