// Start-up and shutdown inside the test process: exit codes when a class name is taken or a window cannot
// be made, the shutdown sequence on close and on destruction, the texts taken from the language file,
// and the rules that decide the program folder and the orientation.
#include "app/identifiers.h"
#include "app/messages.h"
#include "app/program.h"
#include "db/database_list.h"
#include "i18n/language_file.h"
#include "platform/device.h"
#include "platform/registry.h"
#include "platform/script.h"
#include "platform/text.h"
#include "platform/window_system.h"
#include "search/search_page.h"
#include "search/search_state.h"
#include "settings/settings.h"
#include "tests/ui/support/harness.h"
#include "tests/ui/support/in_process.h"

#include <QApplication>
#include <QJsonDocument>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <QWindow>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <unistd.h>

namespace {

// Boxes of the starts below, which do not go through StartProgram, and the first window they made.
std::vector<RecordedBox> failureBoxes;
size_t firstWindowOfStart;

int RecordFailureBox(Window owner, const char16_t* text, const char16_t* caption) {
    WindowRecord* record = FindWindowRecord(owner);
    failureBoxes.push_back(RecordedBox{record ? Utf8FromWide(record->windowClass->name) : "",
                                       Utf8FromWide(caption), Utf8FromWide(text)});
    return MessageBoxResultOk;
}

// Starts as the program's entry does, after prepare has set up the window system (a class name taken,
// a class whose windows cannot be made). Returns the exit code of a failed start, or 0.
int StartAfter(const std::string& device, const std::function<void()>& prepare) {
    ResetWindowSystem();
    ResetMessageTexts();
    ResetLanguageSection();
    failureBoxes.clear();
    firstWindowOfStart = AllWindowRecords().size();
    SetMessageBoxHook(RecordFailureBox);
    SetScreenSize(240, 320);
    PrepareDeviceFolder(device, "");
    prepare();
    Instance instance = reinterpret_cast<Instance>(1);
    int result = RunStartupSequence(instance);
    if (result != 0) return result;
    return CreateMainWindow(instance, ShowNormal) ? 0 : ExitMainWindowFailed;
}

// What a failed start leaves behind is dropped, as the ended process would.
void ForgetFailedStart() {
    SetMessageObserver(nullptr);
    if (LanguageFile) CloseStreamFile(LanguageFile);
    LanguageFile = nullptr;
    ResetWindowSystem();
}

// Takes every posted message off the queue; returns how many of them were quit messages.
int TakePostedQuits() {
    constexpr uint32_t EndMark = 0x7FFF;
    PostMessage(nullptr, EndMark, 0, 0);
    int quits = 0;
    Message message;
    for (;;) {
        if (!GetMessage(&message))
            quits++;
        else if (message.message == EndMark)
            return quits;
    }
}

// Counts the messages that say the shutdown sequence ran: close and destruction of the main window, and
// the result list asked for its column widths (5 per run).
struct ShutdownCounts {
    int closes = 0;
    int destructions = 0;
    int widthQuestions = 0;
};

void CountShutdowns(ShutdownCounts* counts) {
    ObserveMessages([counts](Window window, uint32_t message, FirstParameter, SecondParameter) {
        WindowRecord* record = FindWindowRecord(window);
        if (!record) return;
        bool main = record->windowClass->name == u"Dialdex";
        if (main && message == MessageClose) counts->closes++;
        if (main && message == MessageDestroy) counts->destructions++;
        if (record->windowClass->name == u"SysListView32" && message == ListViewGetColumnWidth)
            counts->widthQuestions++;
    });
}

// Registers a class of that name; false when the name is taken.
bool TakeClassName(const char16_t* name) {
    WindowClass probe{};
    probe.procedure = DefWindowProc;
    probe.className = name;
    return RegisterWindowClass(&probe) != 0;
}

// Windows of a class made since the last StartAfter (older records keep classes that are gone).
int WindowsMadeOfClass(const std::u16string& name) {
    int count = 0;
    const std::vector<WindowRecord*>& records = AllWindowRecords();
    for (size_t index = firstWindowOfStart; index < records.size(); index++)
        if (records[index]->windowClass->name == name) count++;
    return count;
}

QJsonObject DumpNow() {
    return QJsonDocument::fromJson(QByteArray::fromStdString(DumpWindowTree())).object();
}

std::vector<std::string> TabLabels() {
    std::vector<std::string> labels;
    for (const QJsonValue& tab : FindWindow(DumpNow(), "SysTabControl32", 200)["tabs"].toArray())
        labels.push_back(Text(tab));
    return labels;
}

} // namespace

TEST(Startup, ATakenClassNameEndsStartUpAtOnce) {
    std::string device = MakeDevice(LanguageFileOf({"[RUSSIAN]"}));

    // A page class name already taken, in other letter case: exit code 2, no message, and the pages after
    // it are not attempted.
    int result = StartAfter(device, [] { EXPECT_TRUE(TakeClassName(u"resultwnd")); });
    EXPECT_EQ(result, ExitPageClassFailed);
    EXPECT_TRUE(failureBoxes.empty());
    EXPECT_EQ(AllWindowRecords().size(), firstWindowOfStart);
    EXPECT_FALSE(TakeClassName(u"SearchWnd"));
    EXPECT_TRUE(TakeClassName(u"SetupWnd"));
    EXPECT_TRUE(TakeClassName(u"AboutWnd"));
    EXPECT_TRUE(TakeClassName(u"Exit"));
    ForgetFailedStart();

    // The main window class taken: exit code 1 before the language file is opened (no box, no page class).
    result = StartAfter(MakeDevice(""), [] { EXPECT_TRUE(TakeClassName(u"DIALDEX")); });
    EXPECT_EQ(result, ExitStartupFailed);
    EXPECT_TRUE(failureBoxes.empty());
    EXPECT_EQ(LanguageFile, nullptr);
    EXPECT_TRUE(TakeClassName(u"SearchWnd"));
    ForgetFailedStart();
}

TEST(Startup, AWindowThatCannotBeMadeEndsWithSixteenAfterOneShutdown) {
    std::string device = MakeDevice(LanguageFileOf({"[RUSSIAN]"}));
    ShutdownCounts tabCounts;

    // No tab control: the main window is destroyed at once, the shutdown sequence runs once and no page
    // is made.
    int result = StartAfter(device, [&] {
        SetFailingWindowClass(u"SysTabControl32");
        CountShutdowns(&tabCounts);
    });
    EXPECT_EQ(result, ExitMainWindowFailed);
    EXPECT_EQ(tabCounts.destructions, 1);
    EXPECT_EQ(tabCounts.closes, 0);
    EXPECT_EQ(WindowsMadeOfClass(u"SearchWnd"), 0);
    EXPECT_TRUE(QuitPosted());
    EXPECT_EQ(QuitCode(), 0);
    EXPECT_EQ(TakePostedQuits(), 1);
    EXPECT_EQ(LanguageFile, nullptr);
    EXPECT_TRUE(failureBoxes.empty());
    ForgetFailedStart();

    // The About page cannot be made: the pages before it exist, the shutdown sequence runs once (the
    // result list's widths are asked for once each) and the Exit page is never made.
    ShutdownCounts pageCounts;
    result = StartAfter(device, [&] {
        SetFailingWindowClass(u"AboutWnd");
        CountShutdowns(&pageCounts);
    });
    EXPECT_EQ(result, ExitMainWindowFailed);
    EXPECT_EQ(pageCounts.destructions, 1);
    EXPECT_EQ(pageCounts.closes, 0);
    EXPECT_EQ(pageCounts.widthQuestions, 5);
    EXPECT_EQ(WindowsMadeOfClass(u"SetupWnd"), 1);
    EXPECT_EQ(WindowsMadeOfClass(u"Exit"), 0);
    EXPECT_FALSE(IsWindow(MainWindow));
    EXPECT_EQ(TakePostedQuits(), 1);
    EXPECT_EQ(QuitCode(), 0);
    EXPECT_EQ(LanguageFile, nullptr);
    ForgetFailedStart();
}

TEST(Startup, CloseAndDestructionEachRunTheShutdownSequenceOnce) {
    std::string device = MakeDevice(LanguageFileOf({"[RUSSIAN]"}));

    // Closing: the sequence runs once and the window stays; the process would end with 0.
    ASSERT_EQ(StartProgram(device), 0);
    ShutdownCounts closeCounts;
    CountShutdowns(&closeCounts);
    SendMessage(MainWindow, MessageClose, 0, 0);
    EXPECT_EQ(closeCounts.closes, 1);
    EXPECT_EQ(closeCounts.destructions, 0);
    EXPECT_EQ(closeCounts.widthQuestions, 5);
    EXPECT_TRUE(IsWindow(MainWindow));
    EXPECT_EQ(LanguageFile, nullptr);
    EXPECT_EQ(TakePostedQuits(), 1);
    EXPECT_EQ(StopProgram(), 0);

    // Destroying the main window some other way runs the same sequence once, from the destruction.
    ASSERT_EQ(StartProgram(device), 0);
    ShutdownCounts destroyCounts;
    CountShutdowns(&destroyCounts);
    DestroyWindow(MainWindow);
    EXPECT_EQ(destroyCounts.closes, 0);
    EXPECT_EQ(destroyCounts.destructions, 1);
    EXPECT_EQ(destroyCounts.widthQuestions, 5);
    EXPECT_EQ(LanguageFile, nullptr);
    EXPECT_EQ(TakePostedQuits(), 1);
    EXPECT_EQ(StopProgram(), 0);
}

TEST(Startup, LanguageTextsReplaceMessagesAndTabLabelsWithinTheirLimits) {
    std::string hundred(100, 'M');
    std::string longLabel(200, 'L');
    std::string device = MakeDevice(LanguageFileOf(
        {"[RUSSIAN]", "904=Damaged %s", "905=" + hundred, "906=", "700=" + longLabel, "702=Options"}));
    ASSERT_EQ(StartProgram(device), 0);
    EXPECT_EQ(Utf8FromWide(MessageText(TextBadDatabase)), "Damaged %s");
    EXPECT_EQ(Utf8FromWide(MessageText(TextMaxDatabases)), std::string(79, 'M'));
    EXPECT_EQ(Utf8FromWide(MessageText(TextAllDatabasesGood)), "All installed db files - ok!");
    EXPECT_EQ(Utf8FromWide(MessageText(TextError)), "Error");
    EXPECT_EQ(TabLabels(),
              (std::vector<std::string>{std::string(127, 'L'), "Result", "Options", "About", "Exit"}));
    EXPECT_EQ(StopProgram(), 0);

    // An empty 904 keeps the built-in text.
    std::string empty = MakeDevice(LanguageFileOf({"[RUSSIAN]", "904="}));
    ASSERT_EQ(StartProgram(empty), 0);
    EXPECT_EQ(Utf8FromWide(MessageText(TextBadDatabase)), "Bad db file  - %s");
    EXPECT_EQ(StopProgram(), 0);

    // A language file of binary garbage: the program starts with every built-in text.
    std::mt19937 random(20031026);
    std::string garbage;
    for (int i = 0; i < 8192; i++)
        garbage += static_cast<char>(random() & 0xFF);
    garbage += "\r\n[RUSSIAN\r\n904";
    ASSERT_EQ(StartProgram(MakeDevice(garbage)), 0);
    EXPECT_EQ(Utf8FromWide(MessageText(TextError)), "Error");
    EXPECT_EQ(Utf8FromWide(MessageText(TextBadDatabase)), "Bad db file  - %s");
    EXPECT_EQ(Utf8FromWide(MessageText(TextStop)), "Stop");
    EXPECT_EQ(TabLabels(), (std::vector<std::string>{"Search", "Result", "Setup", "About", "Exit"}));
    EXPECT_EQ(ControlText("SearchWnd/1107"), "Start");
    EXPECT_EQ(ControlText("SetupWnd/1303"), "Find DB");
    EXPECT_EQ(StopProgram(), 0);
}

// Texts from the language file (or anywhere else) are shown as they stand: no markup, no mnemonics.
TEST(Startup, EveryTextIsShownAsItStands) {
    std::string device = MakeDevice(LanguageFileOf(
        {"[RUSSIAN]", "-1=<font color=red>RED RED RED</font>", "1109=<h1>zz", "1107=R&D", "700=X&Y"}));
    ASSERT_EQ(StartProgram(device), 0);
    auto face = [](int page, int id) { return FindWindowRecord(GetDlgItem(PageWindows[page], id))->widget; };
    auto showsRed = [](QWidget* widget) {
        QImage image = widget->grab().toImage();
        for (int y = 0; y < image.height(); y++)
            for (int x = 0; x < image.width(); x++) {
                QColor colour = image.pixelColor(x, y);
                if (colour.red() > 200 && colour.green() < 80 && colour.blue() < 80) return true;
            }
        return false;
    };
    // A static control: no colour from markup, no heading taller than a line.
    EXPECT_FALSE(showsRed(face(PageSearch, -1)));
    QWidget* label = face(PageSearch, DatabaseLabelId);
    EXPECT_LT(label->sizeHint().height(), 2 * label->fontMetrics().height());
    // A button and a tab: an ampersand is a character, not the mark of a shortcut.
    auto* button = static_cast<QPushButton*>(face(PageSearch, StartStopButtonId));
    EXPECT_EQ(button->fontMetrics().size(Qt::TextShowMnemonic, button->text()),
              button->fontMetrics().size(0, "R&D"));
    QTabBar* tabs = face(PageSearch, StartStopButtonId)->window()->findChild<QTabBar*>();
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->fontMetrics().size(Qt::TextShowMnemonic, tabs->tabText(0)),
              tabs->fontMetrics().size(0, "X&Y"));
    EXPECT_EQ(TabLabels()[0], "X&Y");
    EXPECT_EQ(ControlText("SearchWnd/1107"), "R&D");

    // A message box, shown for real: its text and its caption as they stand.
    SetMessageBoxHook(nullptr);
    bool seen = false, red = true;
    QString title;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (!box || !box->isVisible()) continue;
            seen = true;
            red = showsRed(box);
            title = box->windowHandle() ? box->windowHandle()->title() : QString();
            box->accept();
        }
    });
    poll.start(10);
    ShowMessageFixedCaption(nullptr, u"[*]<b>Caption</b>", u"<font color=red>RED RED RED</font> &amp;", {});
    poll.stop();
    EXPECT_TRUE(seen);
    EXPECT_FALSE(red);
    EXPECT_EQ(title.toStdString(), "[*]<b>Caption</b>");
    EXPECT_EQ(StopProgram(), 0);
}

TEST(Startup, ProgramFolderAndOrientationRules) {
    struct Case {
        const char16_t* executable;
        const char16_t* folder;
    };
    const Case cases[] = {
        {u"\\Windows\\Start Menu\\app.exe",        u"\\Windows\\Start Menu\\"   },
        {u"app.exe",                               u"\\"                        },
        {u"",                                      u"\\"                        },
        {u"\\app.exe",                             u"\\"                        },
        {u"\\Program Files\\Dialdex\\dialdex.exe", u"\\Program Files\\Dialdex\\"},
        {u"\\Trailing\\",                          u"\\Trailing\\"              },
    };
    for (const Case& example : cases) {
        char16_t folder[260];
        ProgramFolderFromPath(example.executable, folder, 260);
        EXPECT_EQ(std::u16string(folder), std::u16string(example.folder)) << Utf8FromWide(example.executable);
    }
    // A folder longer than the room is cut, never written past it.
    char16_t small[8];
    small[7] = u'#';
    ProgramFolderFromPath(u"\\Windows\\Start Menu\\app.exe", small, 7);
    EXPECT_EQ(std::u16string(small), u"\\Windo");
    EXPECT_EQ(small[7], u'#');

    EXPECT_EQ(OrientationForScreenHeight(294), 1);
    EXPECT_EQ(OrientationForScreenHeight(295), 0);
    EXPECT_EQ(OrientationForScreenHeight(0), 1);
    EXPECT_EQ(OrientationForScreenHeight(640), 0);
}

TEST(Startup, TheAboutPageIsTheSameInEveryLanguageAndTheLanguageLabelReadsAsOne) {
    // The shipped file, in each of its languages, and a file that names the About controls.
    std::vector<std::string> aboutTexts;
    std::vector<std::string> firstTabs;
    for (const char16_t* language : {u"RUSSIAN", u"ENGLISH", u"UKRAINIAN"}) {
        std::string device = MakeTemporaryFolder() + "/device";
        ASSERT_EQ(PrepareDeviceFolder(device, std::string(DIALDEX_SOURCE_FOLDER) + "/data/dialdex.lng"), 0);
        RegistryKey key;
        ASSERT_EQ(RegistryCreateKey(SettingsKeyPath, &key), RegistrySuccess);
        char16_t name[32] = {};
        CopyText(name, language);
        RegistrySetValue(key, u"Language", RegistryTypeString, name, 64);
        RegistryCloseKey(key);
        ASSERT_EQ(StartProgram(device), 0);
        aboutTexts.push_back(ControlText("AboutWnd/1402"));
        EXPECT_EQ(ControlText("AboutWnd/1401"), "DIALICON");
        firstTabs.push_back(TabLabels()[0]);
        // Identifier -1 is both the Search page's title and the language selector's label: each keeps
        // a text that suits it.
        EXPECT_EQ(ControlText("SetupWnd/-1"), "Language:");
        EXPECT_EQ(ControlText("SearchWnd/-1"), "Dialdex v.2.0 beta");
        EXPECT_EQ(StopProgram(), 0);
    }
    ASSERT_EQ(StartProgram(MakeDevice(LanguageFileOf({"[RUSSIAN]", "1402=Translated", "1401=OTHERICON"}))),
              0);
    aboutTexts.push_back(ControlText("AboutWnd/1402"));
    EXPECT_EQ(ControlText("AboutWnd/1401"), "DIALICON");
    EXPECT_EQ(StopProgram(), 0);

    EXPECT_EQ(firstTabs, (std::vector<std::string>{"Поиск", "Search", "Пошук"}));
    for (const std::string& text : aboutTexts)
        EXPECT_EQ(text, aboutTexts[0]);
    EXPECT_EQ(aboutTexts[0].rfind("Dialdex v.2.0 b1026\r\n", 0), 0u);
    EXPECT_NE(aboutTexts[0].find("\r\nPublic preview\r\nOctober, 2003"), std::string::npos);
}

TEST(Startup, CommandNotificationsOtherThanAClickDoNothing) {
    std::string device = MakeDevice(LanguageFileOf({"[RUSSIAN]"}));
    WriteHostFile(device + "/city.db", ExampleDatabase());
    WriteHostFile(device + "/spare.db", ExampleDatabase());
    WriteHostFile(device + "/Program Files/Dialdex/dialdex.ini", "\\city.db;CITY\r\n");
    ASSERT_EQ(StartProgram(device), 0);
    Act("type SearchWnd/1102 A");
    Window search = PageWindows[PageSearch];
    Window setup = PageWindows[PageSetup];
    struct Notification {
        Window page;
        int id;
        uint16_t code;
    };
    const Notification notifications[] = {
        {search, StartStopButtonId,     ButtonSetFocus        },
        {search, StartStopButtonId,     ButtonKillFocus       },
        {search, ResetButtonId,         ButtonSetFocus        },
        {setup,  FindDatabasesButtonId, ButtonSetFocus        },
        {setup,  InstallButtonId,       ButtonKillFocus       },
        {setup,  CheckButtonId,         ButtonSetFocus        },
        {setup,  SaveLanguageButtonId,  ButtonSetFocus        },
        {setup,  FoundListId,           ListBoxSelectionChange},
        {setup,  FoundListId,           ListBoxDoubleClick    },
    };
    for (const Notification& notification : notifications)
        EXPECT_EQ(
            SendMessage(notification.page, MessageCommand,
                        MakeFirstParameter(notification.id, notification.code),
                        reinterpret_cast<SecondParameter>(GetDlgItem(notification.page, notification.id))),
            0);
    // No search started, the edits keep their text, nothing was found, checked or saved.
    EXPECT_EQ(CurrentSearchState(), SearchState::Idle);
    EXPECT_EQ(CurrentPage, PageSearch);
    EXPECT_EQ(ControlText("SearchWnd/1102"), "A");
    EXPECT_EQ(ControlText("ResultWnd/1202"), "");
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(FindWindow(DumpNow(), "Listbox", 1302)["items"].toArray().size(), 0);
    EXPECT_EQ(ReadHostFile(device + "/Program Files/Dialdex/dialdex.ini"), "\\city.db;CITY\r\n");
    char16_t lastDatabase[260];
    LoadLastDatabase(lastDatabase);
    EXPECT_EQ(lastDatabase[0], 0);
    // The same commands as clicks do act.
    SendMessage(setup, MessageCommand, MakeFirstParameter(FindDatabasesButtonId, ButtonClicked),
                reinterpret_cast<SecondParameter>(GetDlgItem(setup, FindDatabasesButtonId)));
    EXPECT_EQ(FindWindow(DumpNow(), "Listbox", 1302)["items"].toArray().size(), 1);
    EXPECT_EQ(StopProgram(), 0);
}

TEST(Startup, FormatSpecifiersInMessageTextsDoNoHarm) {
    std::string device =
        MakeDevice(LanguageFileOf({"[RUSSIAN]", "903=%s%s%s%n", "908=%n%s/%s%s%n%x", "900=%s%n Caption"}));
    WriteHostFile(device + "/city.db", ExampleDatabase());
    WriteHostFile(device + "/Program Files/Dialdex/dialdex.ini", "\\city.db;CITY\r\n");
    ASSERT_EQ(StartProgram(device), 0);
    // The scan's counts in a text with more specifiers than counts, and a %n.
    Act("type SearchWnd/1102 A\nclick SearchWnd/1107\nwait");
    EXPECT_EQ(ControlText("ResultWnd/1202"), "1/1");
    // A box whose text has three %s for one path and a %n; captions are never formatted.
    std::string temporary = HostPathOf(DatabaseListPath) + ".tmp-" + std::to_string(getpid());
    std::filesystem::create_directories(temporary);
    EXPECT_EQ(SaveDatabaseList(PageWindows[PageSetup], InstalledDatabases[0]), -1);
    std::filesystem::remove(temporary);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].caption, "%s%n Caption");
    EXPECT_EQ(Boxes()[0].text, "\\Program Files\\Dialdex\\dialdex.ini");
    EXPECT_EQ(ReadHostFile(device + "/Program Files/Dialdex/dialdex.ini"), "\\city.db;CITY\r\n");
    EXPECT_EQ(StopProgram(), 0);
}
