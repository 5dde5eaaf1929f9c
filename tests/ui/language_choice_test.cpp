// The language selector on the Setup page and its Save button, as a user meets them, and the choice
// taking effect at the next start.
#include "tests/ui/support/harness.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace {

std::vector<std::string> LanguageItems(const QJsonObject& dump) {
    std::vector<std::string> items;
    for (const QJsonValue& item : FindWindow(dump, "combobox", 1308)["items"].toArray())
        items.push_back(Text(item));
    return items;
}
int CurrentLanguageItem(const QJsonObject& dump) {
    return FindWindow(dump, "combobox", 1308)["selected"].toInt();
}

std::vector<std::string> Tabs(const QJsonObject& dump) {
    std::vector<std::string> tabs;
    for (const QJsonValue& tab : FindWindow(dump, "SysTabControl32", 200)["tabs"].toArray())
        tabs.push_back(Text(tab));
    return tabs;
}

// The bytes of the stored "Language" value ("" when there is none), from the device's registry store:
// lines of key, value name, type and the value's bytes in hexadecimal, separated by tabs.
std::string StoredLanguage(const std::string& device) {
    std::istringstream store(ReadHostFile(device + "/Windows/registry.txt"));
    std::string line;
    while (std::getline(store, line)) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        std::string field;
        while (std::getline(parts, field, '\t'))
            fields.push_back(field);
        if (fields.size() != 4 || fields[1] != "Language") continue;
        EXPECT_EQ(fields[2], "1");
        std::string bytes;
        for (size_t index = 0; index + 1 < fields[3].size(); index += 2)
            bytes += static_cast<char>(std::stoi(fields[3].substr(index, 2), nullptr, 16));
        return bytes;
    }
    return "";
}

// A name as the registry stores it: UTF-16 little-endian in a field of 64 bytes.
std::string LanguageValue(const std::u16string& name) {
    std::string bytes(64, '\0');
    for (size_t index = 0; index < name.size(); index++) {
        bytes[2 * index] = static_cast<char>(name[index] & 0xFF);
        bytes[2 * index + 1] = static_cast<char>(name[index] >> 8);
    }
    return bytes;
}

std::vector<std::string> Boxes(const ScriptRun& run) {
    std::vector<std::string> boxes;
    for (const QJsonObject& box : run.boxes)
        boxes.push_back(Text(box["caption"]) + ": " + Text(box["text"]));
    return boxes;
}

} // namespace

TEST(LanguageList, SectionsInFileOrderWithTheCurrentOne) {
    std::string device = MakeDevice(LanguageFileOf({"[ENGLISH]", "700=Search", "[RUSSIAN]", "[GERMAN]"}));
    ScriptRun run = RunScript(device, "dump\n");
    ASSERT_EQ(run.dumps.size(), 1u) << run.errors;
    EXPECT_EQ(LanguageItems(run.dumps[0]), (std::vector<std::string>{"ENGLISH", "RUSSIAN", "GERMAN"}));
    EXPECT_EQ(CurrentLanguageItem(run.dumps[0]), 1);

    // [russian] is current for RUSSIAN, though start-up, which compares exactly, does not select it.
    std::string lower = MakeDevice(LanguageFileOf({"[ENGLISH]", "[russian]", "702=Options"}));
    ScriptRun lowerRun = RunScript(lower, "dump\n");
    ASSERT_EQ(lowerRun.dumps.size(), 1u) << lowerRun.errors;
    EXPECT_EQ(CurrentLanguageItem(lowerRun.dumps[0]), 1);
    EXPECT_EQ(Tabs(lowerRun.dumps[0])[2], "Setup");

    // Headers: "[" must be the first byte and a "]" must follow; "[]" is an empty item; text after the
    // first "]" is ignored; of two equal names the later is current; a name over 31 characters is cut.
    std::string odd =
        MakeDevice(LanguageFileOf({" [SPACE]", "x=[NOT]", "[NOCLOSE", "[]", "[A]tail]", "[RUSSIAN]", "[B]",
                                   "[Russian] again", "[" + std::string(40, 'W') + "]"}));
    ScriptRun oddRun = RunScript(odd, "dump\n");
    ASSERT_EQ(oddRun.dumps.size(), 1u) << oddRun.errors;
    EXPECT_EQ(LanguageItems(oddRun.dumps[0]),
              (std::vector<std::string>{"", "A", "RUSSIAN", "B", "Russian", std::string(31, 'W')}));
    EXPECT_EQ(CurrentLanguageItem(oddRun.dumps[0]), 4);

    // No section at all: an empty selector, and Save does nothing.
    std::string none = MakeDevice(LanguageFileOf({"700=Search"}));
    ScriptRun noneRun = RunScript(none, "tab 2\nclick SetupWnd/1309\ndump\n");
    ASSERT_EQ(noneRun.dumps.size(), 1u) << noneRun.errors;
    EXPECT_TRUE(LanguageItems(noneRun.dumps[0]).empty());
    EXPECT_TRUE(noneRun.boxes.empty());
    EXPECT_EQ(StoredLanguage(none), "");
}

TEST(LanguageList, SaveStoresTheChoiceForTheNextStart) {
    std::string device = MakeDevice(
        LanguageFileOf({"[RUSSIAN]", "700=Poisk", "901=Svedeniya", "[ENGLISH]", "700=Find", "701=Found",
                        "702=Options", "703=Info", "704=Quit", "[" + std::string(40, 'L') + "]"}));
    // The current language matches no item: Save does nothing until the user picks one.
    std::string unmatched = MakeDevice(LanguageFileOf({"[ENGLISH]"}));
    ScriptRun nothing = RunScript(unmatched, "tab 2\nclick SetupWnd/1309\ndump\n");
    ASSERT_EQ(nothing.dumps.size(), 1u) << nothing.errors;
    EXPECT_EQ(CurrentLanguageItem(nothing.dumps[0]), -1);
    EXPECT_TRUE(nothing.boxes.empty());
    EXPECT_EQ(StoredLanguage(unmatched), "");

    ScriptRun save = RunScript(device, "tab 2\nchoose SetupWnd/1308 1\nclick SetupWnd/1309\ndump\n");
    ASSERT_EQ(save.dumps.size(), 1u) << save.errors;
    EXPECT_EQ(Boxes(save), (std::vector<std::string>{
                               "Svedeniya: You need to restart program in order to apply changes."}));
    EXPECT_EQ(Text(save.boxes[0]["owner"]), "SetupWnd");
    EXPECT_EQ(StoredLanguage(device), LanguageValue(u"ENGLISH"));
    // The texts on the screen stay those of the language in use; the selector keeps the choice.
    EXPECT_EQ(Tabs(save.dumps[0])[0], "Poisk");
    EXPECT_EQ(CurrentLanguageItem(save.dumps[0]), 1);

    // The next start reads the name back: the tabs are in that language and it is the current item.
    ScriptRun restart = RunScript(device, "dump\n");
    ASSERT_EQ(restart.dumps.size(), 1u) << restart.errors;
    EXPECT_EQ(Tabs(restart.dumps[0]), (std::vector<std::string>{"Find", "Found", "Options", "Info", "Quit"}));
    EXPECT_EQ(CurrentLanguageItem(restart.dumps[0]), 1);

    // A long name is stored as listed, cut to 31 characters, and read back; a shorter name saved after
    // it leaves none of its tail in the 64 bytes.
    ScriptRun saveLong = RunScript(device, "tab 2\nchoose SetupWnd/1308 2\nclick SetupWnd/1309\n");
    EXPECT_EQ(saveLong.boxes.size(), 1u);
    EXPECT_EQ(StoredLanguage(device), LanguageValue(std::u16string(31, u'L')));
    ScriptRun longRestart = RunScript(device, "dump\ntab 2\nchoose SetupWnd/1308 0\nclick SetupWnd/1309\n");
    ASSERT_EQ(longRestart.dumps.size(), 1u) << longRestart.errors;
    EXPECT_EQ(CurrentLanguageItem(longRestart.dumps[0]), 2);
    EXPECT_EQ(StoredLanguage(device), LanguageValue(u"RUSSIAN"));
}

TEST(LanguageList, UnwritableStoreShowsTheKeyErrorAndNoRestartBox) {
    std::string device = MakeDevice(LanguageFileOf({"[RUSSIAN]", "900=Oshibka", "[ENGLISH]"}));
    // The store's folder is a file: the key can be neither created nor opened.
    WriteHostFile(device + "/Windows", "not a folder");
    ScriptRun run = RunScript(device, "tab 2\nchoose SetupWnd/1308 1\nclick SetupWnd/1309\n");
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    // Other parts of the program meet the same store (at start and at the end); one box is Save's.
    std::vector<QJsonObject> saveBoxes;
    for (const QJsonObject& box : run.boxes)
        if (Text(box["owner"]) == "SetupWnd") saveBoxes.push_back(box);
    ASSERT_EQ(saveBoxes.size(), 1u);
    EXPECT_EQ(Text(saveBoxes[0]["caption"]), "Oshibka");
    EXPECT_EQ(Text(saveBoxes[0]["text"]), "RegCreateKeyEx 'SOFTWARE\\Kestrel\\Dialdex' - 5");
    for (const QJsonObject& box : run.boxes)
        EXPECT_EQ(Text(box["text"]).find("You need to restart"), std::string::npos);
    EXPECT_EQ(ReadHostFile(device + "/Windows"), "not a folder");
}
