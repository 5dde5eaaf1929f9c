// What every page shares: message tables walked by one window procedure, command tables walked by one
// dispatcher, and control tables from which a page builds its controls.
#pragma once

#include "platform/windows.h"

#include <cstdint>

using MessageHandler = MessageResult (*)(Window window, uint32_t message, FirstParameter first,
                                         SecondParameter second);
struct MessageTableEntry {
    uint32_t message;       // platform message number
    MessageHandler handler; // gets the unchanged window, message and parameters
};

using CommandHandler = MessageResult (*)(Window page, int controlId, Window control, int notificationCode);
struct CommandTableEntry {
    int32_t commandId;      // compared with the 16-bit control identifier
    CommandHandler handler; // gets the page, the control identifier, the control and the notification
};

struct ControlRectangle {
    int32_t x, y, width, height;
};
// How a control follows its page in a desktop window the user makes larger (windows.h, Anchor...); the
// handheld's rectangles stay as they are.
struct ControlAnchors {
    uint32_t edges;        // which edges follow the page's right and bottom edges; 0: none
    int32_t maximumGrowth; // device pixels it may grow or move at most; 0: as far as the page grows
};
struct ControlDescription {
    const char16_t* className;      // platform window class of the control
    int32_t id;                     // child identifier and caption key; -1: addressed by no code
    const char16_t* caption;        // built-in caption, possibly empty
    ControlRectangle rectangles[2]; // portrait (orientation 0), then landscape (1)
    uint32_t style;                 // the page's fixed bits are ORed in at creation
    ControlAnchors anchors;         // on a desktop only
};

// A static text that labels a control: a screen reader names the control by it.
struct ControlLabel {
    int32_t controlId;
    int32_t labelId;
};
// A control without a label, named for a screen reader by a text of the language file.
struct ControlName {
    int32_t controlId;
    int32_t textId;
    const char16_t* builtInName;
};

// Fixed style bits each page ORs into its controls' styles.
constexpr uint32_t PageFixedStyle = StyleChild | StyleVisible;
constexpr uint32_t ResultPageFixedStyle = StyleChild; // each Result row carries its own visible bit

// Walks table from first to last and calls the handler of the first entry for message; messages the
// table does not hold go to the platform's default processing.
MessageResult WalkMessageTable(const MessageTableEntry* table, int count, Window window, uint32_t message,
                               FirstParameter first, SecondParameter second);
template <int Count>
MessageResult WalkMessageTable(const MessageTableEntry (&table)[Count], Window window, uint32_t message,
                               FirstParameter first, SecondParameter second) {
    return WalkMessageTable(table, Count, window, message, first, second);
}

// Splits the command's first parameter and calls the first entry with that control identifier;
// returns its result, or 0 when no entry matches (commands never reach default processing).
MessageResult DispatchCommand(const CommandTableEntry* table, int count, Window page, FirstParameter first,
                              SecondParameter second);
template <int Count>
MessageResult DispatchCommand(const CommandTableEntry (&table)[Count], Window page, FirstParameter first,
                              SecondParameter second) {
    return DispatchCommand(table, Count, page, first, second);
}

// Creates the page's controls in table order, with the rectangle of the current orientation. When
// translate is set, a control with a non-empty built-in caption takes the language file's text of its
// identifier if that text is non-empty. A control the platform fails to create is simply missing.
// Then gives the page's controls their anchors, their labels and names for a screen reader. Returns 0.
int CreatePageControls(Window page, const ControlDescription* table, int count, uint32_t fixedStyle,
                       bool translate);
template <int Count>
int CreatePageControls(Window page, const ControlDescription (&table)[Count], uint32_t fixedStyle,
                       bool translate) {
    return CreatePageControls(page, table, Count, fixedStyle, translate);
}

// Registers a page class with the shared attributes (no class style, no extra bytes, no icon, arrow
// cursor, stock white brush, no menu). Returns 0, or 1 when the platform refuses it.
int RegisterPageClass(Instance instance, const char16_t* className, WindowProcedure procedure);

// The control tables (their rows are the layout of each page).
constexpr int SearchControlCount = 16;
constexpr int ResultControlCount = 5;
constexpr int SetupControlCount = 9;
constexpr int AboutControlCount = 2;
extern const ControlDescription SearchControls[SearchControlCount];
extern const ControlDescription ResultControls[ResultControlCount];
extern const ControlDescription SetupControls[SetupControlCount];
extern const ControlDescription AboutControls[AboutControlCount];
constexpr int ControlLabelCount = 8;
constexpr int ControlNameCount = 3;
extern const ControlLabel ControlLabels[ControlLabelCount];
extern const ControlName ControlNames[ControlNameCount];
