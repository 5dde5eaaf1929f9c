// Untrusted bytes end to end: damaged database files, language files, "dialdex.ini" and registry stores on
// a device, driven through the program as a user would. Each must give a clear outcome and no crash.
#include "tests/support/database_bytes.h"
#include "tests/ui/support/harness.h"

#include <QProcess>
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <unistd.h>
#include <zlib.h>

namespace {

const std::string ProgramFolder = "/Program Files/Dialdex";

std::string Header(int32_t recordCount) {
    return DatabaseHeaderBytes(recordCount, "BAD");
}

// A record block of these texts (street, house and flat given when not the test's point).
std::string Record(uint32_t phone, const std::string& name, const std::string& street = "STREET",
                   const std::string& house = "1", const std::string& flat = "2") {
    return RecordBlockBytes({phone, name, street, house, flat});
}

std::string Gzip(const std::string& bytes) {
    std::string path = MakeTemporaryFolder() + "/data.gz";
    gzFile file = gzopen(path.c_str(), "wb");
    gzwrite(file, bytes.data(), static_cast<unsigned>(bytes.size()));
    gzclose(file);
    return ReadHostFile(path);
}

std::string IniPath(const std::string& device) {
    return device + ProgramFolder + "/dialdex.ini";
}

// A device with built-in English texts and one installed database file holding these bytes.
std::string DeviceWithDatabase(const std::string& name, const std::string& bytes) {
    std::string device = MakeDevice("[RUSSIAN]\r\n");
    WriteHostFile(device + "/Databases/" + name, bytes);
    WriteHostFile(IniPath(device), "\\Databases\\" + name + ";BAD\r\n");
    return device;
}

std::vector<std::string> Boxes(const ScriptRun& run) {
    std::vector<std::string> boxes;
    for (const QJsonObject& box : run.boxes)
        boxes.push_back(Text(box["caption"]) + ": " + Text(box["text"]));
    return boxes;
}

// A search matching every record (the phone pattern "?" matches any number), then Check and Find DB.
const char* const SearchCheckAndFind = "type SearchWnd/1101 ?\nclick SearchWnd/1107\nwait\ndump\n"
                                       "tab 2\nclick SetupWnd/1305\nclick SetupWnd/1303\ndump\n";

struct Outcome {
    ScriptRun run;
    std::string status;             // the Result page's status text after the search
    int rows = 0;                   // rows the search listed
    std::vector<std::string> boxes; // every box, in order
    std::vector<std::string> found; // Find DB's lines after Check
    std::string iniAfter;           // "dialdex.ini" after Check
};

Outcome SearchCheckFind(const std::string& device) {
    Outcome outcome;
    outcome.run = RunScript(device, SearchCheckAndFind);
    EXPECT_EQ(outcome.run.exitCode, 0) << outcome.run.errors;
    EXPECT_EQ(outcome.run.dumps.size(), 2u) << outcome.run.errors;
    if (outcome.run.dumps.size() == 2) {
        outcome.status = Text(FindWindow(outcome.run.dumps[0], "static", 1202)["text"]);
        outcome.rows = int(FindWindow(outcome.run.dumps[0], "SysListView32", 1201)["rows"].toArray().size());
        for (const QJsonValue& item : FindWindow(outcome.run.dumps[1], "Listbox", 1302)["items"].toArray())
            outcome.found.push_back(Text(item));
    }
    outcome.boxes = Boxes(outcome.run);
    outcome.iniAfter = ReadHostFile(IniPath(device));
    return outcome;
}

const std::string BadBox = "Error: Bad db file  - \\Databases\\";
const std::string AllGood = "Info: All installed db files - ok!";
const std::string OneWrong = "Info: Found: 1 wrong db files\r\n\r\nBad entrances deleted.";
// After the counts of a search whose data ended before the end mark.
const std::string EndedEarlyBox = "Error: The db file ended early, the results are incomplete - \\Databases\\";

// A file that fails validation: the search ends silently with nothing listed, Check drops it with its box,
// Find DB does not offer it.
void ExpectRefused(const std::string& name, const std::string& bytes) {
    SCOPED_TRACE(name);
    std::string device = DeviceWithDatabase(name, bytes);
    Outcome outcome = SearchCheckFind(device);
    EXPECT_EQ(outcome.rows, 0);
    EXPECT_EQ(outcome.status, "");
    EXPECT_EQ(outcome.boxes, (std::vector<std::string>{BadBox + name, OneWrong}));
    EXPECT_EQ(outcome.iniAfter, "");
    EXPECT_TRUE(outcome.found.empty());
}

// A file that validates: the search walks its records up to the end mark or the damage and ends through
// its normal end with the counts (and, where the data ended before the end mark, a box saying so); Check
// keeps it.
void ExpectScanned(const std::string& name, const std::string& bytes, int scanned, bool endedEarly = false) {
    SCOPED_TRACE(name);
    std::string device = DeviceWithDatabase(name, bytes);
    Outcome outcome = SearchCheckFind(device);
    EXPECT_EQ(outcome.status, "Scaned: " + std::to_string(scanned) + ", results: " + std::to_string(scanned));
    EXPECT_EQ(outcome.rows, scanned);
    if (endedEarly) {
        EXPECT_EQ(outcome.boxes, (std::vector<std::string>{EndedEarlyBox + name, AllGood}));
    } else {
        EXPECT_EQ(outcome.boxes, (std::vector<std::string>{AllGood}));
    }
    EXPECT_EQ(outcome.iniAfter, "\\Databases\\" + name + ";BAD\r\n");
}

std::string RandomBytes(size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random() & 0xFF);
    return bytes;
}

} // namespace

TEST(BadDatabaseFiles, DamagedGzipFiles) {
    std::vector<std::string> records;
    for (int index = 0; index < 2000; index++)
        records.push_back(Record(1000000 + index, "NAME" + std::to_string(index)));
    std::string whole = Header(2000) + RecordStreamBytes(records);

    // A .zdb that is not gzip: the gzip reader hands plain bytes on unchanged, so text is refused by its
    // format mark and a plain database under a .zdb name is read as it stands.
    ExpectRefused("text.zdb", "this is not a database, nor gzip\r\n");
    ExpectScanned("plain.zdb", whole, 2000);
    // gzip of random bytes: refused by the header (the format mark of random data is not 11).
    ExpectRefused("random.zdb", Gzip(RandomBytes(5000, 1) + std::string(1, '\x0B')));
    // A valid header and random bytes after it: the walk ends at the first impossible length; whatever
    // was read stands, the counts are shown, and then that the file ended early.
    {
        std::string device = DeviceWithDatabase("noise.zdb", Gzip(Header(50) + RandomBytes(100000, 2)));
        Outcome outcome = SearchCheckFind(device);
        EXPECT_EQ(outcome.status.rfind("Scaned: ", 0), 0u) << outcome.status;
        EXPECT_EQ(outcome.boxes, (std::vector<std::string>{EndedEarlyBox + "noise.zdb", AllGood}));
    }
    // A truncated gzip file: the records before the cut are listed, the search ends normally and then
    // says the file ended early.
    std::string compressed = Gzip(whole);
    {
        std::string device = DeviceWithDatabase("cut.zdb", compressed.substr(0, compressed.size() / 2));
        Outcome outcome = SearchCheckFind(device);
        ASSERT_EQ(outcome.status.rfind("Scaned: ", 0), 0u) << outcome.status;
        EXPECT_GT(outcome.rows, 0);
        EXPECT_LT(outcome.rows, 2000);
        EXPECT_EQ(outcome.status,
                  "Scaned: " + std::to_string(outcome.rows) + ", results: " + std::to_string(outcome.rows));
        EXPECT_EQ(outcome.boxes, (std::vector<std::string>{EndedEarlyBox + "cut.zdb", AllGood}));
    }
    // Cut inside the gzip header: the header cannot be read, so the file is refused.
    ExpectRefused("stub.zdb", compressed.substr(0, 12));
}

TEST(BadDatabaseFiles, HeadersBlocksAndTexts) {
    std::vector<std::string> three = {Record(1111111, "A"), Record(2222222, "B"), Record(3333333, "C")};
    // A record count far beyond the records present, or negative: the stream decides, the count only
    // sets the progress range.
    ExpectScanned("huge.db", Header(0x7FFFFFFF) + RecordStreamBytes(three), 3);
    ExpectScanned("negative.db", Header(-5) + RecordStreamBytes(three), 3);
    // Block lengths 0, 1 and 7 cannot hold a record: the stream ends there, the records before stand.
    for (int length : {0, 1, 7}) {
        std::string bytes = Header(3) + RecordStreamBytes({Record(1111111, "A")});
        bytes.back() = static_cast<char>(length); // the first record's next length
        bytes += std::string(300, 'x');
        ExpectScanned("length" + std::to_string(length) + ".db", bytes, 1, true);
    }
    // The largest block, 254 bytes, is read whole.
    std::string longest = Record(4444444, std::string(254 - 1 - 3 - 4 - 3, 'N'), "S", "H");
    ASSERT_EQ(longest.size() + 1, 254u);
    ExpectScanned("length254.db", Header(2) + RecordStreamBytes({longest, Record(5555555, "E")}), 2);
    // Texts without terminators: the first runs to the block's last byte; the search lists the record.
    std::string unterminated = "\x01\x02\x03" + std::string(40, 'T');
    ExpectScanned("unterminated.db", Header(2) + RecordStreamBytes({unterminated, Record(6666666, "F")}), 2);
    // A header alone, and a file shorter than a header.
    ExpectScanned("headeronly.db", Header(9), 0, true);
    ExpectRefused("short.db", Header(1).substr(0, 20));
}

TEST(BadDatabaseFiles, SparseFourGibibytesOfZeros) {
    // 4 GiB of zeros: the format mark is 0, so it is refused without being read.
    std::string device = DeviceWithDatabase("zeros.db", "");
    std::filesystem::resize_file(device + "/Databases/zeros.db", 4ull << 30);
    // A valid header and then 4 GiB of zeros: the first length byte 0 ends the stream at once.
    std::string headed = MakeDevice("[RUSSIAN]\r\n");
    WriteHostFile(headed + "/Databases/headed.db", Header(100000000));
    std::filesystem::resize_file(headed + "/Databases/headed.db", 4ull << 30);
    WriteHostFile(IniPath(headed), "\\Databases\\headed.db;BAD\r\n");

    Outcome refused = SearchCheckFind(device);
    EXPECT_EQ(refused.rows, 0);
    EXPECT_EQ(refused.boxes, (std::vector<std::string>{BadBox + "zeros.db", OneWrong}));
    Outcome headedOutcome = SearchCheckFind(headed);
    EXPECT_EQ(headedOutcome.status, "Scaned: 0, results: 0");
    EXPECT_EQ(headedOutcome.boxes, (std::vector<std::string>{EndedEarlyBox + "headed.db", AllGood}));
    EXPECT_EQ(headedOutcome.found, std::vector<std::string>{}); // installed already, so not offered
}

TEST(BadLanguageFiles, GarbageLongLinesAndFormatSpecifiers) {
    // Binary garbage: no section is found, the built-in texts stay, the program works and ends with 0.
    std::string garbage = RandomBytes(64 * 1024, 3);
    std::string device = MakeDevice(garbage);
    ScriptRun run = RunScript(device, "type SearchWnd/1102 X\nclick SearchWnd/1107\nwait\ndump\n");
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    ASSERT_EQ(run.dumps.size(), 1u) << run.errors;
    EXPECT_EQ(Text(FindWindow(run.dumps[0], "BUTTON", 1107)["text"]), "Start");

    // A line of 100,000 bytes inside the section: read in pieces, the texts after it are still found.
    std::string longLine = "[RUSSIAN]\r\n700=" + std::string(100000, 'L') + "\r\n1107=GO\r\n";
    ScriptRun longRun = RunScript(MakeDevice(longLine), "dump\n");
    EXPECT_EQ(longRun.exitCode, 0) << longRun.errors;
    ASSERT_EQ(longRun.dumps.size(), 1u) << longRun.errors;
    EXPECT_EQ(Text(FindWindow(longRun.dumps[0], "BUTTON", 1107)["text"]), "GO");

    // "%s%s%s%n" in texts 903 to 908: each argument prints once in its own kind, the rest prints
    // nothing, and %n writes nothing.
    std::string language = "[RUSSIAN]\r\n";
    for (int id = 903; id <= 908; id++)
        language += std::to_string(id) + "=%s%s%s%n\r\n";
    std::string formats = MakeDevice(language);
    WriteHostFile(formats + "/Databases/bad.db", "not a database at all");
    WriteHostFile(formats + "/Databases/good.db", Header(1) + RecordStreamBytes({Record(1234567, "A")}));
    WriteHostFile(IniPath(formats), "\\Databases\\bad.db;B\r\n\\Databases\\good.db;G\r\n");
    ScriptRun formatted =
        RunScript(formats, "choose SearchWnd/1100 1\ntype SearchWnd/1101 ?\nclick SearchWnd/1107\n"
                           "wait\ndump\ntab 2\nclick SetupWnd/1305\nclick SetupWnd/1305\n");
    EXPECT_EQ(formatted.exitCode, 0) << formatted.errors;
    ASSERT_EQ(formatted.dumps.size(), 1u) << formatted.errors;
    EXPECT_EQ(Text(FindWindow(formatted.dumps[0], "static", 1202)["text"]), "11");
    EXPECT_EQ(Boxes(formatted),
              (std::vector<std::string>{"Error: \\Databases\\bad.db", "Info: 1", "Info: "}));
}

TEST(BadDatabaseList, LongFilesNulBytesLongLinesAndClimbingPaths) {
    std::string device = MakeDevice("[RUSSIAN]\r\n");
    WriteHostFile(device + "/Databases/good.db", Header(1) + RecordStreamBytes({Record(1234567, "A")}));
    // 10,000 lines, NUL bytes, lines of 5,000 bytes: at most ten entries, each cut to its fields.
    std::string ini;
    ini += std::string("\\Databases\\good.db\0junk;NUL\r\n", 29);
    ini += std::string(5000, 'P') + ";" + std::string(5000, 'T') + "\r\n";
    for (int index = 0; index < 10000; index++)
        ini += "\\Databases\\good.db;LINE" + std::to_string(index) + "\r\n";
    WriteHostFile(IniPath(device), ini);
    ScriptRun run = RunScript(device, "dump\ntype SearchWnd/1101 ?\nclick SearchWnd/1107\nwait\ndump\n");
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    ASSERT_EQ(run.dumps.size(), 2u) << run.errors;
    QJsonArray items = FindWindow(run.dumps[0], "combobox", 1100)["items"].toArray();
    EXPECT_LE(items.size(), 10);
    EXPECT_GE(items.size(), 1);
    for (const QJsonValue& item : items)
        EXPECT_LE(Text(item).size(), 63u);

    // Paths with ".." that climb above the device root resolve inside the device folder, never outside it.
    std::string outside = MakeTemporaryFolder();
    WriteHostFile(outside + "/outside.db", Header(1) + RecordStreamBytes({Record(7654321, "OUTSIDE")}));
    std::string climbing = MakeDevice("[RUSSIAN]\r\n");
    std::string up;
    for (int level = 0; level < 30; level++)
        up += "\\..";
    // One line climbs to the host's root and down to the outside file, one climbs from the device folder.
    std::string outsideName = std::filesystem::path(outside).filename().string();
    std::string relative = std::filesystem::relative(outside, climbing).string();
    std::replace(relative.begin(), relative.end(), '/', '\\');
    WriteHostFile(IniPath(climbing), up + "\\tmp\\" + outsideName + "\\outside.db;UP\r\n\\" + relative +
                                         "\\outside.db;RELATIVE\r\n");
    ScriptRun climbed = RunScript(climbing, "type SearchWnd/1101 ?\nclick SearchWnd/1107\nwait\ndump\n"
                                            "choose SearchWnd/1100 1\nclick SearchWnd/1107\nwait\ndump\n"
                                            "tab 2\nclick SetupWnd/1305\n");
    EXPECT_EQ(climbed.exitCode, 0) << climbed.errors;
    ASSERT_EQ(climbed.dumps.size(), 2u) << climbed.errors;
    for (const QJsonObject& dump : climbed.dumps)
        EXPECT_TRUE(FindWindow(dump, "SysListView32", 1201)["rows"].toArray().isEmpty());
    ASSERT_EQ(climbed.boxes.size(), 3u);
    EXPECT_EQ(Text(climbed.boxes[2]["text"]), "Found: 2 wrong db files\r\n\r\nBad entrances deleted.");
    EXPECT_EQ(ReadHostFile(IniPath(climbing)), "");
    // The same path inside the device folder is what it names.
    WriteHostFile(climbing + "/tmp/" + outsideName + "/outside.db",
                  Header(1) + RecordStreamBytes({Record(7654321, "INSIDE")}));
    WriteHostFile(IniPath(climbing), up + "\\tmp\\" + outsideName + "\\outside.db;UP\r\n");
    ScriptRun inside =
        RunScript(climbing, "type SearchWnd/1101 ?\nclick SearchWnd/1107\nwait\nprint ResultWnd/1201\n");
    EXPECT_NE(inside.output.find("INSIDE"), std::string::npos) << inside.output;
}

TEST(BadRegistryStore, GarbageGivesDefaultsAndTheNextSaveWritesAValidStore) {
    std::string device = MakeDevice(ShippedLanguageFile());
    std::string store = device + "/Windows/registry.txt";
    for (unsigned seed : {4u, 5u}) {
        std::string garbage = seed == 4 ? RandomBytes(100000, seed) : "Dialdex registry 1\n\t\t\t\x00\xFF\n";
        WriteHostFile(store, garbage);
        // The default language ("RUSSIAN") is used; closing saves the column widths into a new store.
        ScriptRun run = RunScript(device, "dump\n");
        EXPECT_EQ(run.exitCode, 0) << run.errors;
        ASSERT_EQ(run.dumps.size(), 1u) << run.errors;
        EXPECT_EQ(Text(FindWindow(run.dumps[0], "BUTTON", 1107)["text"]), "Старт")
            << "the Russian texts, as the default language";
        std::string after = ReadHostFile(store);
        EXPECT_EQ(after.rfind("Dialdex registry 1\n", 0), 0u) << after.substr(0, 80);
        EXPECT_NE(after.find("Col0Width"), std::string::npos);
        EXPECT_TRUE(ReadHostFile(store + ".bad") == garbage) << "the old file is kept aside";
        std::filesystem::remove(store + ".bad");
    }

    // One damaged line (three fields, and no final line feed) costs neither the language nor the widths:
    // a plain start and close keeps every line that reads.
    std::string english;
    for (char letter : std::string("ENGLISH"))
        english += std::string(1, letter) + std::string(1, '\0');
    english.resize(64, '\0');
    std::string hex;
    for (unsigned char byte : english) {
        hex += "0123456789ABCDEF"[byte >> 4];
        hex += "0123456789ABCDEF"[byte & 0xF];
    }
    std::string key = "SOFTWARE\\\\Kestrel\\\\Dialdex";
    std::string damaged = "Dialdex registry 1\nSOFTWARE\nSOFTWARE\\\\Kestrel\n" + key + "\n" + key +
                          "\tLanguage\t1\t" + hex + "\n" + key + "\tCol0Width\t4\t4D000000\n" + key +
                          "\tbroken\t4\n" + key + "\tCol1Width\t4\t4E000000";
    WriteHostFile(store, damaged);
    ScriptRun kept = RunScript(device, "dump\n");
    ASSERT_EQ(kept.dumps.size(), 1u) << kept.errors;
    EXPECT_EQ(Text(FindWindow(kept.dumps[0], "BUTTON", 1107)["text"]), "Start");
    QJsonArray columns = FindWindow(kept.dumps[0], "SysListView32", 1201)["columns"].toArray();
    ASSERT_EQ(columns.size(), 5);
    EXPECT_EQ(columns[0].toObject()["width"].toInt(), 77);
    EXPECT_EQ(columns[1].toObject()["width"].toInt(), 78);
    std::string after = ReadHostFile(store);
    EXPECT_NE(after.find(key + "\tLanguage\t1\t" + hex + "\n"), std::string::npos) << after;
    EXPECT_EQ(after.find("broken"), std::string::npos);
    EXPECT_EQ(ReadHostFile(store + ".bad"), damaged);
}
