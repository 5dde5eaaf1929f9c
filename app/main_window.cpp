// The main window: its tab control and page windows, page switching, commands and the shutdown sequence.
#include "app/desktop_texts.h"
#include "app/messages.h"
#include "app/page_framework.h"
#include "app/pages.h"
#include "app/program.h"
#include "db/database_list.h"
#include "i18n/language_file.h"
#include "platform/text.h"
#include "search/result_page.h"
#include "search/search_state.h"
#include "search/search_worker.h"
#include "settings/settings.h"

Window MainWindow;
Window TabControl;
int CurrentPage;
Window PageWindows[PageCount];

const PageDescription Pages[5] = {
    {u"SearchWnd", u"Search"},
    {u"ResultWnd", u"Result"},
    {u"SetupWnd",  u"Setup" },
    {u"AboutWnd",  u"About" },
    {u"Exit",      u"Exit"  },
};

namespace {

constexpr int PageTop = 24; // the pages start under the row of tabs

// Translated tab labels are kept for the whole run; a label is cut to 127 characters.
char16_t tabLabels[PageCount][128];

MessageResult OnMainWindowCreate(Window window, uint32_t, FirstParameter, SecondParameter) {
    MainWindow = window;
    // (The command bar made and destroyed here on the device has no counterpart.)
    TabControl = CreateWindowEx(0, u"SysTabControl32", u"Tab1",
                                StyleChild | StyleVisible | StyleClipSiblings | StyleTabStop | TabFlatButtons,
                                50, 50, 100, 100, window, TabControlId, ProgramInstance, nullptr);
    if (!TabControl) {
        // Without tabs the window could never be closed from within: end start-up as for a missing page.
        DestroyWindow(window);
        return 0;
    }
    Rectangle client;
    GetClientRect(window, &client);
    MoveWindow(TabControl, -2, 0, client.right + 4, client.bottom, false);
    // A desktop window the user makes larger: the tabs and the pages under them fill it.
    SetWindowAnchors(TabControl, AnchorFill, 0);

    for (int index = 0; index < PageCount; index++) {
        CopyText(tabLabels[index], TranslatedText(FirstTabLabelId + index, Pages[index].tabLabel));
        TabItem item{};
        item.mask = TabItemText;
        item.text = tabLabels[index];
        SendMessage(TabControl, TabInsertItem, static_cast<FirstParameter>(index),
                    reinterpret_cast<SecondParameter>(&item));
    }
    CurrentPage = PageSearch;
    // The menu the program defines, shown on a desktop above the device's screen; the keys shown beside
    // an item are named in the key table.
    const MenuItem menu[] = {
        {0, DesktopText(TextMenuFile),    0,                    nullptr        },
        {1, DesktopText(TextMenuOpen),    CommandOpenFile,      u"Ctrl+O"      },
        {1, DesktopText(TextMenuExport),  CommandExportResults, u"Ctrl+E"      },
        {1, DesktopText(TextMenuSetup),   CommandShowSetup,     nullptr        },
        {1, nullptr,                      0,                    nullptr        },
        {1, DesktopText(TextMenuExit),    CommandExit,          u"Ctrl+Q"      },
        {0, DesktopText(TextMenuEdit),    0,                    nullptr        },
        {1, DesktopText(TextMenuCopy),    CommandCopy,          u"Ctrl+C"      },
        {1, DesktopText(TextMenuCopyAll), CommandCopyAll,       u"Ctrl+Shift+C"},
        {0, DesktopText(TextMenuHelp),    0,                    nullptr        },
        {1, DesktopText(TextMenuAbout),   CommandShowAbout,     nullptr        },
    };
    SetWindowMenu(window, menu, sizeof menu / sizeof menu[0]);

    Rectangle tabClient;
    GetClientRect(TabControl, &tabClient);
    for (int index = 0; index < PageCount; index++) {
        PageWindows[index] = CreateWindowEx(ExtendedClientEdge, Pages[index].className, u"", StyleChild, 0,
                                            PageTop, tabClient.right, tabClient.bottom - PageTop, TabControl,
                                            FirstPageWindowId + index, ProgramInstance, nullptr);
        if (!PageWindows[index]) {
            DestroyWindow(window);
            return 0;
        }
        SetWindowAnchors(PageWindows[index], AnchorFill, 0);
    }
    ShowWindow(PageWindows[CurrentPage], ShowShow);
    InstallKeyCommands();
    return 0;
}

MessageResult OnMainWindowNotify(Window window, uint32_t, FirstParameter, SecondParameter second) {
    const NotifyHeader* header = reinterpret_cast<const NotifyHeader*>(second);
    if (!header || header->id != TabControlId || header->code != TabSelectionChanged) return 0;
    int selection = static_cast<int>(SendMessage(TabControl, TabGetCurrentSelection, 0, 0));
    if (selection == PageExit)
        CloseRequest(window);
    else
        ShowPage(selection);
    return 0;
}

// Asks the user for a database file and opens it for this run, as one given on the command line.
void OpenDatabaseFromDialog(Window owner) {
    char16_t filter[3 * LanguageTextCapacity];
    FormatWide(filter, 3 * LanguageTextCapacity, u"%s (*.zdb *.db);;%s (*)",
               {DesktopText(TextDatabaseFiles), DesktopText(TextAllFiles)});
    char16_t path[520];
    if (GetOpenFileName(owner, DesktopText(TextOpenCaption), filter, path, 520))
        OpenDatabaseForRun(PageWindows[PageSearch], path);
}

// Before a menu opens: only what can be done now can be chosen.
MessageResult OnMainWindowInitMenu(Window window, uint32_t, FirstParameter, SecondParameter) {
    for (uint16_t command : {CommandCopy, CommandCopyAll, CommandExportResults})
        EnableMenuItem(window, command, CommandAvailable(command));
    return 0;
}

MessageResult OnMainWindowCommand(Window window, uint32_t, FirstParameter first, SecondParameter) {
    // A command's keys reach here whether or not its menu item could be chosen.
    if (!CommandAvailable(LowWord(first))) return 0;
    switch (LowWord(first)) {
    case CommandOpenFile:
        OpenDatabaseFromDialog(window);
        break;
    case CommandExit:
        CloseRequest(window);
        break;
    case CommandShowSetup:
        SelectPage(PageSetup);
        break;
    case CommandShowAbout:
        SelectPage(PageAbout);
        break;
    case CommandExportResults:
        ExportResults(window);
        break;
    case CommandCopy:
    case CommandCopyAll:
        CopyResultRows(window, LowWord(first) == CommandCopyAll);
        break;
    case CommandNextPage:
        SelectPage((CurrentPage + 1) % PageExit);
        break;
    case CommandPreviousPage:
        SelectPage((CurrentPage + PageExit - 1) % PageExit);
        break;
    default:
        break;
    }
    return 0;
}

// A database file dropped on the window (or given on the command line) is opened for this run.
MessageResult OnMainWindowDropFiles(Window, uint32_t, FirstParameter, SecondParameter second) {
    const char16_t* devicePath = reinterpret_cast<const char16_t*>(second);
    if (devicePath && devicePath[0]) OpenDatabaseForRun(PageWindows[PageSearch], devicePath);
    return 0;
}

MessageResult RunShutdownSequence(Window, uint32_t, FirstParameter, SecondParameter) {
    // A search still running is asked to stop and waited for (its calls served meanwhile), so that no
    // row of it refers to a freed result item.
    StopSearchAndWait();
    SaveColumnWidths();
    FreeResultItems();
    if (LanguageFile) CloseStreamFile(LanguageFile);
    LanguageFile = nullptr;
    PostQuitMessage(0);
    return 0;
}

// clang-format off
const MessageTableEntry mainWindowMessages[] = {
    {MessageCreate,  OnMainWindowCreate  },
    {MessageNotify,  OnMainWindowNotify  },
    {MessageCommand, OnMainWindowCommand },
    {MessageDropFiles, OnMainWindowDropFiles},
    {MessageInitMenuPopup, OnMainWindowInitMenu},
    {MessageDestroy, RunShutdownSequence },
    {MessageClose,   RunShutdownSequence },
};
// clang-format on

MessageResult MainWindowProcedure(Window window, uint32_t message, FirstParameter first,
                                  SecondParameter second) {
    return WalkMessageTable(mainWindowMessages, window, message, first, second);
}

} // namespace

int RegisterMainWindowClass(Instance instance) {
    WindowClass mainClass{};
    mainClass.procedure = MainWindowProcedure;
    mainClass.instance = instance;
    mainClass.cursor = ArrowCursor;
    mainClass.background = SystemColourFlag | ColourStatic;
    mainClass.className = MainWindowClassName;
    return RegisterWindowClass(&mainClass) == 0 ? 1 : 0;
}

bool CommandAvailable(int command) {
    bool searching = CurrentSearchState() != SearchState::Idle;
    switch (command) {
    case CommandCopy:
        // The row in hand; a running search may still change what the rows are.
        return !searching && ResultList &&
               SendMessage(ResultList, ListViewGetNextItem, static_cast<FirstParameter>(-1),
                           static_cast<SecondParameter>(ListViewNextFocused)) >= 0;
    case CommandCopyAll:
    case CommandExportResults:
        return !searching && ResultList && SendMessage(ResultList, ListViewGetItemCount, 0, 0) > 0;
    default:
        return true;
    }
}

void ShowPage(int pageIndex) {
    if (pageIndex == CurrentPage || pageIndex < 0 || pageIndex >= PageCount) return;
    ShowWindow(GetDlgItem(TabControl, FirstPageWindowId + CurrentPage), ShowHide);
    CurrentPage = pageIndex;
    ShowWindow(GetDlgItem(TabControl, FirstPageWindowId + pageIndex), ShowShow);
}

void SelectPage(int pageIndex) {
    SendMessage(TabControl, TabSetCurrentSelection, static_cast<FirstParameter>(pageIndex), 0);
    ShowPage(pageIndex);
}

MessageResult CloseRequest(Window mainWindow) {
    SendMessage(mainWindow, MessageClose, 0, 0);
    return 0;
}
