// The device's window system: window classes and procedures, child controls, messages, the message
// loop, message boxes and the screen. Message numbers, notification codes, style bits and results are
// the platform's own, so program code reads as it would on the device.
//
// Every operation on a window may be called from any thread. From another thread most calls are carried
// out on the user-interface thread while the caller waits (also while that thread sits in a message box);
// a few messages a search worker sends often (texts, repaints, progress, result rows) are handed over
// without waiting, in the order sent. The table in message_road.cpp names them and what each returns.
#pragma once

#include <cstdint>

// --- Handles and basic types -------------------------------------------------------------------------
// A window handle is a number, not an address: it stays safe to test after its window is gone.
struct WindowTag;
using Window = WindowTag*;
struct InstanceTag;
using Instance = InstanceTag*;
using Brush = uintptr_t; // 0 none; StockWhiteBrush; or SystemColourFlag | colour index
using Cursor = uintptr_t;
using Icon = uintptr_t;

using FirstParameter = uintptr_t;
using SecondParameter = intptr_t;
using MessageResult = intptr_t;
using WindowProcedure = MessageResult (*)(Window window, uint32_t message, FirstParameter first,
                                          SecondParameter second);

struct Rectangle {
    int left, top, right, bottom;
};

inline uint16_t LowWord(uintptr_t value) {
    return static_cast<uint16_t>(value & 0xFFFF);
}
inline uint16_t HighWord(uintptr_t value) {
    return static_cast<uint16_t>((value >> 16) & 0xFFFF);
}
inline FirstParameter MakeFirstParameter(uint16_t low, uint16_t high) {
    return static_cast<FirstParameter>(low) | (static_cast<FirstParameter>(high) << 16);
}

// --- Messages ------------------------------------------------------------------------------------------
constexpr uint32_t MessageCreate = 1;
constexpr uint32_t MessageDestroy = 2;
constexpr uint32_t MessageSetText = 0x000C;
constexpr uint32_t MessageGetText = 0x000D;
constexpr uint32_t MessageGetTextLength = 0x000E;
constexpr uint32_t MessagePaint = 0x000F; // UpdateWindow sends it: repaint at once
constexpr uint32_t MessageClose = 0x0010;
constexpr uint32_t MessageQuit = 0x0012;
constexpr uint32_t MessageNotify = 0x004E;
constexpr uint32_t MessageCommand = 0x0111;
constexpr uint32_t MessageStaticColour = 0x0138;
// A file dropped on a top-level window: second is its device path (const char16_t*), valid during the call.
constexpr uint32_t MessageDropFiles = 0x0233;

// Command notification codes (high word of a command's first parameter).
constexpr uint16_t ButtonClicked = 0;
constexpr uint16_t ButtonSetFocus = 6;
constexpr uint16_t ButtonKillFocus = 7;
constexpr uint16_t ListBoxSelectionChange = 1;
constexpr uint16_t ListBoxDoubleClick = 2;
constexpr uint16_t ComboBoxSelectionChange = 1;
constexpr uint16_t EditChange = 0x0300;

// Combo box and list box.
constexpr uint32_t ComboBoxAddString = 0x0143;
constexpr uint32_t ComboBoxGetCount = 0x0146;
constexpr uint32_t ComboBoxGetCurrentSelection = 0x0147;
constexpr uint32_t ComboBoxGetItemText = 0x0148;
constexpr uint32_t ComboBoxResetContent = 0x014B;
constexpr uint32_t ComboBoxSetCurrentSelection = 0x014E;
constexpr uint32_t ListBoxAddString = 0x0180;
constexpr uint32_t ListBoxResetContent = 0x0184;
constexpr uint32_t ListBoxSetCurrentSelection = 0x0186;
constexpr uint32_t ListBoxGetCurrentSelection = 0x0188;
constexpr uint32_t ListBoxGetCount = 0x018B;
constexpr uint32_t ListBoxGetHorizontalExtent = 0x0193;
constexpr uint32_t ListBoxSetHorizontalExtent = 0x0194;
constexpr MessageResult ListError = -1;

// Edit: the most characters the user may type or paste (0: as many as the edit holds).
constexpr uint32_t EditLimitText = 0x00C5;

// Progress bar.
constexpr uint32_t ProgressSetPosition = 0x0402;
constexpr uint32_t ProgressSetRange32 = 0x0406;
constexpr uint32_t ProgressGetRange = 0x0407;
constexpr uint32_t ProgressGetPosition = 0x0408;

// Tab control.
constexpr uint32_t TabGetItemCount = 0x1304;
constexpr uint32_t TabGetCurrentSelection = 0x130B;
constexpr uint32_t TabSetCurrentSelection = 0x130C;
constexpr uint32_t TabInsertItem = 0x133E;
constexpr int TabSelectionChanging = -552;
constexpr int TabSelectionChanged = -551;
constexpr uint32_t TabItemText = 0x0001;
struct TabItem {
    uint32_t mask;
    uint32_t state;
    uint32_t stateMask;
    const char16_t* text;
    int textMax;
    int image;
    SecondParameter parameter;
};

// List view (report view).
constexpr uint32_t ListViewGetItemCount = 0x1004;
constexpr uint32_t ListViewDeleteAllItems = 0x1009;
constexpr uint32_t ListViewGetNextItem = 0x100C;
constexpr uint32_t ListViewRedrawItems = 0x1015;
constexpr uint32_t ListViewGetColumnWidth = 0x101D;
constexpr uint32_t ListViewSetColumnWidth = 0x101E;
constexpr uint32_t ListViewSortItems = 0x1030;
constexpr uint32_t ListViewSetExtendedStyle = 0x1036;
constexpr uint32_t ListViewGetExtendedStyle = 0x1037;
constexpr uint32_t ListViewGetItem = 0x104B;
constexpr uint32_t ListViewInsertItem = 0x104D;
constexpr uint32_t ListViewInsertColumn = 0x1061;
constexpr uint32_t ListViewSetItemText = 0x1074;
constexpr uint32_t ListViewExtendedFullRowSelect = 0x20;
constexpr uint32_t ListViewNextFocused = 0x0001;
constexpr uint32_t ListViewItemText = 0x0001;
constexpr uint32_t ListViewItemParameter = 0x0004;
constexpr uint32_t ListViewItemState = 0x0008;
// On insertion: every column's text is asked of the parent when shown (one call instead of one per column).
constexpr uint32_t ListViewItemEveryTextOnDemand = 0x8000'0000;
constexpr uint32_t ListViewColumnFormat = 0x0001;
constexpr uint32_t ListViewColumnWidth = 0x0002;
constexpr uint32_t ListViewColumnText = 0x0004;
constexpr uint32_t ListViewColumnSubItem = 0x0008;
constexpr int ListViewColumnLeft = 0;
// A column that takes a share of the room a grown list has beyond its columns' widths (a desktop window
// that grows); its own width stays the least it is shown at.
constexpr int ListViewColumnGrows = 0x0020'0000;
constexpr int ListViewGetDisplayInfo = -177;
constexpr int ListViewItemActivate = -114;
constexpr int ListViewColumnClick = -108;
// The text of a cell supplied on demand: the list asks its parent with ListViewGetDisplayInfo.
inline char16_t* const TextCallback = reinterpret_cast<char16_t*>(static_cast<intptr_t>(-1));

struct ListViewItem {
    uint32_t mask;
    int item;
    int subItem;
    uint32_t state;
    uint32_t stateMask;
    char16_t* text;
    int textMax;
    int image;
    SecondParameter parameter;
};
struct ListViewColumn {
    uint32_t mask;
    int format;
    int width;
    const char16_t* text;
    int textMax;
    int subItem;
};
using ListViewCompare = int (*)(SecondParameter first, SecondParameter second, SecondParameter sortParameter);
// The platform's own sort for long lists: each row's key is asked for once, the rows are ordered by key
// (its words in turn, as unsigned numbers), and the compare callback decides only between equal keys.
// The keys must agree with the callback: rows whose keys differ are in the callback's order too. A key
// whose last byte is 0 holds its row's whole order: rows with that same key are equal for the callback,
// which is then not asked.
// Both sorts answer 1 when sorted, -1 when refused for memory (the rows stay as they were).
constexpr uint32_t ListViewSortItemsByKey = 0x10F0; // second parameter: a ListViewSortByKey
constexpr int ListViewSortKeyWords = 5;
struct ListViewSortKey {
    uint64_t words[ListViewSortKeyWords];
};
using ListViewKeyFunction = ListViewSortKey (*)(SecondParameter item, SecondParameter sortParameter);
struct ListViewSortByKey {
    ListViewKeyFunction key;
    ListViewCompare compare;
    SecondParameter sortParameter;
};

// Notifications (second parameter of MessageNotify points at one of these).
struct NotifyHeader {
    Window from;
    uintptr_t id;
    int code;
};
struct ListViewDisplayInfo {
    NotifyHeader header;
    ListViewItem item;
};
struct ListViewNotification {
    NotifyHeader header;
    int item;
    int subItem;
    uint32_t newState;
    uint32_t oldState;
    uint32_t changed;
    int x, y;
    SecondParameter parameter;
};

// --- Styles ------------------------------------------------------------------------------------------
constexpr uint32_t StyleChild = 0x40000000;
constexpr uint32_t StyleVisible = 0x10000000;
constexpr uint32_t StyleClipSiblings = 0x04000000;
constexpr uint32_t StyleBorder = 0x00800000;
constexpr uint32_t StyleVerticalScroll = 0x00200000;
constexpr uint32_t StyleHorizontalScroll = 0x00100000;
constexpr uint32_t StyleTabStop = 0x00010000;
constexpr uint32_t StaticLeft = 0x00000000;
constexpr uint32_t StaticCentre = 0x00000001;
constexpr uint32_t StaticIcon = 0x00000003;
constexpr uint32_t EditUpperCase = 0x00000008;
constexpr uint32_t EditAutoHorizontalScroll = 0x00000080;
constexpr uint32_t ButtonNotify = 0x00004000;
constexpr uint32_t ListBoxNotify = 0x00000001;
constexpr uint32_t ListViewReport = 0x00000001;
constexpr uint32_t TabFlatButtons = 0x00000008;
constexpr uint32_t ExtendedClientEdge = 0x00000200;

constexpr int UseDefaultPosition = static_cast<int>(0x80000000);

constexpr int ShowHide = 0;
constexpr int ShowNormal = 1;
constexpr int ShowShow = 5;

constexpr Brush StockWhiteBrush = 1;
constexpr Brush SystemColourFlag = 0x40000000;
constexpr int ColourStatic = 25;
constexpr Cursor ArrowCursor = 1;
constexpr Cursor WaitCursor = 2;

// --- Classes and windows -----------------------------------------------------------------------------
struct WindowClass {
    uint32_t style;
    WindowProcedure procedure;
    int classExtraBytes;
    int windowExtraBytes;
    Instance instance;
    Icon icon;
    Cursor cursor;
    Brush background;
    const char16_t* menuName;
    const char16_t* className;
};
// Returns the class atom, 0 when refused (a class of that name, compared without letter case, exists).
uint16_t RegisterWindowClass(const WindowClass* windowClass);

// Returns the window, or null when the class is unknown or its creation handler returned -1.
Window CreateWindowEx(uint32_t extendedStyle, const char16_t* className, const char16_t* text, uint32_t style,
                      int x, int y, int width, int height, Window parent, int id, Instance instance,
                      void* creationData);
bool DestroyWindow(Window window);
bool IsWindow(Window window);
bool ShowWindow(Window window, int showCommand);
bool IsWindowVisible(Window window); // the window's own visible bit
bool UpdateWindow(Window window);    // repaint at once
bool MoveWindow(Window window, int x, int y, int width, int height, bool repaint);
bool GetClientRect(Window window, Rectangle* rectangle);
bool GetWindowRect(Window window, Rectangle* rectangle); // relative to the parent's client area
Window GetDlgItem(Window parent, int id);
int GetDlgCtrlID(Window window);
Window GetParent(Window window);
bool EnableWindow(Window window, bool enable);
bool IsWindowEnabled(Window window);
bool SetWindowText(Window window, const char16_t* text);
int GetWindowText(Window window, char16_t* buffer, int capacity);
bool InvalidateRect(Window window, const Rectangle* rectangle, bool erase);
// Changes the pointer of the whole program (ArrowCursor, WaitCursor); returns the previous one.
Cursor SetCursor(Cursor cursor);

// --- Messages and the loop ---------------------------------------------------------------------------
MessageResult SendMessage(Window window, uint32_t message, FirstParameter first, SecondParameter second);
bool PostMessage(Window window, uint32_t message, FirstParameter first, SecondParameter second);
void PostQuitMessage(int exitCode);
MessageResult DefWindowProc(Window window, uint32_t message, FirstParameter first, SecondParameter second);

struct Message {
    Window window;
    uint32_t message;
    FirstParameter first;
    SecondParameter second;
};
// Waits for the next posted message, serving the window system meanwhile. False for the quit message.
bool GetMessage(Message* message);
bool TranslateMessage(const Message* message);
MessageResult DispatchMessage(const Message* message);

// --- Keys and the clipboard ---------------------------------------------------------------------------
// When the keys (Qt's portable text, such as "Return", "Ctrl+Shift+C") are pressed in the window, or in
// any window inside it when withChildren is set, target receives MessageCommand with command as its low
// word (high word 0, second parameter null), as a menu item would send it; the keys do nothing else.
// Returns false for keys that cannot be read or a window that is gone.
bool AddKeyCommand(Window window, const char16_t* keys, bool withChildren, Window target, uint16_t command);
// Puts the text on the clipboard. Returns false when there is none.
bool SetClipboardText(const char16_t* text);
// Qt's own windows (file dialogs, box buttons, an edit's menu) speak the language of the code ("ru", "uk",
// "en"; empty: Qt's built-in English). False when the host has no translation for it.
bool UseHostLanguage(const char* languageCode);

// --- Menus and file dialogs ---------------------------------------------------------------------------
struct MenuItem {
    int level;                      // 0: a menu on the bar; 1: an item of the menu above it
    const char16_t* text;           // null for a separator; "&" marks the key letter ("&&" shows "&")
    uint16_t command;               // an item's command, sent to the window as MessageCommand (high word 0)
    const char16_t* keys = nullptr; // keys shown beside the item (Qt's portable text); the program names
                                    // what they do with AddKeyCommand
};
// Gives a top-level window its menu bar (the items are copied). On a desktop it is shown above the
// window's client area, which keeps its size; F10 opens its first menu. Returns false for a window that
// is not top-level.
bool SetWindowMenu(Window window, const MenuItem* items, int count);
// --- A window that grows (a desktop window the user resizes) -----------------------------------------
// How a child follows its parent when the parent is larger than it was made: its right or bottom edge
// follows the parent's (it grows), or the whole child moves with that edge. Applied only on a desktop;
// under --screen and --script every window keeps the rectangle it is given.
constexpr uint32_t AnchorGrowRight = 0x1;
constexpr uint32_t AnchorGrowDown = 0x2;
constexpr uint32_t AnchorMoveRight = 0x4;
constexpr uint32_t AnchorMoveDown = 0x8;
constexpr uint32_t AnchorFill = AnchorGrowRight | AnchorGrowDown;
// A static text that widens over the room to its right (up to its parent's edge) when its text needs
// it, and a sibling after it that gives up that room from its left.
constexpr uint32_t AnchorWidenToText = 0x10;
constexpr uint32_t AnchorYieldToPrevious = 0x20;
// Sets how the window follows its parent; maximumGrowth bounds the growth in device pixels (0: none).
// Returns false for a window that is gone.
bool SetWindowAnchors(Window window, uint32_t anchors, int maximumGrowth);
// Names a static text as the label of a control: the control's accessible name is the label's text.
bool SetWindowLabel(Window control, Window label);
// The name a screen reader says for a control that has no label (a list, a status text, a bar).
bool SetAccessibleName(Window window, const char16_t* name);

// Lets the user choose the menu item of the command, or not. Returns false when the window has no such item.
bool EnableMenuItem(Window window, uint16_t command, bool enabled);
// Sent to a window just before one of its menus opens (first: the menu's index on the bar), so that it
// can enable what can be chosen now.
constexpr uint32_t MessageInitMenuPopup = 0x0117;
// Asks the user for a file to open: the host's file dialog, captioned, offering the filter ("Databases
// (*.zdb *.db);;All files (*)"), in the folder of the file last opened or saved. The chosen file is
// reached through the device path written to path (an opened file: platform/device.h). Returns false
// when the user cancelled.
bool GetOpenFileName(Window owner, const char16_t* caption, const char16_t* filter, char16_t* path,
                     int capacity);
// Asks the user where to save a file: the host's file dialog, captioned, suggesting a name and offering
// the filter ("CSV files (*.csv)"). The chosen file is reached through the device path written to path
// (an opened file: platform/device.h). Returns false when the user cancelled.
bool GetSaveFileName(Window owner, const char16_t* caption, const char16_t* suggestedName,
                     const char16_t* filter, char16_t* path, int capacity);

// Shows how far a long task has come in a box owned by owner, captioned; done equal to total closes it.
// Only on a desktop (nothing under --screen or --script).
void ShowProgressBox(Window owner, const char16_t* caption, int done, int total);

// --- Message boxes and the screen --------------------------------------------------------------------
constexpr uint32_t MessageBoxOk = 0x0000;
constexpr int MessageBoxResultOk = 1;
// Modal, owned by owner (may be null), captioned, with an OK button.
int MessageBox(Window owner, const char16_t* text, const char16_t* caption, uint32_t type);
// The box shown when memory runs out in a window procedure, an event or a thread the program started
// (English until the program sets its own texts; the texts must outlive the run).
void SetOutOfMemoryBox(const char16_t* caption, const char16_t* text);
// Shows that box, with the memory kept in reserve for it given back first.
void ShowOutOfMemoryBox(Window owner);

constexpr int MetricScreenWidth = 0;
constexpr int MetricScreenHeight = 1;
int GetSystemMetrics(int metric);

// --- Threads -----------------------------------------------------------------------------------------
struct ThreadTag;
using ThreadHandle = ThreadTag*;
using ThreadProcedure = unsigned long (*)(void* argument);
constexpr int ThreadPriorityNormal = 3; // the platform's normal level on its 0 to 7 scale
// Creates and starts a thread; returns its handle (null on failure).
ThreadHandle CreateThread(ThreadProcedure procedure, void* argument);
bool SetThreadPriority(ThreadHandle thread, int priority);
bool CloseHandle(ThreadHandle thread);
// How many threads made with CreateThread are still running.
int RunningThreadCount();
// Serves the window system (and calls from other threads) until no thread made with CreateThread runs.
void WaitForThreadsServingMessages();
