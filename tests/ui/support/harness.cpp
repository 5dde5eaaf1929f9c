#include "tests/ui/support/harness.h"

#include "tests/support/database_bytes.h"

#include <QJsonDocument>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
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

std::string LanguageFileOf(std::initializer_list<std::string> lines) {
    std::string file;
    for (const std::string& line : lines)
        file += line + "\r\n";
    return file;
}

std::string ExampleDatabase() {
    return DatabaseBytes({
        {1234567, "A", "B", "1", ""}
    });
}

std::string HeaderOnlyDatabase(int32_t recordCount, const std::string& title, int formatMark) {
    return DatabaseHeaderBytes(recordCount, title, 7, formatMark) + RecordStreamBytes({});
}

std::string ShippedLanguageFile() {
    return ReadHostFile(std::string(DIALDEX_SOURCE_FOLDER) + "/data/dialdex.lng");
}

std::string MakeDevice(const std::string& languageFile) {
    std::string device = MakeTemporaryFolder() + "/device";
    std::filesystem::create_directories(device + "/Program Files/Dialdex");
    if (!languageFile.empty()) WriteHostFile(device + "/Program Files/Dialdex/dialdex.lng", languageFile);
    return device;
}

std::string BuiltProgram(const std::string& name) {
    return std::string(DIALDEX_BUILD_FOLDER) + "/" + name;
}

namespace {

// Starts program with its arguments and the given file actions (destroyed here); returns posix_spawn's
// code (0: started, *pid set).
int Spawn(const std::string& program, const std::vector<std::string>& arguments,
          posix_spawn_file_actions_t* actions, pid_t* pid) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    int spawned = posix_spawn(pid, program.c_str(), actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(actions);
    return spawned;
}

} // namespace

ProcessRun RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                      int timeoutSeconds) {
    ProcessRun run;
    int outputPipe[2], errorPipe[2];
    if (pipe2(outputPipe, O_CLOEXEC) != 0) return run;
    if (pipe2(errorPipe, O_CLOEXEC) != 0) {
        close(outputPipe[0]);
        close(outputPipe[1]);
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outputPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errorPipe[1], 2);
    pid_t pid = -1;
    int spawned = Spawn(program, arguments, &actions, &pid);
    close(outputPipe[1]);
    close(errorPipe[1]);
    if (spawned != 0) {
        close(outputPipe[0]);
        close(errorPipe[0]);
        run.errors = "cannot start " + program;
        return run;
    }
    // Both pipes are drained as the program writes, so it never blocks on a full one.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    pollfd pipes[2] = {
        {outputPipe[0], POLLIN, 0},
        {errorPipe[0],  POLLIN, 0}
    };
    std::string* sinks[2] = {&run.output, &run.errors};
    int open = 2;
    bool timedOut = false;
    while (open > 0) {
        int left = int(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count());
        if (left <= 0) {
            timedOut = true;
            break;
        }
        if (poll(pipes, 2, left) < 0 && errno != EINTR) break;
        for (int index = 0; index < 2; index++) {
            if (pipes[index].fd < 0 || pipes[index].revents == 0) continue;
            char buffer[65536];
            ssize_t count = read(pipes[index].fd, buffer, sizeof buffer);
            if (count > 0) {
                sinks[index]->append(buffer, size_t(count));
            } else if (count == 0 || errno != EINTR) {
                close(pipes[index].fd);
                pipes[index].fd = -1;
                open--;
            }
        }
    }
    for (pollfd& entry : pipes)
        if (entry.fd >= 0) close(entry.fd);
    if (timedOut) kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut) {
        run.errors = "timed out";
        return run;
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

bool RunAndKill(const std::string& program, const std::vector<std::string>& arguments,
                int delayMilliseconds) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int spawned = Spawn(program, arguments, &actions, &pid);
    if (spawned != 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMilliseconds));
    int status = 0;
    bool running = waitpid(pid, &status, WNOHANG) == 0;
    if (running) {
        kill(pid, SIGKILL);
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    return running;
}

ScriptRun RunScript(const std::string& device, const std::string& script,
                    const std::vector<std::string>& arguments) {
    std::string scriptPath = MakeTemporaryFolder() + "/script.txt";
    WriteHostFile(scriptPath, script);
    std::vector<std::string> list{"--device", device, "--script", scriptPath};
    list.insert(list.end(), arguments.begin(), arguments.end());
    ProcessRun process = RunProcess(BuiltProgram("dialdex"), list, 120);
    ScriptRun run;
    run.exitCode = process.exitCode;
    run.output = process.output;
    run.errors = process.errors;
    ReadScriptOutput(&run);
    return run;
}

void ReadScriptOutput(ScriptRun* run) {
    std::istringstream lines(run->output);
    std::string line;
    while (std::getline(lines, line)) {
        QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line));
        if (!document.isObject()) continue;
        QJsonObject object = document.object();
        if (object.contains("box")) run->boxes.push_back(object["box"].toObject());
        if (object.contains("windows")) run->dumps.push_back(object);
    }
}

bool WhileReading(long long processId, const std::string& hostPath, const std::function<void()>& change) {
    std::string canonical = std::filesystem::canonical(hostPath).string();
    std::string process = "/proc/" + std::to_string(processId);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(process + "/fd", error)) {
            std::error_code linkError;
            if (std::filesystem::read_symlink(entry.path(), linkError).string() != canonical) continue;
            std::ifstream info(process + "/fdinfo/" + entry.path().filename().string());
            std::string key;
            long long position = 0;
            info >> key >> position;
            // Validation reads the 29-byte header through a handle of its own, and closes it: only a handle
            // past the header is the scan's (its first read takes a whole buffer).
            if (position > 29) {
                change();
                return true;
            }
        }
        if (error) return false; // the process is gone
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

QJsonObject FindWindow(const QJsonObject& dump, const std::string& className, int id,
                       const std::string& page) {
    for (const QJsonValue& value : dump["windows"].toArray()) {
        QJsonObject window = value.toObject();
        if (window["class"].toString().toStdString() != className || window["id"].toInt() != id) continue;
        if (!page.empty() && window["page"].toString().toStdString() != page) continue;
        return window;
    }
    return QJsonObject();
}

std::string Text(const QJsonValue& value) {
    return value.toString().toStdString();
}
