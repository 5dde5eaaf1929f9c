// The process: reads the device options (start_options.h), sets up Qt and the device, then calls the
// program's entry as the device would, and ends with its exit code.
#include "app/program.h"
#include "platform/device.h"
#include "platform/program_icon.h"
#include "platform/script.h"
#include "platform/start_options.h"
#include "platform/window_system.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QIcon>
#include <QGuiApplication>
#include <QScreen>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string DefaultDeviceFolder() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && *dataHome) return std::string(dataHome) + "/dialdex/device";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/share/dialdex/device";
}

std::string ExecutableFolder() {
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    path[length] = 0;
    std::string folder(path);
    size_t slash = folder.rfind('/');
    return slash == std::string::npos ? "." : folder.substr(0, slash);
}

// Offscreen Qt wants a private runtime folder; give it one so it does not warn.
void EnsureRuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) return;
    std::string folder = "/tmp/dialdex-runtime-" + std::to_string(getuid());
    mkdir(folder.c_str(), 0700);
    chmod(folder.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
}

bool NonEmptyVariable(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// The zoom a desktop window opens at, from the screen the window opens on; 1 when there is none.
double DefaultZoom() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return 1;
    constexpr int PortraitWindowHeight = 295; // device pixels
    QFont desktopFont = QApplication::font();
    double dpi = screen->logicalDotsPerInch();
    double fontPixels =
        desktopFont.pixelSize() > 0 ? desktopFont.pixelSize() : desktopFont.pointSizeF() * dpi / 72;
    // A title bar and a menu bar, at the desktop's size: about four lines of its text.
    int chrome = 4 * QFontMetrics(desktopFont).height();
    return ChooseZoom(screen->availableGeometry().height(), dpi, fontPixels, PortraitWindowHeight, chrome);
}

} // namespace

int main(int argc, char** argv) {
    // Every thread that allocates gets a malloc arena of its own, reserving 64 MiB of address space each:
    // the threads that inflate a directory's members made that room vanish after the memory budget had
    // counted it, and under an address-space limit Qt's own allocations then failed inside its views (a
    // crash, not a box). Two arenas keep the room the budget saw; the threads allocate little.
    mallopt(M_ARENA_MAX, 2);
    StartOptions options;
    int parsed = ParseStartOptions(argc, argv, DefaultDeviceFolder(), &options);
    if (parsed >= 0) return parsed;

    // A platform the user names (offscreen for a kill test, vnc, eglfs) is theirs to run on; otherwise a
    // program without a display and without a script would run unseen and never end.
    bool platformChosen = NonEmptyVariable("QT_QPA_PLATFORM");
    bool haveDisplay = NonEmptyVariable("DISPLAY") || NonEmptyVariable("WAYLAND_DISPLAY");
    if (options.script.empty() && !haveDisplay && !platformChosen) {
        std::fputs("no display: set DISPLAY or WAYLAND_DISPLAY, or use --script\n", stderr);
        return 2;
    }
    if (!options.script.empty() && !platformChosen) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    EnsureRuntimeFolder();
    // Qt sees the program's name only: every argument is the device's, and has been read above.
    int qtArgumentCount = 1;
    DeviceApplication application(qtArgumentCount, argv);
    // The window's icon, and the name a desktop matches the window to its launcher by: the app id on
    // Wayland, WM_CLASS (from the application's name) on X11.
    QApplication::setWindowIcon(ProgramWindowIcon());
    QApplication::setApplicationName("org.kestrel.dialdex");
    QGuiApplication::setDesktopFileName("org.kestrel.dialdex");
    bool desktop = options.script.empty() && options.screenWidth == 0;
    SetDesktopFace(desktop);
    // On a desktop Qt's own dialogs and menus keep the desktop's font; the device's windows get the
    // program's font at the zoom (platform/screen.cpp).
    if (!desktop) QApplication::setFont(ProgramFont());
    SetDisplayZoom(options.zoom != 0 ? options.zoom : desktop ? DefaultZoom() : 1);
    RememberWindowPlacement(desktop);
    if (options.screenWidth > 0) SetScreenSize(options.screenWidth, options.screenHeight);

    if (PrepareDeviceFolder(options.device, FindShippedLanguageFile(ExecutableFolder())) != 0) {
        ReportStartFailure("cannot make the device folder " + options.device);
        return 1;
    }
    if (!options.card.empty()) SetStorageCardFolder(options.card);
    if (!options.script.empty() && StartScript(options.script) != 0)
        return ReportStartFailure("cannot read the script " + options.script);

    // The program is handed a database to open as the device would hand it one: its device path.
    std::u16string fileToOpen = OpenHostFile(options.file);
    int exitCode = ProgramEntry(reinterpret_cast<Instance>(1), nullptr, fileToOpen.c_str(), ShowNormal);
    // The program's own exit code stays first; a script that ran clean but skipped lines says so.
    if (exitCode == 0 && !options.script.empty() && FailedScriptLines() > 0) exitCode = 2;
    SaveWindowPlacements();

    // The windows go with the process, as on the device: no message reaches the program any more.
    SetWindowSystemEnded(true);
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(exitCode);
}
