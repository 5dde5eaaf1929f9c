// Running the program for tests: in a child process through its script driver (what a user sees), or
// in-process on the offscreen platform (what its procedures do).
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

struct ScriptRun {
    int exitCode = -1;
    std::vector<QJsonObject> boxes; // {"owner","caption","text"} in the order shown
    std::vector<QJsonObject> dumps; // {"windows":[...]} per dump command
    std::string output;             // everything printed on standard output
    std::string errors;             // standard error
};

// A fresh temporary folder (removed at exit of the test process).
std::string MakeTemporaryFolder();
// Writes bytes to a host file, making its folders.
void WriteHostFile(const std::string& path, const std::string& bytes);
std::string ReadHostFile(const std::string& path);
// A device folder with the program folder and the given language file bytes (none when empty).
std::string MakeDevice(const std::string& languageFile);
// A language file: the lines joined with CR LF line ends (tests keep to ASCII or give 1251 bytes).
std::string LanguageFileOf(std::initializer_list<std::string> lines);
// The small example database (41 bytes): one record, phone 1234567, name A, street B, house 1, no flat.
std::string ExampleDatabase();
// A database of a header and the end mark alone, whose header claims recordCount records.
std::string HeaderOnlyDatabase(int32_t recordCount, const std::string& title, int formatMark = 11);
// The shipped language file's bytes.
std::string ShippedLanguageFile();
// Path of a built program (dialdex, dialdex-mkdb, dialdex-find).
std::string BuiltProgram(const std::string& name);

struct ProcessRun {
    int exitCode = -1; // -1 when it did not end by itself (killed, timed out, not started)
    std::string output;
    std::string errors;
};
// Runs a program and collects its output, killing it after the timeout. Started with posix_spawn, not
// QProcess: ThreadSanitizer stops seeing the test process's locks after a QProcess start, which would
// make every later in-process search report false races.
ProcessRun RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                      int timeoutSeconds);

// Starts a program (its output dropped), kills it with SIGKILL after the delay and reaps it. Returns true
// when it was still running when killed.
bool RunAndKill(const std::string& program, const std::vector<std::string>& arguments, int delayMilliseconds);

// Runs build/dialdex --device device --script <script> with further arguments.
ScriptRun RunScript(const std::string& device, const std::string& script,
                    const std::vector<std::string>& arguments = {});
// Fills run->boxes and run->dumps from the JSON lines of run->output.
void ReadScriptOutput(ScriptRun* run);
// Waits until the process has the host file open and has read past its header (a scan, not the
// validation before it), then runs change. False when the process ended (or a minute passed) first.
bool WhileReading(long long processId, const std::string& hostPath, const std::function<void()>& change);

// The first window in a dump with that class and id (and page, when given); an empty object if none.
QJsonObject FindWindow(const QJsonObject& dump, const std::string& className, int id,
                       const std::string& page = "");
// UTF-8 of a string (for test messages and comparisons).
std::string Text(const QJsonValue& value);
