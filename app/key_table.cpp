// The keys of the desktop: each names a command that a button or a menu item of the program sends too.
#include "app/identifiers.h"
#include "app/pages.h"
#include "app/program.h"

namespace {

constexpr int WholePage = 0; // the row's keys work anywhere on its page

struct KeyRow {
    int page;             // where the keys are pressed (a page index, or -1 for the main window)
    int controlId;        // on that control only, or WholePage
    const char16_t* keys; // Qt's portable text
    int targetPage;       // who receives the command (a page index, or -1 for the main window)
    uint16_t command;
};
constexpr int MainWindowRow = -1;

// clang-format off
constexpr KeyRow keyRows[] = {
    {PageSearch,    DatabaseSelectorId, u"Return",         PageSearch,    StartStopButtonId  },
    {PageSearch,    DatabaseSelectorId, u"Enter",          PageSearch,    StartStopButtonId  },
    {PageSearch,    PhoneEditId,        u"Return",         PageSearch,    StartStopButtonId  },
    {PageSearch,    NameEditId,         u"Return",         PageSearch,    StartStopButtonId  },
    {PageSearch,    StreetEditId,       u"Return",         PageSearch,    StartStopButtonId  },
    {PageSearch,    HouseEditId,        u"Return",         PageSearch,    StartStopButtonId  },
    {PageSearch,    FlatEditId,         u"Return",         PageSearch,    StartStopButtonId  },
    {PageSearch,    PhoneEditId,        u"Enter",          PageSearch,    StartStopButtonId  },
    {PageSearch,    NameEditId,         u"Enter",          PageSearch,    StartStopButtonId  },
    {PageSearch,    StreetEditId,       u"Enter",          PageSearch,    StartStopButtonId  },
    {PageSearch,    HouseEditId,        u"Enter",          PageSearch,    StartStopButtonId  },
    {PageSearch,    FlatEditId,         u"Enter",          PageSearch,    StartStopButtonId  },
    {PageResult,    ResultListId,       u"Ctrl+C",         MainWindowRow, CommandCopy        },
    {PageResult,    ResultListId,       u"Ctrl+Shift+C",   MainWindowRow, CommandCopyAll     },
    {MainWindowRow, WholePage,          u"Ctrl+Tab",       MainWindowRow, CommandNextPage    },
    {MainWindowRow, WholePage,          u"Ctrl+Shift+Tab", MainWindowRow, CommandPreviousPage},
    // Escape stops a search wherever the focus is; the menu's keys work anywhere in the window.
    {MainWindowRow, WholePage,          u"Escape",         PageSearch,    CommandStopSearch  },
    {MainWindowRow, WholePage,          u"Ctrl+O",         MainWindowRow, CommandOpenFile    },
    {MainWindowRow, WholePage,          u"Ctrl+E",         MainWindowRow, CommandExportResults},
    {MainWindowRow, WholePage,          u"Ctrl+Q",         MainWindowRow, CommandExit        },
    // The arrows on the tab bar go round the pages as Ctrl+Tab does: no key reaches the Exit tab.
    {MainWindowRow, TabControlId,       u"Left",           MainWindowRow, CommandPreviousPage},
    {MainWindowRow, TabControlId,       u"Right",          MainWindowRow, CommandNextPage    },
};
// clang-format on

Window WindowOfRow(int page) {
    return page == MainWindowRow ? MainWindow : PageWindows[page];
}

} // namespace

void InstallKeyCommands() {
    for (const KeyRow& row : keyRows) {
        Window where = WindowOfRow(row.page);
        if (row.controlId != WholePage) where = GetDlgItem(where, row.controlId);
        AddKeyCommand(where, row.keys, row.controlId == WholePage, WindowOfRow(row.targetPage), row.command);
    }
}
