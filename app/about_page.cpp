// The About page (its two controls, never translated) and the Exit page (no behaviour of its own).
#include "app/page_framework.h"
#include "app/pages.h"

namespace {

MessageResult OnAboutPageCreate(Window page, uint32_t, FirstParameter, SecondParameter) {
    CreatePageControls(page, AboutControls, PageFixedStyle, false);
    return 0;
}

const MessageTableEntry aboutPageMessages[] = {
    {MessageCreate, OnAboutPageCreate},
};

MessageResult AboutPageProcedure(Window window, uint32_t message, FirstParameter first,
                                 SecondParameter second) {
    return WalkMessageTable(aboutPageMessages, window, message, first, second);
}

// The Exit page hands every message to default processing; choosing its tab closes the program instead.
MessageResult ExitPageProcedure(Window window, uint32_t message, FirstParameter first,
                                SecondParameter second) {
    return DefWindowProc(window, message, first, second);
}

} // namespace

int RegisterAboutPageClass(Instance instance) {
    return RegisterPageClass(instance, u"AboutWnd", AboutPageProcedure);
}
int RegisterExitPageClass(Instance instance) {
    return RegisterPageClass(instance, u"Exit", ExitPageProcedure);
}
