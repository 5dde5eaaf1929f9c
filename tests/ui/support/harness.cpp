#include "tests/ui/support/harness.h"

#include <QJsonDocument>
#include <QProcess>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#ifndef DIALDEX_BUILD_FOLDER
#error "the build folder must be given"
#endif
#ifndef DIALDEX_SOURCE_FOLDER
#error "the source folder must be given"
#endif

namespace {
std::vector<std::string> temporaryFolders;
struct Cleanup {
    ~Cleanup() {
        for (const std::string& folder : temporaryFolders) {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
    }
} cleanup;
} // namespace

std::string MakeTemporaryFolder() {
    char pattern[] = "/tmp/dialdex-test-XXXXXX";
    char* folder = mkdtemp(pattern);
    if (!folder) std::abort();
    temporaryFolders.push_back(folder);
    return folder;
}

void WriteHostFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadHostFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

std::string ShippedLanguageFile() { return ReadHostFile(std::string(DIALDEX_SOURCE_FOLDER) + "/data/dialdex.lng"); }

std::string MakeDevice(const std::string& languageFile) {
    std::string device = MakeTemporaryFolder() + "/device";
    std::filesystem::create_directories(device + "/Program Files/Dialdex");
    if (!languageFile.empty()) WriteHostFile(device + "/Program Files/Dialdex/dialdex.lng", languageFile);
    return device;
}

std::string BuiltProgram(const std::string& name) { return std::string(DIALDEX_BUILD_FOLDER) + "/" + name; }

ScriptRun RunScript(const std::string& device, const std::string& script, const std::vector<std::string>& arguments) {
    std::string scriptPath = MakeTemporaryFolder() + "/script.txt";
    WriteHostFile(scriptPath, script);
    QStringList list{"--device", QString::fromStdString(device), "--script", QString::fromStdString(scriptPath)};
    for (const std::string& argument : arguments) list << QString::fromStdString(argument);
    QProcess process;
    process.start(QString::fromStdString(BuiltProgram("dialdex")), list);
    ScriptRun run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        run.errors = "timed out";
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = process.readAllStandardOutput().toStdString();
    run.errors = process.readAllStandardError().toStdString();
    std::istringstream lines(run.output);
    std::string line;
    while (std::getline(lines, line)) {
        QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line));
        if (!document.isObject()) continue;
        QJsonObject object = document.object();
        if (object.contains("box")) run.boxes.push_back(object["box"].toObject());
        if (object.contains("windows")) run.dumps.push_back(object);
    }
    return run;
}

QJsonObject FindWindow(const QJsonObject& dump, const std::string& className, int id, const std::string& page) {
    for (const QJsonValue& value : dump["windows"].toArray()) {
        QJsonObject window = value.toObject();
        if (window["class"].toString().toStdString() != className || window["id"].toInt() != id) continue;
        if (!page.empty() && window["page"].toString().toStdString() != page) continue;
        return window;
    }
    return QJsonObject();
}

std::string Text(const QJsonValue& value) { return value.toString().toStdString(); }
