// The program's shell as a user meets it: start-up, tabs, pages, captions, layout, closing.
#include "tests/ui/support/harness.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Tabs(const QJsonObject& dump) {
    std::vector<std::string> tabs;
    for (const QJsonValue& tab : FindWindow(dump, "SysTabControl32", 200)["tabs"].toArray())
        tabs.push_back(Text(tab));
    return tabs;
}

bool PageVisible(const QJsonObject& dump, const std::string& page, int id) {
    return FindWindow(dump, page, id)["visible"].toBool();
}

} // namespace

TEST(Spine, NewDeviceStartsWithTheShippedRussianTextsAndSwitchesPages) {
    std::string device = MakeTemporaryFolder() + "/new-device";
    ScriptRun run = RunScript(device, "tab 2\ndump\nclose\n");
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    ASSERT_EQ(run.dumps.size(), 1u);
    const QJsonObject& dump = run.dumps[0];
    EXPECT_EQ(Tabs(dump), (std::vector<std::string>{"Поиск", "Итоги", "Опции", "Инфо", "Выход"}));
    EXPECT_FALSE(PageVisible(dump, "SearchWnd", 5));
    EXPECT_FALSE(PageVisible(dump, "ResultWnd", 6));
    EXPECT_TRUE(PageVisible(dump, "SetupWnd", 7));
    EXPECT_FALSE(PageVisible(dump, "AboutWnd", 8));
    EXPECT_FALSE(PageVisible(dump, "Exit", 9));
    EXPECT_EQ(FindWindow(dump, "SysTabControl32", 200)["current"].toInt(), 2);
    // The device folder was made with the shipped language file in the program folder.
    EXPECT_EQ(ReadHostFile(device + "/Program Files/Dialdex/dialdex.lng"), ShippedLanguageFile());
}

TEST(Spine, PortraitAndLandscapeLayouts) {
    std::string device = MakeDevice(LanguageFileOf({"[ENGLISH]"}));
    ScriptRun portrait = RunScript(device, "dump\n", {"--screen", "240x295"});
    ASSERT_EQ(portrait.dumps.size(), 1u) << portrait.errors;
    QJsonObject main = FindWindow(portrait.dumps[0], "Dialdex", 0);
    EXPECT_EQ(main["w"].toInt(), 240);
    EXPECT_EQ(main["h"].toInt(), 295);
    EXPECT_EQ(Text(main["text"]), "Dialdex v.2");
    QJsonObject tab = FindWindow(portrait.dumps[0], "SysTabControl32", 200);
    EXPECT_EQ(tab["x"].toInt(), -2);
    EXPECT_EQ(tab["w"].toInt(), 244);
    EXPECT_EQ(tab["h"].toInt(), 295);
    QJsonObject page = FindWindow(portrait.dumps[0], "ResultWnd", 6);
    EXPECT_EQ(page["y"].toInt(), 24);
    EXPECT_EQ(page["h"].toInt(), 271);
    QJsonObject reset = FindWindow(portrait.dumps[0], "BUTTON", 1106, "SearchWnd");
    EXPECT_EQ(reset["x"].toInt(), 65);
    EXPECT_EQ(reset["y"].toInt(), 186);

    ScriptRun landscape = RunScript(device, "dump\n", {"--screen", "640x294"});
    ASSERT_EQ(landscape.dumps.size(), 1u) << landscape.errors;
    main = FindWindow(landscape.dumps[0], "Dialdex", 0);
    EXPECT_EQ(main["w"].toInt(), 640);
    EXPECT_EQ(main["h"].toInt(), 240);
    reset = FindWindow(landscape.dumps[0], "BUTTON", 1106, "SearchWnd");
    EXPECT_EQ(reset["x"].toInt(), 140);
    EXPECT_EQ(reset["y"].toInt(), 163);
    EXPECT_EQ(FindWindow(landscape.dumps[0], "static", -1, "SearchWnd")["w"].toInt(), 640);
    // Every other Search control keeps its portrait rectangle.
    QJsonObject name = FindWindow(landscape.dumps[0], "edit", 1102, "SearchWnd");
    EXPECT_EQ(name["x"].toInt(), 65);
    EXPECT_EQ(name["y"].toInt(), 74);
    QJsonObject list = FindWindow(landscape.dumps[0], "SysListView32", 1201, "ResultWnd");
    EXPECT_EQ(list["y"].toInt(), 36);
    EXPECT_EQ(list["w"].toInt(), 630);
}

TEST(Spine, CaptionsFollowTheLanguageFileRules) {
    std::string device = MakeDevice(LanguageFileOf({
        "[ENGLISH]",
        "700=Wrong section",
        "[RUSSIAN]",
        "-1=Shared title",
        "702=Options",
        "1101=never shown",
        "1201=never shown",
        "1202=never shown",
        "1203=Bar text",
        "1402=never shown",
        "1110=Telephone number",
        "1107=",
        "904=Broken file %s",
        "[GERMAN]",
        "701=Next section",
    }));
    ScriptRun run = RunScript(device, "dump\n");
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    ASSERT_EQ(run.dumps.size(), 1u);
    const QJsonObject& dump = run.dumps[0];
    EXPECT_EQ(Tabs(dump), (std::vector<std::string>{"Search", "Result", "Options", "About", "Exit"}));
    // Identifier -1 titles the Search page and labels the Setup page's language selector.
    EXPECT_EQ(Text(FindWindow(dump, "static", -1, "SearchWnd")["text"]), "Shared title");
    EXPECT_EQ(Text(FindWindow(dump, "static", -1, "SetupWnd")["text"]), "Shared title");
    // Controls with an empty built-in caption never take a language text; About is never translated.
    EXPECT_EQ(Text(FindWindow(dump, "edit", 1101)["text"]), "");
    EXPECT_EQ(Text(FindWindow(dump, "SysListView32", 1201)["text"]), "");
    EXPECT_EQ(Text(FindWindow(dump, "static", 1202)["text"]), "");
    EXPECT_EQ(Text(FindWindow(dump, "static", 1402)["text"]).rfind("Dialdex v.2.0 b1026\r\n", 0), 0u);
    // 1203 changes only the progress bar's own text; an empty text keeps the built-in caption.
    EXPECT_EQ(Text(FindWindow(dump, "msctls_progress32", 1203)["text"]), "Bar text");
    EXPECT_EQ(Text(FindWindow(dump, "BUTTON", 1107)["text"]), "Start");
    EXPECT_EQ(Text(FindWindow(dump, "static", 1110)["text"]), "Telephone number");
    // The progress bar starts hidden; the other Result controls are visible by their own style.
    EXPECT_FALSE(FindWindow(dump, "msctls_progress32", 1203)["visible"].toBool());
    EXPECT_TRUE(FindWindow(dump, "SysListView32", 1201)["visible"].toBool());
    EXPECT_TRUE(FindWindow(dump, "static", 1202)["visible"].toBool());
}

TEST(Spine, ExitTabAndCommandsClose) {
    std::string device = MakeDevice(LanguageFileOf({"[RUSSIAN]"}));
    // Choosing the Exit tab closes the program; commands after it are not run.
    ScriptRun exitTab = RunScript(device, "tab 1\ntab 4\ndump\n");
    EXPECT_EQ(exitTab.exitCode, 0);
    EXPECT_TRUE(exitTab.dumps.empty());

    // The tab already shown changes nothing; 501 shows Setup with its tab; 502 About; 503 nothing.
    ScriptRun commands = RunScript(device, "tab 0\ndump\ncommand 501\ndump\ncommand 502\ncommand 503\ndump\n"
                                           "command 500\ndump\n");
    EXPECT_EQ(commands.exitCode, 0);
    ASSERT_EQ(commands.dumps.size(), 3u) << commands.errors;
    EXPECT_TRUE(PageVisible(commands.dumps[0], "SearchWnd", 5));
    EXPECT_TRUE(PageVisible(commands.dumps[1], "SetupWnd", 7));
    EXPECT_FALSE(PageVisible(commands.dumps[1], "SearchWnd", 5));
    EXPECT_EQ(FindWindow(commands.dumps[1], "SysTabControl32", 200)["current"].toInt(), 2);
    EXPECT_TRUE(PageVisible(commands.dumps[2], "AboutWnd", 8));
    EXPECT_FALSE(PageVisible(commands.dumps[2], "SetupWnd", 7));
    EXPECT_EQ(FindWindow(commands.dumps[2], "SysTabControl32", 200)["current"].toInt(), 3);
    for (const QJsonObject& dump : commands.dumps)
        EXPECT_FALSE(PageVisible(dump, "Exit", 9));
}

TEST(Spine, MissingLanguageFileIsReportedAndEndsWithOne) {
    std::string device = MakeDevice("");
    ScriptRun run = RunScript(device, "dump\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.dumps.empty());
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_TRUE(run.boxes[0]["owner"].isNull());
    EXPECT_EQ(Text(run.boxes[0]["caption"]), "Error");
    EXPECT_EQ(Text(run.boxes[0]["text"]),
              "Could not open Language file - \\Program Files\\Dialdex\\dialdex.lng");
}
