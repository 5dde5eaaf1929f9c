// Every number the program's windows, commands and texts are known by, in one place: the control
// identifiers (which also key the controls' captions in the language file), the main window's commands,
// and the text identifiers of the tab labels and message texts. The tables, the program and the tests
// name them from here.
#pragma once

#include <cstdint>

// --- The main window's children --------------------------------------------------------------------------
constexpr int TabControlId = 200;
constexpr int FirstPageWindowId = 5; // page window i (page index) has control identifier 5 + i

// --- Controls, by page (a control's identifier is also the text identifier of its caption) --------------
enum ControlId : int32_t {
    // Addressed by no code (the Search page's title, the Setup page's "Language:"); still a caption key.
    UnaddressedControlId = -1,

    // Search page
    DatabaseSelectorId = 1100,
    PhoneEditId = 1101,
    NameEditId = 1102,
    StreetEditId = 1103,
    HouseEditId = 1104,
    FlatEditId = 1105,
    ResetButtonId = 1106,
    StartStopButtonId = 1107,
    DatabaseLabelId = 1109,
    PhoneLabelId = 1110,
    NameLabelId = 1111,
    StreetLabelId = 1112,
    HouseLabelId = 1113,
    FlatLabelId = 1114,

    // Result page
    ResultListId = 1201,
    StatusTextId = 1202,
    ProgressBarId = 1203,
    ResultTitleId = 1204,
    QueryDetailsId = 1205,

    // Setup page
    FoundListId = 1302,
    FindDatabasesButtonId = 1303,
    InstallButtonId = 1304,
    CheckButtonId = 1305,
    SetupTitleId = 1306,
    InstallLabelId = 1307,
    LanguageSelectorId = 1308,
    SaveLanguageButtonId = 1309,

    // About page
    AboutIconId = 1401,
    AboutTextId = 1402,
};

// Ranges the program walks by number.
constexpr int CriteriaEditCount = 5;
static_assert(FlatEditId - PhoneEditId + 1 == CriteriaEditCount,
              "the criteria edits are 1101 to 1105, in capture order phone, name, street, house, flat");
static_assert(FlatLabelId - PhoneLabelId + 1 == CriteriaEditCount,
              "the labels 1110 to 1114 name the criteria in the same order and head the result columns");
// A running search disables the database selector, the criteria edits and Reset: 1100 to 1106.
constexpr int FirstDisabledWhileSearching = DatabaseSelectorId;
constexpr int LastDisabledWhileSearching = ResetButtonId;
static_assert(PhoneEditId == DatabaseSelectorId + 1 && ResetButtonId == FlatEditId + 1,
              "1100 to 1106 are the selector, the five edits and Reset");

// --- The main window's commands ----------------------------------------------------------------------------
enum CommandId : int32_t {
    CommandExit = 500,
    CommandShowSetup = 501,
    CommandShowAbout = 502,
    CommandExportResults = 503,
    CommandCopy = 504,     // the focused result row, with the heading line
    CommandCopyAll = 505,  // every result row, with the heading line
    CommandNextPage = 506, // the next tab, never the Exit tab
    CommandPreviousPage = 507,
    CommandOpenFile = 508, // a database chosen in a file dialog, opened for this run
};
// The Search page's command for Escape: stops a running search, does nothing otherwise.
constexpr int CommandStopSearch = 2;

// --- Text identifiers ------------------------------------------------------------------------------------
// The names a screen reader says for the Result page's controls that have no label.
constexpr int TextResultsName = 1050;
constexpr int TextStatusName = 1051;
constexpr int TextProgressName = 1052;

// The tab labels: text identifier 700 + page index.
constexpr int FirstTabLabelId = 700;

// The message texts, 900 to 924, one slot each in the message text table.
enum MessageTextId : int32_t {
    TextError = 900,
    TextInfo = 901,
    TextNoCriteria = 902,
    TextCannotSaveIni = 903,
    TextBadDatabase = 904,
    TextMaxDatabases = 905,
    TextAllDatabasesGood = 906,
    TextWrongDatabases = 907,
    TextScanned = 908,
    TextQuery = 909,
    TextPhoneKey = 910,
    TextNameKey = 911,
    TextStreetKey = 912,
    TextHouseKey = 913,
    TextFlatKey = 914,
    TextStart = 915,
    TextStop = 916,
    TextNoDatabase = 917,         // Start with no database installed
    TextResultsCut = 918,         // the final counts of a search cut short by the memory budget
    TextDatabaseDamaged = 919,    // after the final counts: the data read were damaged
    TextDatabaseEndedEarly = 920, // after the final counts: the file ended before its end mark
    TextDatabaseChanged = 921,    // after the final counts: the file changed while it was read
    TextOutOfMemory = 922,        // memory ran out in the window program: the box
    TextCopyNoMemory = 923,       // a copy refused: it would pass the memory budget
    TextSortNoMemory = 924,       // a sort refused for memory
};
constexpr int FirstMessageTextId = TextError;
constexpr int MessageTextCount = 25;
static_assert(TextSortNoMemory - TextError + 1 == MessageTextCount,
              "the message texts are identifiers 900 to 924");
static_assert(TextFlatKey - TextPhoneKey + 1 == CriteriaEditCount,
              "the summary's key texts 910 to 914 follow the criteria's order");

// The desktop's texts (app/desktop_texts.cpp): menus, file dialogs and messages only a desktop shows,
// 1000 to 1069. Menu texts mark their key letter with "&".
enum DesktopTextId : int32_t {
    TextMenuFile = 1000,
    TextMenuOpen = 1001,
    TextMenuExport = 1002,
    TextMenuSetup = 1003,
    TextMenuExit = 1004,
    TextMenuEdit = 1005,
    TextMenuCopy = 1006,
    TextMenuCopyAll = 1007,
    TextMenuHelp = 1008,
    TextMenuAbout = 1009,
    TextOpenCaption = 1010,   // the caption of File -> Open's dialog
    TextDatabaseFiles = 1011, // its filter's name, before "(*.zdb *.db)"
    TextExportCaption = 1012, // the caption of Export's dialog and progress box
    TextCsvFiles = 1013,      // its filter's name, before "(*.csv)"
    TextAllFiles = 1014,      // the filter of every file, before "(*)"
    TextCouldNotWrite = 1015, // an export that could not be written: its host path
};
constexpr int FirstDesktopTextId = TextMenuFile;
constexpr int LastDesktopTextId = 1069;
