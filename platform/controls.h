// The faces of windows, one file each: a control's file makes its Qt face, keeps the control's state in
// one struct (the face), serves the control's messages in default processing and shows its text. The
// table of built-in classes (window_records.cpp) names each class's functions here.
//   panels.cpp          a registered class's window (a page, the main window) and the input panel
//   static_control.cpp  "static"            edit_control.cpp  "edit"         button_control.cpp "BUTTON"
//   combo_box.cpp       "combobox"          list_box.cpp      "Listbox"      progress_bar.cpp
//   "msctls_progress32" tab_control.cpp     "SysTabControl32"   list_view*.cpp    "SysListView32"
//   (list_view.h)
#pragma once

#include "platform/window_system.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QString>

struct ControlFunctions {
    // Makes the face, a child of parentWidget (null for a top-level window).
    QWidget* (*createFace)(WindowRecord* record, QWidget* parentWidget);
    // The control's share of default processing: true, with the result, for a message it serves.
    bool (*processMessage)(WindowRecord* record, uint32_t message, FirstParameter first,
                           SecondParameter second, MessageResult* result);
    // Shows the window text on the face (null: the face shows none).
    void (*showText)(WindowRecord* record);
};

extern const ControlFunctions PanelFunctions;
extern const ControlFunctions InputPanelFunctions;
extern const ControlFunctions StaticFunctions;
extern const ControlFunctions EditFunctions;
extern const ControlFunctions ButtonFunctions;
extern const ControlFunctions ComboBoxFunctions;
extern const ControlFunctions ListBoxFunctions;
extern const ControlFunctions ProgressFunctions;
extern const ControlFunctions TabFunctions;
extern const ControlFunctions ListViewFunctions;

// Runs the command the program named for the keys pressed in the face (key_commands.cpp). False when
// the keys name none: the face then serves them itself.
bool RunKeyCommand(QWidget* widget, QKeyEvent* press);

// A label's new text becomes the accessible name of the control it labels (accessible_names.cpp).
class QLabel;
void ShowLabelText(QLabel* label);

// Whether a drag carries a local file, and a drop of one on a control: handed to the control's top-level
// window as a file dropped on it (panels.cpp). False when it carries none.
bool CarriesLocalFile(const QMimeData* data);
bool DropFileOnWindow(WindowRecord* inside, const QMimeData* data);

// What the script driver reads of a list box beyond its Qt face: how far its lines may scroll sideways.
int ListBoxHorizontalExtent(WindowRecord* record);
// Tells a list view's face of the rows its store took since (before it is painted).
void ListViewTellNewRows(WindowRecord* record);
// The row store road (list_view_messages.cpp): serves a list view message on the sender's own thread,
// under the store's lock. False when the window has no row store or the call needs the window thread.
bool ListViewRowStoreMessage(Window window, uint32_t message, FirstParameter first, SecondParameter second,
                             MessageResult* result);

// Texts are shown as they stand. Qt takes "&" in a button's or tab's caption as the mark of a shortcut
// key and "[*]" in a window title as the place of a modified mark; doubled, each shows as itself.
inline QString ToQString(const std::u16string& text) {
    return QString::fromStdU16String(text);
}
inline QString ToQString(const char16_t* text) {
    return text ? QString::fromUtf16(text) : QString();
}
inline QString WithLiteralAmpersands(QString text) {
    return text.replace(u'&', QStringLiteral("&&"));
}
inline QString WithoutLiteralAmpersands(QString text) {
    return text.replace(QStringLiteral("&&"), QStringLiteral("&"));
}
inline QString PlainWindowTitle(const std::u16string& text) {
    return ToQString(text).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}
