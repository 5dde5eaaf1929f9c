// The program's entry and start-up sequence.
#include "app/program.h"

#include "app/desktop_texts.h"
#include "app/messages.h"
#include "app/pages.h"
#include "i18n/language_choice.h"
#include "i18n/language_file.h"
#include "platform/device.h"
#include "platform/text.h"
#include "settings/settings.h"

Instance ProgramInstance;
char16_t ProgramFolder[260];
char16_t CurrentLanguageName[32];
int OrientationIndex;

namespace {

// The page classes in page order; registration stops at the first one refused.
using RegisterPage = int (*)(Instance instance);
constexpr RegisterPage pageRegistrations[PageCount] = {
    RegisterSearchPageClass, RegisterResultPageClass, RegisterSetupPageClass,
    RegisterAboutPageClass,  RegisterExitPageClass,
};

// Opens "dialdex.lng" in the program folder; tells the user when it cannot (the caption is fixed: no
// language is loaded yet). Returns the stream or null.
StreamFile* OpenLanguageFile() {
    char16_t path[LanguagePathCapacity];
    StreamFile* stream = OpenLanguageFileStream(ProgramFolder, path, LanguagePathCapacity);
    if (!stream) ShowMessageFixedCaption(nullptr, u"Error", u"Could not open Language file - %s", {path});
    return stream;
}

} // namespace

void ProgramFolderFromPath(const char16_t* executablePath, char16_t* folder, int capacity) {
    int lastBackslash = -1;
    for (int i = 0; executablePath[i]; i++)
        if (executablePath[i] == u'\\') lastBackslash = i;
    if (lastBackslash < 0) {
        CopyText(folder, capacity, u"\\");
        return;
    }
    int length = lastBackslash + 2 < capacity ? lastBackslash + 2 : capacity;
    CopyText(folder, length, executablePath);
}

int OrientationForScreenHeight(int screenHeight) {
    return screenHeight < 295 ? 1 : 0;
}

int RunStartupSequence(Instance instance) {
    if (RegisterMainWindowClass(instance) != 0) return ExitStartupFailed;

    char16_t executablePath[260];
    GetProgramExecutablePath(executablePath, 260);
    ProgramFolderFromPath(executablePath, ProgramFolder, 260);

    LanguageFile = OpenLanguageFile();
    if (!LanguageFile) return ExitStartupFailed;

    if (!LoadLanguageSetting()) TakeLocaleLanguage(LanguageFile, UserLocaleLanguage());
    ResetLanguageSection();
    SelectLanguageSection(LanguageFile, CurrentLanguageName);
    ReplaceMessageTexts();
    ReplaceDesktopTexts();
    UseHostLanguage(SectionLanguageCode(CurrentLanguageName));
    SetOutOfMemoryBox(MessageText(TextError), MessageText(TextOutOfMemory));
    // The result list sorts by the alphabet of the language shown (another section keeps the built-in
    // order: Latin, then Cyrillic by code, Ё after Е).
    UseLanguageAlphabet(SectionLanguageCode(CurrentLanguageName));

    for (RegisterPage registerPage : pageRegistrations)
        if (registerPage(instance) != 0) return ExitPageClassFailed;
    return 0;
}

Window CreateMainWindow(Instance instance, int showMode) {
    ProgramInstance = instance;
    OrientationIndex = OrientationForScreenHeight(GetSystemMetrics(MetricScreenHeight));
    int width = OrientationIndex == 1 ? 640 : 240;
    int height = OrientationIndex == 1 ? 240 : 295;
    Window window = CreateWindowEx(0, MainWindowClassName, u"Dialdex v.2", StyleVisible, UseDefaultPosition,
                                   UseDefaultPosition, width, height, nullptr, 0, instance, nullptr);
    if (!window || !IsWindow(window)) return nullptr;
    ShowWindow(window, showMode);
    UpdateWindow(window);
    return window;
}

int ProgramEntry(Instance instance, Instance, const char16_t* commandLine, int showMode) {
    int result = RunStartupSequence(instance);
    if (result != 0) return result;
    Window window = CreateMainWindow(instance, showMode);
    if (!window) return ExitMainWindowFailed;
    if (commandLine && commandLine[0])
        SendMessage(window, MessageDropFiles, 0, reinterpret_cast<SecondParameter>(commandLine));
    Message message;
    while (GetMessage(&message)) {
        TranslateMessage(&message);
        DispatchMessage(&message);
    }
    return static_cast<int>(message.first);
}
