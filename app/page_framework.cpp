// The shared page machinery: message tables, command tables, control creation, class registration.
#include "app/page_framework.h"

#include "app/program.h"
#include "i18n/language_file.h"

MessageResult WalkMessageTable(const MessageTableEntry* table, int count, Window window, uint32_t message,
                               FirstParameter first, SecondParameter second) {
    for (int i = 0; i < count; i++)
        if (table[i].message == message) return table[i].handler(window, message, first, second);
    return DefWindowProc(window, message, first, second);
}

MessageResult DispatchCommand(const CommandTableEntry* table, int count, Window page, FirstParameter first,
                              SecondParameter second) {
    int controlId = LowWord(first);
    int notificationCode = HighWord(first);
    for (int i = 0; i < count; i++)
        if (table[i].commandId == controlId)
            return table[i].handler(page, controlId, reinterpret_cast<Window>(second), notificationCode);
    return 0;
}

int CreatePageControls(Window page, const ControlDescription* table, int count, uint32_t fixedStyle,
                       bool translate) {
    for (int i = 0; i < count; i++) {
        const ControlDescription& control = table[i];
        const char16_t* caption = control.caption;
        if (translate && caption[0] != 0) caption = TranslatedText(control.id, caption);
        const ControlRectangle& rectangle = control.rectangles[OrientationIndex];
        Window made =
            CreateWindowEx(0, control.className, caption, control.style | fixedStyle, rectangle.x, rectangle.y,
                           rectangle.width, rectangle.height, page, control.id, ProgramInstance, nullptr);
        if (made && control.anchors.edges)
            SetWindowAnchors(made, control.anchors.edges, control.anchors.maximumGrowth);
    }
    // Only pairs whose both controls are on this page; the language's texts name them.
    for (const ControlLabel& label : ControlLabels) {
        Window labelled = GetDlgItem(page, label.controlId), labelling = GetDlgItem(page, label.labelId);
        if (labelled && labelling) SetWindowLabel(labelled, labelling);
    }
    for (const ControlName& name : ControlNames)
        if (Window named = GetDlgItem(page, name.controlId))
            SetAccessibleName(named, TranslatedText(name.textId, name.builtInName));
    return 0;
}

int RegisterPageClass(Instance instance, const char16_t* className, WindowProcedure procedure) {
    WindowClass pageClass{};
    pageClass.style = 0;
    pageClass.procedure = procedure;
    pageClass.instance = instance;
    pageClass.cursor = ArrowCursor;
    pageClass.background = StockWhiteBrush;
    pageClass.className = className;
    return RegisterWindowClass(&pageClass) == 0 ? 1 : 0;
}
