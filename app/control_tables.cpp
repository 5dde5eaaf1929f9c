// The control tables: one row per control, in creation order; rectangles portrait, then landscape.
#include "app/identifiers.h"
#include "app/page_framework.h"

namespace {

// The style bits of the tables' rows (the pages OR in their fixed bits at creation).
constexpr uint32_t Title = StaticCentre;
constexpr uint32_t Label = StaticLeft;
constexpr uint32_t Selector = StyleBorder | StyleVerticalScroll; // no combo-type bits
constexpr uint32_t CriteriaEdit = StyleBorder | EditAutoHorizontalScroll | EditUpperCase;
constexpr uint32_t Button = ButtonNotify;
constexpr uint32_t ScrolledBox = StyleBorder | StyleVerticalScroll | StyleHorizontalScroll;

// How controls follow a desktop window the user makes larger, with the most they grow (device pixels).
constexpr ControlAnchors Stays = {0, 0};
constexpr ControlAnchors Spans = {AnchorGrowRight, 0};                 // titles stay centred, texts wrap wider
constexpr ControlAnchors Fills = {AnchorFill, 0};                      // the lists
constexpr ControlAnchors LongEdit = {AnchorGrowRight, 260};            // names and streets
constexpr ControlAnchors ShortEdit = {AnchorGrowRight, 50};            // numbers
constexpr ControlAnchors DatabaseChoice = {AnchorGrowRight, 230};      // database titles
constexpr ControlAnchors LanguageChoice = {AnchorGrowRight, 120};      // language names
constexpr ControlAnchors AfterLanguageChoice = {AnchorMoveRight, 120}; // stays beside it
constexpr ControlAnchors BottomButton = {AnchorMoveDown, 0};
// The status takes the row's extra room and what its counts need; the bar keeps to the right of it.
constexpr ControlAnchors Status = {AnchorMoveDown | AnchorGrowRight | AnchorWidenToText, 0};
constexpr ControlAnchors Progress = {AnchorMoveDown | AnchorMoveRight | AnchorYieldToPrevious, 0};

} // namespace

// clang-format off
const ControlDescription SearchControls[SearchControlCount] = {
    // class               id                     caption                 portrait              landscape             style, desktop anchors
    {u"static",            UnaddressedControlId,  u"Dialdex v.2.0 beta", {{0, 7, 240, 14},    {0, 3, 640, 14}},     Title, Spans},
    {u"combobox",          DatabaseSelectorId,    u"",                   {{65, 30, 170, 80},  {65, 30, 170, 80}},   Selector, DatabaseChoice},
    {u"edit",              PhoneEditId,           u"",                   {{65, 52, 70, 20},   {65, 52, 70, 20}},    CriteriaEdit, ShortEdit},
    {u"edit",              NameEditId,            u"",                   {{65, 74, 142, 20},  {65, 74, 142, 20}},   CriteriaEdit, LongEdit},
    {u"edit",              StreetEditId,          u"",                   {{65, 96, 142, 20},  {65, 96, 142, 20}},   CriteriaEdit, LongEdit},
    {u"edit",              HouseEditId,           u"",                   {{65, 118, 70, 20},  {65, 118, 70, 20}},   CriteriaEdit, ShortEdit},
    {u"edit",              FlatEditId,            u"",                   {{65, 140, 70, 20},  {65, 140, 70, 20}},   CriteriaEdit, ShortEdit},
    {u"static",            DatabaseLabelId,       u"DB",                 {{5, 33, 59, 14},    {5, 33, 59, 14}},     Label, Stays},
    {u"static",            PhoneLabelId,          u"Phone",              {{5, 56, 59, 14},    {5, 56, 59, 14}},     Label, Stays},
    {u"static",            NameLabelId,           u"Name",               {{5, 78, 59, 14},    {5, 78, 59, 14}},     Label, Stays},
    {u"static",            StreetLabelId,         u"Street",             {{5, 100, 59, 14},   {5, 100, 59, 14}},    Label, Stays},
    {u"static",            HouseLabelId,          u"House",              {{5, 122, 59, 14},   {5, 122, 59, 14}},    Label, Stays},
    {u"static",            FlatLabelId,           u"Flat",               {{5, 144, 59, 14},   {5, 144, 59, 14}},    Label, Stays},
    {u"BUTTON",            StartStopButtonId,     u"Start",              {{65, 163, 70, 20},  {65, 163, 70, 20}},   Button, Stays},
    {u"BUTTON",            ResetButtonId,         u"Reset",              {{65, 186, 70, 20},  {140, 163, 70, 20}},  Button, Stays},
    {u"SIPPREF",           UnaddressedControlId,  u"",                   {{-10, -10, 5, 5},   {-10, -10, 5, 5}},    StyleChild, Stays},
};

const ControlDescription ResultControls[ResultControlCount] = {
    {u"static",            ResultTitleId,         u"Searching Results:", {{0, 7, 240, 14},    {0, 3, 640, 14}},     StyleVisible | Title, Spans},
    {u"static",            QueryDetailsId,        u"Query details:",     {{5, 33, 225, 26},   {5, 18, 630, 14}},    StyleVisible | Label, Spans},
    {u"SysListView32",     ResultListId,          u"",                   {{5, 64, 225, 160},  {5, 36, 630, 130}},   StyleVisible | ScrolledBox | ListViewReport, Fills},
    {u"static",            StatusTextId,          u"",                   {{5, 225, 84, 14},   {5, 170, 84, 14}},    StyleVisible | Label, Status},
    {u"msctls_progress32", ProgressBarId,         u"Progress1",          {{100, 226, 130, 12}, {100, 171, 130, 12}}, StyleBorder, Progress},
};

const ControlDescription SetupControls[SetupControlCount] = {
    {u"static",            SetupTitleId,          u"Dialdex Options:",   {{0, 7, 240, 14},    {0, 3, 640, 14}},     Title, Spans},
    {u"static",            UnaddressedControlId,  u"Language:",          {{5, 33, 65, 24},    {5, 18, 65, 24}},     Label, Stays},
    {u"combobox",          LanguageSelectorId,    u"",                   {{70, 30, 80, 70},   {70, 16, 80, 70}},    Selector, LanguageChoice},
    {u"BUTTON",            SaveLanguageButtonId,  u"Save",               {{155, 30, 74, 20},  {155, 16, 74, 20}},   Button, AfterLanguageChoice},
    {u"static",            InstallLabelId,        u"Install new databases:", {{5, 60, 225, 22}, {5, 40, 225, 22}},  Label, Spans},
    {u"BUTTON",            FindDatabasesButtonId, u"Find DB",            {{5, 207, 74, 20},   {5, 163, 74, 20}},    Button, BottomButton},
    {u"BUTTON",            InstallButtonId,       u"Install",            {{81, 207, 74, 20},  {81, 163, 74, 20}},   Button, BottomButton},
    {u"BUTTON",            CheckButtonId,         u"Check",              {{157, 207, 74, 20}, {157, 163, 74, 20}},  Button, BottomButton},
    {u"Listbox",           FoundListId,           u"",                   {{5, 85, 225, 120},  {5, 63, 630, 97}},    ScrolledBox | ListBoxNotify, Fills},
};

const ControlDescription AboutControls[AboutControlCount] = {
    {u"static",            AboutTextId,           u"Dialdex v.2.0 b1026\r\n"
                                                  u"2003, Kestrel Software\r\n"
                                                  u"\r\n"
                                                  u"Comments and questions are welcome on the Kestrel forum.\r\n"
                                                  u"\r\n"
                                                  u"Public preview\r\n"
                                                  u"October, 2003",      {{55, 20, 160, 180}, {55, 20, 250, 180}},  Label, Spans},
    {u"static",            AboutIconId,           u"DIALICON",           {{10, 20, 32, 32},   {10, 20, 32, 32}},    StaticIcon, Stays},
};

// The labels that name the criteria, the selectors and the found list for a screen reader.
const ControlLabel ControlLabels[ControlLabelCount] = {
    {DatabaseSelectorId, DatabaseLabelId},
    {PhoneEditId,        PhoneLabelId   },
    {NameEditId,         NameLabelId    },
    {StreetEditId,       StreetLabelId  },
    {HouseEditId,        HouseLabelId   },
    {FlatEditId,         FlatLabelId    },
    {LanguageSelectorId, UnaddressedControlId}, // "Language:", the only unaddressed control on Setup
    {FoundListId,        InstallLabelId },
};

// The Result page's controls without a label, named by their role.
const ControlName ControlNames[ControlNameCount] = {
    {ResultListId,  TextResultsName,  u"Results" },
    {StatusTextId,  TextStatusName,   u"Status"  },
    {ProgressBarId, TextProgressName, u"Progress"},
};
// clang-format on
