// The Setup page: Find DB, Install, Check, and the language choice.
#include "app/page_framework.h"
#include "app/pages.h"

namespace {

MessageResult OnSetupPageCreate(Window page, uint32_t, FirstParameter, SecondParameter) {
    CreatePageControls(page, SetupControls, PageFixedStyle, true);
    return 0;
}

MessageResult DoNothing(Window, int, Window, int) { return 0; }

// clang-format off
const CommandTableEntry setupCommands[] = {
    {1303, DoNothing},
    {1304, DoNothing},
    {1305, DoNothing},
    {1302, DoNothing},
    {1309, DoNothing},
};
// clang-format on

MessageResult OnSetupCommand(Window page, uint32_t, FirstParameter first, SecondParameter second) {
    return DispatchCommand(setupCommands, page, first, second);
}

const MessageTableEntry setupPageMessages[] = {
    {MessageCreate,  OnSetupPageCreate},
    {MessageCommand, OnSetupCommand   },
};

MessageResult SetupPageProcedure(Window window, uint32_t message, FirstParameter first, SecondParameter second) {
    return WalkMessageTable(setupPageMessages, window, message, first, second);
}

} // namespace

int RegisterSetupPageClass(Instance instance) { return RegisterPageClass(instance, u"SetupWnd", SetupPageProcedure); }
