// The main window: its tab control and page windows, page switching, commands and the shutdown sequence.
#include "app/messages.h"
#include "app/page_framework.h"
#include "app/pages.h"
#include "app/program.h"
#include "app/result_text.h"
#include "db/database_list.h"
#include "i18n/language_file.h"
#include "platform/text.h"
#include "search/result_page.h"
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
    // The menu the program defines, shown on a desktop above the device's screen; Setup, About and Exit
    // are named as their tabs.
    const MenuItem menu[] = {
        {0, u"File",                 0                   },
        {1, u"Export results\u2026", CommandExportResults},
        {1, tabLabels[PageSetup],    CommandShowSetup    },
        {1, nullptr,                 0                   },
        {1, tabLabels[PageExit],     CommandExit         },
        {0, u"Edit",                 0                   },
        {1, u"Copy",                 CommandCopy         },
        {1, u"Copy all",             CommandCopyAll      },
        {0, u"Help",                 0                   },
        {1, tabLabels[PageAbout],    CommandShowAbout    },
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

MessageResult OnMainWindowCommand(Window window, uint32_t, FirstParameter first, SecondParameter) {
    switch (LowWord(first)) {
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
        SetClipboardText(
            WideFromUtf8(ResultRowsText(LowWord(first) == CommandCopyAll, RowTextForm::TabSeparated))
                .c_str());
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
