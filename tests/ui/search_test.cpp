// Searching as a user does it: criteria, Start/Stop, the worker's progress and counts, the result list.
#include "app/identifiers.h"
#include "app/program.h"
#include "platform/files.h"
#include "platform/memory_budget.h"
#include "platform/registry.h"
#include "platform/script.h"
#include "platform/text.h"
#include "platform/user_input.h"
#include "platform/window_system.h"
#include "search/result_page.h"
#include "search/search_page.h"
#include "search/search_state.h"
#include "search/search_worker.h"
#include "settings/settings.h"
#include "tests/ui/support/harness.h"
#include "tests/ui/support/in_process.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QJsonDocument>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace {

// Runs a built tool; returns its standard output (fails the test on a non-zero exit).
std::string RunTool(const std::string& tool, const QStringList& arguments) {
    std::vector<std::string> list;
    for (const QString& argument : arguments)
        list.push_back(argument.toStdString());
    ProcessRun process = RunProcess(BuiltProgram(tool), list, 300);
    EXPECT_EQ(process.exitCode, 0) << tool << " " << arguments.join(' ').toStdString() << ": "
                                   << process.errors;
    return process.output;
}

// A device with built-in English texts and one installed database built from CSV (or a demo).
struct SearchDevice {
    std::string device;
    std::string databaseHostPath;
};

SearchDevice MakeSearchDevice(const std::string& csv, const QStringList& buildOptions = {},
                              const std::string& language = "[RUSSIAN]\r\n") {
    SearchDevice made;
    made.device = MakeDevice(language);
    made.databaseHostPath = made.device + "/Databases/test.db";
    std::filesystem::create_directories(made.device + "/Databases");
    std::string csvPath = MakeTemporaryFolder() + "/in.csv";
    WriteHostFile(csvPath, csv);
    RunTool("dialdex-mkdb", QStringList{"build", QString::fromStdString(csvPath),
                                        QString::fromStdString(made.databaseHostPath), "--title", "TEST"} +
                                buildOptions);
    WriteHostFile(made.device + "/Program Files/Dialdex/dialdex.ini", "\\Databases\\test.db;TEST\r\n");
    return made;
}

SearchDevice MakeDemoDevice(int subscribers, const std::string& name = "demo.zdb") {
    SearchDevice made;
    made.device = MakeDevice("[RUSSIAN]\r\n");
    made.databaseHostPath = made.device + "/Databases/" + name;
    std::filesystem::create_directories(made.device + "/Databases");
    RunTool("dialdex-mkdb",
            {"demo", QString::number(subscribers), QString::fromStdString(made.databaseHostPath), "--seed",
             "7", "--title", "DEMO"});
    WriteHostFile(made.device + "/Program Files/Dialdex/dialdex.ini", "\\Databases\\" + name + ";DEMO\r\n");
    return made;
}

// CSV of count records numbered from first; names "NAME<i>", except where marked.
std::string NumberedCsv(int count, const std::string& name = "NAME") {
    std::string csv = "phone,name,street,house,flat\n";
    for (int i = 1; i <= count; i++)
        csv += std::to_string(1000000 + i) + "," + name + ",STREET,1,2\n";
    return csv;
}

std::vector<std::string> Rows(const QJsonObject& dump) {
    std::vector<std::string> rows;
    for (const QJsonValue& row : FindWindow(dump, "SysListView32", 1201)["rows"].toArray()) {
        std::string line;
        QJsonArray cells = row.toArray();
        for (int i = 0; i < cells.size(); i++)
            line += (i ? ";" : "") + Text(cells[i]);
        rows.push_back(line);
    }
    return rows;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line))
        lines.push_back(line);
    return lines;
}

QJsonObject DumpNow() {
    return QJsonDocument::fromJson(QByteArray::fromStdString(DumpWindowTree())).object();
}

// Positions given to the progress bar and texts given to the status text while the program runs.
struct Observed {
    std::vector<int> positions;
    std::vector<std::string> statusTexts;
};

void ObserveProgress(Observed* observed) {
    Window progress = GetDlgItem(PageWindows[PageResult], ProgressBarId);
    Window status = GetDlgItem(PageWindows[PageResult], StatusTextId);
    ObserveMessages([=](Window window, uint32_t message, FirstParameter first, SecondParameter second) {
        if (window == progress && message == ProgressSetPosition) observed->positions.push_back(int(first));
        if (window == status && message == MessageSetText)
            observed->statusTexts.push_back(Utf8FromWide(reinterpret_cast<const char16_t*>(second)));
    });
}

} // namespace

TEST(Search, RowsMatchTheCommandLineLookupInFileOrder) {
    SearchDevice made = MakeDemoDevice(20000);
    std::string expected = RunTool("dialdex-find", {QString::fromStdString(made.databaseHostPath), "--name",
                                                    "иванов", "--street", "лен"});
    ScriptRun run = RunScript(made.device, "type SearchWnd/1102 иванов\ntype SearchWnd/1103 лен\n"
                                           "click SearchWnd/1107\nwait\ndump\n");
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    ASSERT_EQ(run.dumps.size(), 1u);
    std::vector<std::string> rows = Rows(run.dumps[0]);
    EXPECT_EQ(rows, Lines(expected));
    EXPECT_GT(rows.size(), 5u);
    EXPECT_EQ(Text(FindWindow(run.dumps[0], "static", 1202)["text"]),
              "Scaned: 20000, results: " + std::to_string(rows.size()));
    EXPECT_EQ(Text(FindWindow(run.dumps[0], "static", 1205)["text"]), "Query: name=ИВАНОВ, street=ЛЕН");
    EXPECT_TRUE(FindWindow(run.dumps[0], "ResultWnd", 6)["visible"].toBool());
    EXPECT_EQ(FindWindow(run.dumps[0], "SysTabControl32", 200)["current"].toInt(), 1);
    EXPECT_EQ(Text(FindWindow(run.dumps[0], "BUTTON", 1107)["text"]), "Start");
    EXPECT_FALSE(FindWindow(run.dumps[0], "msctls_progress32", 1203)["visible"].toBool());
}

TEST(Search, ProgressIsRefreshedAtTheFirstRecordEveryThousandthAndAfterFiftyRows) {
    // 2,500 records and no match: records 1, 1000 and 2000 only.
    SearchDevice none = MakeSearchDevice(NumberedCsv(2500));
    ASSERT_EQ(StartProgram(none.device), 0);
    Observed observed;
    ObserveProgress(&observed);
    Act("type SearchWnd/1102 NOBODY\nclick SearchWnd/1107\nwait");
    EXPECT_EQ(observed.positions, (std::vector<int>{0, 1, 1000, 2000, 0}));
    EXPECT_EQ(observed.statusTexts,
              (std::vector<std::string>{"0/1", "0/1000", "0/2000", "Scaned: 2500, results: 0"}));
    EXPECT_EQ(StopProgram(), 0);

    // Every record matches: every 50 rows, and the 1000th record restarts the count.
    SearchDevice all = MakeSearchDevice(NumberedCsv(1200));
    ASSERT_EQ(StartProgram(all.device), 0);
    observed = Observed();
    ObserveProgress(&observed);
    Act("type SearchWnd/1102 NAME\nclick SearchWnd/1107\nwait");
    std::vector<int> expected{0};
    for (int record = 1; record <= 951; record += 50)
        expected.push_back(record);
    for (int record = 1000; record <= 1200; record += 50)
        expected.push_back(record);
    expected.push_back(0);
    EXPECT_EQ(observed.positions, expected);
    EXPECT_EQ(observed.statusTexts.back(), "Scaned: 1200, results: 1200");
    EXPECT_EQ(StopProgram(), 0);

    // 1,000 records with 3 matches: matches first, then records scanned.
    std::string csv = NumberedCsv(1000);
    for (int i : {10, 20, 30}) {
        std::string from = std::to_string(1000000 + i) + ",NAME,";
        csv.replace(csv.find(from), from.size(), std::to_string(1000000 + i) + ",PICKED,");
    }
    SearchDevice three = MakeSearchDevice(csv);
    ASSERT_EQ(StartProgram(three.device), 0);
    observed = Observed();
    ObserveProgress(&observed);
    Act("type SearchWnd/1102 PICK\nclick SearchWnd/1107\nwait");
    EXPECT_EQ(observed.statusTexts, (std::vector<std::string>{"0/1", "3/1000", "Scaned: 1000, results: 3"}));
    EXPECT_EQ(StopProgram(), 0);
}

TEST(Search, EmptyDatabaseAndStatusRectanglesInBothOrientations) {
    SearchDevice empty = MakeSearchDevice("phone,name,street,house,flat\n");
    for (auto [width, height, y] : {
             std::tuple{240, 320, 225},
             std::tuple{640, 240, 170}
    }) {
        ASSERT_EQ(StartProgram(empty.device, width, height), 0);
        Observed observed;
        ObserveProgress(&observed);
        Act("type SearchWnd/1104 7\nclick SearchWnd/1107\nwait");
        EXPECT_EQ(observed.positions, (std::vector<int>{0, 0}));
        EXPECT_EQ(ControlText("ResultWnd/1202"), "Scaned: 0, results: 0");
        QJsonObject status = FindWindow(DumpNow(), "static", StatusTextId);
        EXPECT_EQ(status["x"].toInt(), 5);
        EXPECT_EQ(status["y"].toInt(), y);
        EXPECT_EQ(status["w"].toInt(), 224);
        EXPECT_EQ(status["h"].toInt(), 14);
        EXPECT_EQ(ControlText("ResultWnd/1205"), "Query: house=7");
        EXPECT_EQ(StopProgram(), 0);
    }
}

TEST(Search, DuringAScanTheStatusIsBackAtItsPlaceAndTheBarShowsAndALostOpenIsTold) {
    SearchDevice made = MakeSearchDevice(NumberedCsv(2500));
    ASSERT_EQ(StartProgram(made.device), 0);
    Window status = GetDlgItem(PageWindows[PageResult], StatusTextId);
    Window progress = GetDlgItem(PageWindows[PageResult], ProgressBarId);
    // At the first record's progress step: the status text's width and whether the bar shows. The
    // second search starts from the first one's widened status (224 pixels over the hidden bar).
    // The observer hears the merged position on the worker's thread, holding the observer's lock: a window
    // call there would wait for the window thread, which waits for that lock to deliver. The records are
    // read instead; the worker's waited calls before its first step ordered their last changes.
    const WindowRecord* statusRecord = FindWindowRecord(status);
    const WindowRecord* progressRecord = FindWindowRecord(progress);
    std::vector<std::pair<int, bool>> seen;
    ObserveMessages([&](Window window, uint32_t message, FirstParameter first, SecondParameter) {
        if (window != progress || message != ProgressSetPosition || first != 1) return;
        seen.emplace_back(statusRecord->width, progressRecord->visible);
    });
    Act("type SearchWnd/1102 NAME\nclick SearchWnd/1107\nwait\nclick SearchWnd/1107\nwait");
    ObserveMessages(nullptr);
    EXPECT_EQ(seen, (std::vector<std::pair<int, bool>>{{84, true}, {84, true}}));
    QJsonObject ended = FindWindow(DumpNow(), "static", StatusTextId);
    EXPECT_EQ(ended["w"].toInt(), 224);
    EXPECT_FALSE(FindWindow(DumpNow(), "msctls_progress32", ProgressBarId)["visible"].toBool());

    // The file passes its check and then cannot be opened: "Bad db file" under message text 901,
    // owned by the Search page; the page is usable again and the earlier counts stay.
    FailDatabaseFileOpens(true);
    Act("click SearchWnd/1107\nwait");
    FailDatabaseFileOpens(false);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].owner, "SearchWnd");
    EXPECT_EQ(Boxes()[0].caption, "Info");
    EXPECT_EQ(Boxes()[0].text, "Bad db file  - \\Databases\\test.db");
    EXPECT_EQ(ControlText("ResultWnd/1202"), "Scaned: 2500, results: 2500");
    EXPECT_EQ(ControlText("SearchWnd/1107"), "Start");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(PageWindows[PageSearch], NameEditId)));
    EXPECT_EQ(CurrentSearchState(), SearchState::Idle);
    EXPECT_EQ(StopProgram(), 0);
}

TEST(Search, QueryCaptureRefusesEmptyQueriesAndBuildsTheSummary) {
    SearchDevice made = MakeSearchDevice(NumberedCsv(3));
    ASSERT_EQ(StartProgram(made.device), 0);
    Act("click SearchWnd/1107");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].owner, "SearchWnd");
    EXPECT_EQ(Boxes()[0].caption, "Error");
    EXPECT_EQ(Boxes()[0].text, "You must input some criteria(s)");
    EXPECT_EQ(CurrentSearchState(), SearchState::Idle);
    // Typed letters become upper case; the summary keeps the fixed order and ", " between criteria.
    Act("type SearchWnd/1103 lenina\ntype SearchWnd/1101 12?4\nclick SearchWnd/1107\nwait");
    EXPECT_EQ(ControlText("ResultWnd/1205"), "Query: phone=12?4, street=LENINA");
    EXPECT_EQ(SearchQuery.phonePatternFlag, 1);
    // Reset empties the five edits and leaves the previous summary.
    Act("click SearchWnd/1106");
    for (int id = PhoneEditId; id <= FlatEditId; id++)
        EXPECT_EQ(ControlText("SearchWnd/" + std::to_string(id)), "");
    EXPECT_EQ(ControlText("ResultWnd/1205"), "Query: phone=12?4, street=LENINA");
    // The edits take no more than their criteria hold (31, 51, 51, 7, 7), so the summary shows what
    // is searched.
    Act("type SearchWnd/1104 123456789\ntype SearchWnd/1102 " + std::string(300, 'A') +
        "\ntype SearchWnd/1101 " + std::string(40, '1') + "\ntype SearchWnd/1103 " + std::string(60, 'S') +
        "\ntype SearchWnd/1105 " + std::string(9, 'F') + "\nclick SearchWnd/1107\nwait");
    EXPECT_EQ(ControlText("SearchWnd/1104"), "1234567");
    EXPECT_EQ(std::string(SearchQuery.house), "1234567");
    EXPECT_EQ(std::string(SearchQuery.name), std::string(51, 'A'));
    EXPECT_EQ(ControlText("ResultWnd/1205"),
              "Query: phone=" + std::string(31, '1') + ", name=" + std::string(51, 'A') +
                  ", street=" + std::string(51, 'S') + ", house=1234567, flat=" + std::string(7, 'F'));
    // The last database is remembered.
    char16_t lastDatabase[260];
    LoadLastDatabase(lastDatabase);
    EXPECT_EQ(Utf8FromWide(lastDatabase), "\\Databases\\test.db");
    EXPECT_EQ(StopProgram(), 0);

    // Long translated key texts make a summary longer than its 255 characters: it is cut there.
    std::string key(70, 'K');
    SearchDevice translated = MakeSearchDevice(NumberedCsv(3), {},
                                               "[RUSSIAN]\r\n909=" + key + "\r\n910=" + key +
                                                   "\r\n911=" + key + "\r\n912=" + key + "\r\n");
    ASSERT_EQ(StartProgram(translated.device), 0);
    Act("type SearchWnd/1101 1\ntype SearchWnd/1102 N\ntype SearchWnd/1103 S\nclick SearchWnd/1107\nwait");
    std::string summary = ControlText("ResultWnd/1205");
    EXPECT_EQ(WideFromUtf8(summary).size(), 255u);
    EXPECT_EQ(summary.substr(0, 143), key + key + "1, ");
    EXPECT_EQ(StopProgram(), 0);
}

TEST(Search, NoDatabaseInstalledAndAFileDeletedAfterItWasChosen) {
    std::string device = MakeDevice("[RUSSIAN]\r\n");
    ASSERT_EQ(StartProgram(device), 0);
    Act("type SearchWnd/1102 A\nclick SearchWnd/1107");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].caption, "Error");
    EXPECT_EQ(Boxes()[0].text, "No database is installed: install one on the Setup page.");
    EXPECT_EQ(CurrentSearchState(), SearchState::Idle);
    EXPECT_EQ(StopProgram(), 0);
    // The box speaks the language in use, like every other message.
    ASSERT_EQ(StartProgram(MakeDevice(ShippedLanguageFile())), 0);
    Act("type SearchWnd/1102 A\nclick SearchWnd/1107");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].caption, "Ошибка");
    EXPECT_EQ(Boxes()[0].text, "Нет установленных баз: установите базу на странице «Опции».");
    EXPECT_EQ(StopProgram(), 0);

    SearchDevice made = MakeSearchDevice(NumberedCsv(5));
    ASSERT_EQ(StartProgram(made.device), 0);
    Act("type SearchWnd/1102 NAME\nclick SearchWnd/1107\nwait");
    EXPECT_EQ(ControlText("ResultWnd/1202"), "Scaned: 5, results: 5");
    std::filesystem::remove(made.databaseHostPath);
    Act("type SearchWnd/1103 S\nclick SearchWnd/1107\nwait");
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(Rows(DumpNow()).empty());
    EXPECT_EQ(ControlText("ResultWnd/1202"), "Scaned: 5, results: 5");
    EXPECT_EQ(ControlText("ResultWnd/1205"), "Query: name=NAME");
    EXPECT_EQ(ControlText("SearchWnd/1107"), "Start");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(PageWindows[PageSearch], NameEditId)));
    EXPECT_EQ(StopProgram(), 0);
}

TEST(Search, CheckDuringASearchLeavesItOnTheDatabaseChosenAtStart) {
    // "\bad.db" is missing, so Check drops it and the entries after it move up by one.
    std::string device = MakeDevice("[RUSSIAN]\r\n");
    std::string folder = MakeTemporaryFolder();
    for (std::string name : {"A", "B"}) {
        WriteHostFile(folder + "/" + name + ".csv", NumberedCsv(name == "A" ? 3 : 5, name + name));
        RunTool("dialdex-mkdb", {"build", QString::fromStdString(folder + "/" + name + ".csv"),
                                 QString::fromStdString(device + "/" + name + ".db"), "--title",
                                 QString::fromStdString(name)});
    }
    WriteHostFile(device + "/Program Files/Dialdex/dialdex.ini", "\\bad.db;BAD\r\n\\A.db;A\r\n\\B.db;B\r\n");
    ASSERT_EQ(StartProgram(device), 0);
    Act("choose SearchWnd/1100 1\ntype SearchWnd/1101 ?");
    // Start, then Check before the worker has been served a single window call.
    Window start = GetDlgItem(PageWindows[PageSearch], StartStopButtonId);
    Window check = GetDlgItem(PageWindows[PageSetup], CheckButtonId);
    SendMessage(PageWindows[PageSearch], MessageCommand, MakeFirstParameter(StartStopButtonId, ButtonClicked),
                reinterpret_cast<SecondParameter>(start));
    SendMessage(PageWindows[PageSetup], MessageCommand, MakeFirstParameter(CheckButtonId, ButtonClicked),
                reinterpret_cast<SecondParameter>(check));
    Act("wait");
    ASSERT_EQ(Boxes().size(), 2u);
    EXPECT_EQ(Boxes()[0].text, "Bad db file  - \\bad.db");
    EXPECT_EQ(Rows(DumpNow()), (std::vector<std::string>{"1000001;AA;STREET;1;2", "1000002;AA;STREET;1;2",
                                                         "1000003;AA;STREET;1;2"}));
    EXPECT_EQ(ControlText("ResultWnd/1202"), "Scaned: 3, results: 3");
    EXPECT_EQ(ControlText("ResultWnd/1205"), "Query: phone=?");
    EXPECT_EQ(StopProgram(), 0);
}

TEST(Search, StopKeepsTheRowsSoFarAndASecondSearchStartsEmpty) {
    SearchDevice made = MakeDemoDevice(400000);
    ASSERT_EQ(StartProgram(made.device), 0);
    Act("type SearchWnd/1101 ?\nclick SearchWnd/1107\nclick SearchWnd/1107");
    // A press during the stop request starts nothing until the stopped worker has ended.
    Act("click SearchWnd/1107\nwait");
    std::string status = ControlText("ResultWnd/1202");
    int scanned = 0, results = 0;
    ASSERT_EQ(std::sscanf(status.c_str(), "Scaned: %d, results: %d", &scanned, &results), 2) << status;
    EXPECT_LT(scanned, 400000);
    EXPECT_EQ(results, scanned);
    EXPECT_EQ(int(Rows(DumpNow()).size()), results);
    EXPECT_EQ(ControlText("SearchWnd/1107"), "Start");
    EXPECT_EQ(CurrentSearchState(), SearchState::Idle);

    Act("clear SearchWnd/1101\ntype SearchWnd/1102 ЯКОВЛЕВ ЯКОВ\nclick SearchWnd/1107\nwait");
    std::vector<std::string> rows = Rows(DumpNow());
    for (const std::string& row : rows)
        EXPECT_NE(row.find(";ЯКОВЛЕВ ЯКОВ"), std::string::npos) << row;
    EXPECT_EQ(ControlText("ResultWnd/1202"), "Scaned: 400000, results: " + std::to_string(rows.size()));
    EXPECT_EQ(StopProgram(), 0);
}

TEST(Search, ResultListHeadingsWidthsSortingAndDetails) {
    std::string csv = "phone,name,street,house,flat\n"
                      "1234,PETROV,LENINA,5,7\n"
                      "7654321,ABRAMOV,ARBAT,,\n"
                      "12,ivanov,MIRA,1A,\n";
    // The lower-case name is kept as it is, to show that sorting ignores case.
    SearchDevice made = MakeSearchDevice(csv, {"--phone-digits", "7", "--keep-case"},
                                         "[RUSSIAN]\r\n1110=Telephone number\r\n1111=Surname\r\n");
    // Stored widths of 3 or less are ignored, negative ones too (FFFFFFFF is -1); 4 is taken.
    ASSERT_EQ(StartProgram(made.device), 0);
    EXPECT_EQ(StopProgram(), 0);
    RegistryKey key;
    ASSERT_EQ(RegistryCreateKey(SettingsKeyPath, &key), RegistrySuccess);
    for (auto [name, width] : {
             std::pair{u"Col0Width", 3u         },
             std::pair{u"Col1Width", 4u         },
             std::pair{u"Col2Width", 0u         },
             std::pair{u"Col4Width", 0xFFFFFFFFu}
    })
        RegistrySetValue(key, name, RegistryTypeNumber, &width, 4);
    RegistryCloseKey(key);

    ASSERT_EQ(StartProgram(made.device), 0);
    QJsonArray columns = FindWindow(DumpNow(), "SysListView32", 1201)["columns"].toArray();
    ASSERT_EQ(columns.size(), 5);
    std::vector<std::pair<std::string, int>> headings;
    for (const QJsonValue& column : columns)
        headings.emplace_back(Text(column["text"]), column["width"].toInt());
    EXPECT_EQ(headings, (std::vector<std::pair<std::string, int>>{
                            {"Telepho", 55 },
                            {"Surname", 4  },
                            {"Street",  110},
                            {"House",   40 },
                            {"Flat",    40 }
    }));
    EXPECT_EQ(ControlText("SearchWnd/1110"), "Telephone number");

    Act("type SearchWnd/1101 ?\nclick SearchWnd/1107\nwait");
    EXPECT_EQ(Rows(DumpNow()),
              (std::vector<std::string>{"0001234;PETROV;LENINA;5;7", "7654321;ABRAMOV;ARBAT;;",
                                        "0000012;ivanov;MIRA;1A;"}));
    // Sorting by a clicked column is ascending, ignoring case, and stays ascending when clicked again.
    for (int click = 0; click < 2; click++) {
        Act("header ResultWnd/1201 1");
        EXPECT_EQ(Rows(DumpNow()),
                  (std::vector<std::string>{"7654321;ABRAMOV;ARBAT;;", "0000012;ivanov;MIRA;1A;",
                                            "0001234;PETROV;LENINA;5;7"}));
    }
    Act("header ResultWnd/1201 0");
    EXPECT_EQ(Rows(DumpNow()).front(), "0000012;ivanov;MIRA;1A;");
    // The details box of the activated row; empty house and flat leave " , " after the street.
    Act("header ResultWnd/1201 1\nactivate ResultWnd/1201 0");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].owner, "SysListView32");
    EXPECT_EQ(Boxes()[0].caption, "Info");
    EXPECT_EQ(Boxes()[0].text, "7654321\r\nABRAMOV\r\n\r\nARBAT , ");
    // A column dragged to 3 pixels or less is not stored; a wider one is.
    Act("resize ResultWnd/1201 2 3\nresize ResultWnd/1201 3 77");
    EXPECT_EQ(StopProgram(), 0);
    ASSERT_EQ(StartProgram(made.device), 0);
    columns = FindWindow(DumpNow(), "SysListView32", 1201)["columns"].toArray();
    EXPECT_EQ(columns[2].toObject()["width"].toInt(), 110);
    EXPECT_EQ(columns[3].toObject()["width"].toInt(), 77);
    EXPECT_EQ(StopProgram(), 0);
    // The negative width was not kept either: the shown width replaced it.
    uint32_t stored = 0, byteCount = 4;
    ASSERT_EQ(RegistryOpenKey(SettingsKeyPath, &key), RegistrySuccess);
    EXPECT_EQ(RegistryQueryValue(key, u"Col4Width", nullptr, &stored, &byteCount), RegistrySuccess);
    RegistryCloseKey(key);
    EXPECT_EQ(stored, 40u);
}

// Sorting by name follows the alphabet of the language in use, with every Cyrillic letter of code page
// 1251 (and Ё as a letter of its own after Е: ЕЯ before ЁА). The database holds the names backwards.
TEST(Search, SortingFollowsTheAlphabetOfTheLanguageInUse) {
    const std::vector<std::string> cyrillic = {
        "АА", "БА", "ВА", "ГА", "ѓа", "ҐА", "ДА", "ЂА", "ЕА", "ЕЯ", "ЁА", "ёб", "ЄА", "ЖА", "ЗА", "ЅА",
        "ИА", "ИЯ", "ІА", "ІЯ", "ЇА", "ЙА", "ЈА", "КА", "ЌА", "ЛА", "ЉА", "МА", "НА", "ЊА", "ОА", "ПА",
        "РА", "СА", "ТА", "ЋА", "УА", "УЯ", "ЎА", "ФА", "ХА", "ЦА", "ЧА", "ЏА", "ША", "ЩА", "ЪА", "ЫА",
        "ЬА", "ЭА", "ЮА", "ЯА", "яб"};
    const std::vector<std::string> latin = {"ABC", "abd", "ZZ"};
    auto joined = [](std::vector<std::string> first, const std::vector<std::string>& second) {
        first.insert(first.end(), second.begin(), second.end());
        return first;
    };
    struct Case {
        const char* section;
        std::vector<std::string> order;
    };
    const Case cases[] = {
        {"RUSSIAN",   joined(cyrillic, latin)}, // Russian and Ukrainian put their own script first
        {"UKRAINIAN", joined(cyrillic, latin)},
        {"ENGLISH",   joined(latin, cyrillic)},
    };
    for (const Case& one : cases) {
        std::string csv = "phone,name,street,house,flat\n";
        for (size_t index = one.order.size(); index-- > 0;)
            csv += std::to_string(1000000 + index) + "," + one.order[index] + ",S,1,2\n";
        SearchDevice made =
            MakeSearchDevice(csv, {"--keep-case"}, "[" + std::string(one.section) + "]\r\n");
        // The language is chosen as the user chooses it: stored, then the program started again.
        ASSERT_EQ(StartProgram(made.device), 0);
        EXPECT_EQ(StopProgram(), 0);
        std::u16string section = WideFromUtf8(one.section);
        RegistryKey key;
        ASSERT_EQ(RegistryCreateKey(SettingsKeyPath, &key), RegistrySuccess);
        RegistrySetValue(key, u"Language", RegistryTypeString, section.c_str(),
                         uint32_t(section.size() + 1) * 2);
        RegistryCloseKey(key);
        ASSERT_EQ(StartProgram(made.device), 0);
        Act("type SearchWnd/1101 ?\nclick SearchWnd/1107\nwait\nheader ResultWnd/1201 1");
        std::vector<std::string> names;
        for (const std::string& row : Rows(DumpNow()))
            names.push_back(row.substr(8, row.find(';', 8) - 8));
        EXPECT_EQ(names, one.order) << one.section;
        EXPECT_EQ(StopProgram(), 0);
    }
}

TEST(Search, SortDuringAScanLeavesLaterRowsAtTheEndUnsorted) {
    SearchDevice made = MakeDemoDevice(60000);
    std::string fileOrder =
        RunTool("dialdex-find", {QString::fromStdString(made.databaseHostPath), "--phone", "?"});
    std::vector<std::string> expected = Lines(fileOrder);
    ASSERT_EQ(StartProgram(made.device), 0);
    Act("type SearchWnd/1101 ?\nclick SearchWnd/1107\nheader ResultWnd/1201 1\nwait");
    std::vector<std::string> rows = Rows(DumpNow());
    ASSERT_EQ(rows.size(), expected.size());
    // The longest tail in file order; what comes before it was sorted by name when the heading was clicked.
    size_t tail = 0;
    while (tail < rows.size() && rows[rows.size() - 1 - tail] == expected[expected.size() - 1 - tail])
        tail++;
    size_t sorted = rows.size() - tail;
    EXPECT_GT(tail, 0u);
    auto nameOf = [](const std::string& row) {
        size_t start = row.find(';') + 1;
        return WideFromUtf8(row.substr(start, row.find(';', start) - start));
    };
    for (size_t i = 1; i < sorted; i++)
        EXPECT_LE(CompareWideLocale(nameOf(rows[i - 1]).c_str(), nameOf(rows[i]).c_str(), true), 0) << i;
    EXPECT_EQ(StopProgram(), 0);
}

// A click on a heading sorts on a thread of its own: the list shows a busy cursor until the rows come
// back in one step. A newer click and a new search cancel the sort under way, `wait` waits for it, and
// the window closes while one runs.
TEST(Search, ASortRunsOnItsOwnThreadAndANewerSortOrASearchCancelsIt) {
    SearchDevice made = MakeDemoDevice(100000);
    QString database = QString::fromStdString(made.databaseHostPath);
    std::vector<std::string> fileOrder = Lines(RunTool("dialdex-find", {database, "--phone", "?"}));
    std::vector<std::string> namesWithK = Lines(RunTool("dialdex-find", {database, "--name", "К"}));
    ASSERT_EQ(StartProgram(made.device), 0);
    Act("type SearchWnd/1101 ?\nclick SearchWnd/1107\nwait");
    WindowRecord* list = FindWindowRecord(ResultList);
    auto busy = [&] {
        return list->widget->testAttribute(Qt::WA_SetCursor) && list->widget->cursor().shape() == Qt::BusyCursor;
    };
    // In order by name, one way or the other; rows of the same name as they were found.
    auto expectSortedByName = [](std::vector<std::string> rows, const std::vector<std::string>& found,
                                 int direction) {
        std::map<std::string, size_t> foundAt;
        for (size_t i = 0; i < found.size(); i++)
            foundAt[found[i]] = i;
        auto nameOf = [](const std::string& row) {
            size_t start = row.find(';') + 1;
            return WideFromUtf8(row.substr(start, row.find(';', start) - start));
        };
        for (size_t i = 1; i < rows.size(); i++) {
            int order = direction * CompareWideLocale(nameOf(rows[i - 1]).c_str(), nameOf(rows[i]).c_str(), true);
            ASSERT_LE(order, 0) << i;
            if (order == 0) {
                ASSERT_LT(foundAt[rows[i - 1]], foundAt[rows[i]]) << i;
            }
        }
    };

    // Street, then name at once: the name sort replaces the street sort.
    ASSERT_TRUE(UserClickHeader(list, 2));
    EXPECT_TRUE(busy());
    ASSERT_TRUE(UserClickHeader(list, 1));
    Act("wait");
    EXPECT_FALSE(busy());
    std::vector<std::string> rows = Rows(DumpNow());
    expectSortedByName(rows, fileOrder, 1);
    std::sort(rows.begin(), rows.end());
    std::vector<std::string> expected = fileOrder;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(rows, expected); // none lost, none twice

    // A new search cancels the sort under way: its rows come as found, no sorted row among them.
    ASSERT_TRUE(UserClickHeader(list, 2));
    Act("clear SearchWnd/1101\ntype SearchWnd/1102 К\nclick SearchWnd/1107\nwait");
    EXPECT_FALSE(busy());
    EXPECT_EQ(Rows(DumpNow()), namesWithK);

    // On a desktop two clicks at once on the name turn the order round, without waiting for the first.
    SetDesktopFace(true);
    ASSERT_TRUE(UserClickHeader(list, 1));
    ASSERT_TRUE(UserClickHeader(list, 1));
    Act("wait");
    expectSortedByName(Rows(DumpNow()), namesWithK, -1);
    SetDesktopFace(false);
    // The plain sort, by the compare callback alone, goes the same way.
    SendMessage(ResultList, ListViewSortItems, 1, reinterpret_cast<SecondParameter>(CompareRows));
    Act("wait");
    expectSortedByName(Rows(DumpNow()), namesWithK, 1);

    ASSERT_TRUE(UserClickHeader(list, 1));
    EXPECT_EQ(StopProgram(), 0);
}

TEST(Search, AMemoryBudgetCutsTheResultsAndSaysSo) {
    SearchDevice made = MakeDemoDevice(200000);
    std::string fileOrder =
        RunTool("dialdex-find", {QString::fromStdString(made.databaseHostPath), "--phone", "?"});
    std::vector<std::string> expected = Lines(fileOrder);
    ASSERT_EQ(StartProgram(made.device), 0);
    // Three blocks of records and a few rows: the search stops at the budget, through its normal end.
    LimitResultMemory(3 << 20);
    Act("type SearchWnd/1101 ?\nclick SearchWnd/1107\nwait");
    std::vector<std::string> rows = Rows(DumpNow());
    int scanned = 0, results = 0;
    std::string status = ControlText("ResultWnd/1202");
    ASSERT_EQ(std::sscanf(status.c_str(), "Memory full! Read %d, found %d", &scanned, &results), 2)
        << status;
    EXPECT_EQ(results, int(rows.size()));
    EXPECT_EQ(scanned, results + 1); // the match left out was read whole
    EXPECT_GT(results, 10000);
    EXPECT_LT(results, 200000);
    EXPECT_TRUE(std::equal(rows.begin(), rows.end(), expected.begin()));
    EXPECT_EQ(ControlText("SearchWnd/1107"), "Start");
    EXPECT_EQ(CurrentSearchState(), SearchState::Idle);
    // Sorting what was kept still works; the next search, given the host's budget, keeps every row.
    Act("header ResultWnd/1201 1");
    EXPECT_EQ(int(Rows(DumpNow()).size()), results);
    LimitResultMemory(0);
    Act("click SearchWnd/1107\nwait");
    EXPECT_EQ(ControlText("ResultWnd/1202"), "Scaned: 200000, results: 200000");
    EXPECT_EQ(Rows(DumpNow()), expected);
    EXPECT_EQ(StopProgram(), 0);
}

// A sort or a copy that would pass the memory budget is refused with a box naming the rows, and leaves
// the rows and the clipboard as they were; within the budget both are done.
TEST(Search, SortAndCopyPastTheMemoryBudgetAreRefusedWithABox) {
    SearchDevice made = MakeSearchDevice(NumberedCsv(3, "B") + "1000009,A,STREET,1,2\n");
    ASSERT_EQ(StartProgram(made.device), 0);
    Act("type SearchWnd/1101 ?\nclick SearchWnd/1107\nwait");
    const std::vector<std::string> fileOrder = Rows(DumpNow());
    ASSERT_EQ(fileOrder.size(), 4u);
    QGuiApplication::clipboard()->setText("before");
    struct Case {
        uint64_t budget;
        const char* action;
        const char* box; // "" for none
        bool sorted, copied;
    };
    const Case cases[] = {
        // 300 bytes: less than a sort's room for 4 rows, or five times the text of the heading and 4 rows.
        // Copy with no row focused copies nothing and asks for no room, so it tells of none either.
        {300, "header ResultWnd/1201 1", "Not enough memory to sort 4 rows.", false, false},
        {300, "command 505", "Not enough memory to copy 4 rows.", false, false},
        {300, "command 504", "", false, false},
        {0, "header ResultWnd/1201 1", "", true, false},
        {0, "command 505", "", false, true},
    };
    for (const Case& one : cases) {
        LimitMemoryBudget(one.budget);
        size_t boxes = Boxes().size();
        QGuiApplication::clipboard()->setText("before");
        Act(one.action);
        if (*one.box) {
            ASSERT_EQ(Boxes().size(), boxes + 1) << one.action;
            EXPECT_EQ(Boxes().back().caption, "Error");
            EXPECT_EQ(Boxes().back().text, one.box);
        } else {
            EXPECT_EQ(Boxes().size(), boxes) << one.action;
        }
        std::vector<std::string> rows = Rows(DumpNow());
        if (one.sorted) {
            EXPECT_EQ(rows.front(), "1000009;A;STREET;1;2") << one.action;
        } else if (one.budget) {
            EXPECT_EQ(rows, fileOrder) << one.action;
        }
        EXPECT_EQ(QGuiApplication::clipboard()->text() != "before", one.copied) << one.action;
    }
    LimitMemoryBudget(0);
    EXPECT_EQ(StopProgram(), 0);
}

// Memory that runs out in a window procedure run from the message loop, or in a thread the program
// started, ends in the out-of-memory box (in the language in use) instead of aborting the process.
TEST(Search, MemoryRunningOutEndsInABox) {
    ASSERT_EQ(StartProgram(MakeDevice("[RUSSIAN]\r\n922=No memory left\r\n")), 0);
    constexpr uint32_t Throw = 0x8001;
    WindowClass thrower{};
    thrower.procedure = [](Window window, uint32_t message, FirstParameter first, SecondParameter second) {
        if (message == Throw) throw std::bad_alloc();
        return DefWindowProc(window, message, first, second);
    };
    thrower.className = u"Thrower";
    RegisterWindowClass(&thrower);
    Window window = CreateWindowEx(0, u"Thrower", u"", 0, 0, 0, 10, 10, nullptr, 0, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    struct Case {
        const char* where;
        std::function<void()> run;
    };
    const Case cases[] = {
        {"message loop", [&] {
             Message message{window, Throw, 0, 0};
             DispatchMessage(&message);
         }},
        {"thread", [] {
             CloseHandle(CreateThread([](void*) -> unsigned long { throw std::bad_alloc(); }, nullptr));
             WaitForThreadsServingMessages();
         }},
    };
    for (const Case& one : cases) {
        size_t boxes = Boxes().size();
        one.run();
        ASSERT_EQ(Boxes().size(), boxes + 1) << one.where;
        EXPECT_EQ(Boxes().back().text, "No memory left") << one.where;
    }
    DestroyWindow(window);
    EXPECT_EQ(StopProgram(), 0);
}

TEST(Search, LongTextsAreCutToTheirFields) {
    // A name of 230 characters; a house and a flat of 40: the list and the details box show 225 and 35
    // characters of them, the short texts whole.
    std::string name = std::string(220, 'N') + std::string(10, 'M');
    std::string house = std::string(35, 'H') + "XXXXX", flat = std::string(35, 'F') + "YYYYY";
    SearchDevice made = MakeSearchDevice("phone,name,street,house,flat\n1234567," + name +
                                         ",ST,1,2\n7654321,B,ST," + house + "," + flat + "\n");
    ASSERT_EQ(StartProgram(made.device), 0);
    Act("type SearchWnd/1101 ?\nclick SearchWnd/1107\nwait\nactivate ResultWnd/1201 0");
    std::string shownName = name.substr(0, 225), shownHouse = house.substr(0, 35),
                shownFlat = flat.substr(0, 35);
    EXPECT_EQ(Rows(DumpNow()), (std::vector<std::string>{"1234567;" + shownName + ";ST;1;2",
                                                         "7654321;B;ST;" + shownHouse + ";" + shownFlat}));
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, "1234567\r\n" + shownName + "\r\n\r\nST 1, 2");
    EXPECT_EQ(StopProgram(), 0);
}

TEST(Search, ADamagedOrCutDatabaseIsToldInABoxAfterTheFinalCounts) {
    struct Case {
        const char* name;
        void (*spoil)(const std::string& hostPath);
        const char* status; // the final counts, as for any search
        const char* box;    // "" for none
    };
    const Case cases[] = {
        {"sound.zdb", [](const std::string&) {}, "Scaned: 3000, results: 3000", ""                                                                         },
        {"crc.zdb",
         [](const std::string& path) {
             std::string bytes = ReadHostFile(path);
             bytes[bytes.size() - 8] ^= 1;
             WriteHostFile(path, bytes);
         },                                      "Scaned: 3000, results: 3000",
         "The db file is damaged, the results may be wrong - \\Databases\\crc.zdb"                                                                         },
        {"cut.db",
         [](const std::string& path) {
             std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
         },                                      nullptr,                       "The db file ended early, the results are incomplete - \\Databases\\cut.db"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        SearchDevice made = MakeDemoDevice(3000, test.name);
        test.spoil(made.databaseHostPath);
        ASSERT_EQ(StartProgram(made.device), 0);
        // Boxes shown by the time each status text is set: none until the final counts are there.
        std::vector<size_t> boxesAtStatus;
        Window status = GetDlgItem(PageWindows[PageResult], StatusTextId);
        ObserveMessages([&](Window window, uint32_t message, FirstParameter, SecondParameter) {
            if (window == status && message == MessageSetText) boxesAtStatus.push_back(Boxes().size());
        });
        Act("type SearchWnd/1101 ?\nclick SearchWnd/1107\nwait");
        ObserveMessages(nullptr);
        std::string finalStatus = ControlText("ResultWnd/1202");
        if (test.status != nullptr) {
            EXPECT_EQ(finalStatus, test.status);
        }
        EXPECT_EQ(finalStatus.rfind("Scaned: ", 0), 0u) << finalStatus;
        ASSERT_FALSE(boxesAtStatus.empty());
        EXPECT_EQ(boxesAtStatus.back(), 0u);
        if (*test.box == 0) {
            EXPECT_TRUE(Boxes().empty());
        } else {
            ASSERT_EQ(Boxes().size(), 1u);
            EXPECT_EQ(Boxes()[0].caption, "Error");
            EXPECT_EQ(Boxes()[0].owner, "ResultWnd");
            EXPECT_EQ(Boxes()[0].text, test.box);
        }
        EXPECT_EQ(ControlText("SearchWnd/1107"), "Start");
        EXPECT_EQ(CurrentSearchState(), SearchState::Idle);
        EXPECT_EQ(StopProgram(), 0);
    }
}

TEST(Search, ClosingDuringASearchWaitsForTheWorkerAndExitsWithZero) {
    SearchDevice made = MakeDemoDevice(300000);
    ScriptRun run = RunScript(made.device, "type SearchWnd/1101 ?\nclick SearchWnd/1107\nclose\n");
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_TRUE(run.boxes.empty());
}
