// The desktop window as a user meets it: the zoom it opens at, controls that follow a window made larger,
// the names a screen reader says, a cut cell's text in a tooltip.
#include "app/identifiers.h"
#include "app/program.h"
#include "platform/list_view.h"
#include "platform/window_system.h"
#include "search/result_page.h"
#include "tests/support/database_bytes.h"
#include "tests/ui/support/harness.h"
#include "tests/ui/support/in_process.h"

#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QToolTip>
#include <cmath>
#include <gtest/gtest.h>

namespace {

TEST(DesktopZoomChoice, TextAsLargeAsTheDesktopsAndAWindowThatFitsTheScreen) {
    struct Case {
        const char* screen;
        int availableHeight;
        double dpi, fontPixels;
        double zoom;
    };
    // The portrait window is 295 device pixels high; 60 pixels of frame and menu bar.
    const Case cases[] = {
        {"1080p, 96 dpi, 12-pixel font: at least 1.5",     1080, 96,  12,   1.5 },
        {"1080p, 96 dpi, 20-pixel font: the font's size",  1080, 96,  20,   2   },
        {"1080p, 96 dpi, 17-pixel font: rounded up",       1080, 96,  17,   1.75},
        {"4K, 192 dpi: twice the 96-dpi least",            2160, 192, 24,   3   },
        {"4K, 96 dpi: the desktop's size, not the screen's", 2160, 96, 13.3, 1.5 },
        {"768 high, 144 dpi: 2.25 wanted, 2.25 fits",      768,  144, 18,   2.25},
        {"600 high, 144 dpi: lowered until the window fits", 600,  144, 18,   1.75},
        {"200 high: never below 0.5",                      200,  96,  12,   0.5 },
        {"huge font: never above 8",                       9000, 96,  200,  8   },
    };
    for (const Case& test : cases) {
        double zoom = ChooseZoom(test.availableHeight, test.dpi, test.fontPixels, 295, 60);
        EXPECT_EQ(zoom, test.zoom) << test.screen;
        if (zoom > 0.5) {
            EXPECT_LE(295 * zoom + 60, test.availableHeight) << test.screen;
        }
    }
}

// The program in this process on a desktop face at a zoom; put back as the other tests expect it.
class DesktopWindow : public testing::Test {
  protected:
    void TearDown() override {
        StopProgram();
        SetDesktopFace(false);
        SetDisplayZoom(1);
    }
    void Start(const std::string& device, double zoom) {
        SetDesktopFace(true);
        SetDisplayZoom(zoom);
        ASSERT_EQ(StartProgram(device), 0);
        main = FindWindowRecord(MainWindow);
        ASSERT_TRUE(main && main->widget);
    }
    // The user drags the window larger by the given window pixels.
    void Grow(int across, int down) {
        main->widget->resize(main->widget->minimumSize() + QSize(across, down));
        QApplication::processEvents();
    }
    WindowRecord* Control(int page, int id) { return FindWindowRecord(GetDlgItem(PageWindows[page], id)); }
    WindowRecord* main = nullptr;
};

TEST_F(DesktopWindow, ControlsFollowTheWindowByTheirAnchorsUpToTheirMaxima) {
    Start(MakeDevice(ShippedLanguageFile()), 1.5);
    constexpr int Across = 400, Down = 200; // window pixels
    Grow(Across, Down);
    struct Expected {
        int page, id;
        int moveX, moveY, growX, growY; // window pixels beyond the rectangle at the zoom
    };
    const Expected table[] = {
        {PageSearch, DatabaseSelectorId,   0,   0,   345, 0  }, // 230 device pixels at most
        {PageSearch, PhoneEditId,          0,   0,   75,  0  }, // 50
        {PageSearch, NameEditId,           0,   0,   390, 0  }, // 260
        {PageSearch, StreetEditId,         0,   0,   390, 0  },
        {PageSearch, FlatEditId,           0,   0,   75,  0  },
        {PageSearch, NameLabelId,          0,   0,   0,   0  },
        {PageSearch, StartStopButtonId,    0,   0,   0,   0  },
        {PageResult, ResultTitleId,        0,   0,   400, 0  },
        {PageResult, ResultListId,         0,   0,   400, 200},
        {PageResult, StatusTextId,         0,   200, 400, 0  },
        {PageResult, ProgressBarId,        400, 200, 0,   0  },
        {PageSetup,  LanguageSelectorId,   0,   0,   180, 0  }, // 120
        {PageSetup,  SaveLanguageButtonId, 180, 0,   0,   0  }, // beside the selector
        {PageSetup,  FoundListId,          0,   0,   400, 200},
        {PageSetup,  CheckButtonId,        0,   200, 0,   0  },
        {PageAbout,  AboutIconId,          0,   0,   0,   0  },
    };
    for (const Expected& expected : table) {
        WindowRecord* control = Control(expected.page, expected.id);
        ASSERT_TRUE(control && control->widget) << expected.id;
        // The control's own rectangle stays the program's, in device pixels.
        int left = int(std::lround(control->x * 1.5)), top = int(std::lround(control->y * 1.5));
        int width = int(std::lround((control->x + control->width) * 1.5)) - left;
        int height = int(std::lround((control->y + control->height) * 1.5)) - top;
        if (expected.id == DatabaseSelectorId || expected.id == LanguageSelectorId) height = 30; // closed box
        QRect shown = control->widget->geometry();
        EXPECT_EQ(shown, QRect(left + expected.moveX, top + expected.moveY, width + expected.growX,
                               height + expected.growY))
            << "page " << expected.page << " control " << expected.id;
    }

    // The Name and Street columns take the list's extra room; the widths the program keeps stay.
    SelectPage(PageResult);
    QApplication::processEvents();
    ListView* list = ListViewOf(FindWindowRecord(ResultList));
    ASSERT_NE(list, nullptr);
    QHeaderView* header = list->face->header();
    int shownTotal = 0;
    for (int column = 0; column < 5; column++) {
        shownTotal += header->sectionSize(column);
        int kept = int(SendMessage(ResultList, ListViewGetColumnWidth, column, 0));
        EXPECT_EQ(kept, ColumnWidths[column]) << column;
        int zoomed = int(std::lround(kept * 1.5));
        if (column == 1 || column == 2)
            EXPECT_GT(header->sectionSize(column), zoomed + 100) << column;
        else
            EXPECT_EQ(header->sectionSize(column), zoomed) << column;
    }
    EXPECT_EQ(shownTotal, list->face->viewport()->width());
    // A column the user drags keeps what they gave it, less its share, as its least width.
    int nameShown = header->sectionSize(1);
    header->resizeSection(1, nameShown + 30);
    EXPECT_EQ(SendMessage(ResultList, ListViewGetColumnWidth, 1, 0), ColumnWidths[1] + 20);
}

TEST_F(DesktopWindow, TheStatusShowsItsCountsWholeAndTheBarMakesRoom) {
    Start(MakeDevice(ShippedLanguageFile()), 1);
    WindowRecord* status = Control(PageResult, StatusTextId);
    WindowRecord* bar = Control(PageResult, ProgressBarId);
    ShowWindow(HandleOf(bar), ShowShow);
    for (const char16_t* counts : {u"5/1000", u"1000000/10000000", u"9999999/99999999"}) {
        SetWindowText(HandleOf(status), counts);
        QApplication::processEvents();
        int needed = status->widget->fontMetrics().horizontalAdvance(QString::fromStdU16String(counts));
        EXPECT_GE(status->widget->width(), needed) << "cut";
        EXPECT_GE(status->widget->width(), 84) << "never narrower than its rectangle";
        EXPECT_GT(bar->widget->x(), status->widget->geometry().right()) << "the bar overlaps the counts";
        EXPECT_EQ(bar->widget->geometry().right(), 229) << "the bar keeps its right edge";
    }
}

// What a screen reader says a control is: its name, and the label it is labelled by (on Linux a selector's
// name is its chosen item; its label comes by that relation).
std::string AccessibleName(WindowRecord* control) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control->widget);
    return accessible ? accessible->text(QAccessible::Name).toStdString() : "(none)";
}
std::string LabelledBy(WindowRecord* control) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control->widget);
    for (const auto& [label, relation] : accessible->relations(QAccessible::Label))
        return label->text(QAccessible::Name).toStdString();
    return "(none)";
}

TEST_F(DesktopWindow, EveryControlHasANameInTheLanguageInUse) {
    // Russian names in code page 1251 for the labels and the roles the file translates.
    std::string device = MakeDevice(LanguageFileOf({"[RUSSIAN]", "1111=\xD4\xE0\xEC\xE8\xEB\xE8\xFF",
                                                    "1050=\xD0\xE5\xE7\xF3\xEB\xFC\xF2\xE0\xF2\xFB",
                                                    "1051=\xD1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xE5"}));
    Start(device, 1);
    struct Case {
        int page, id;
        const char* name;  // null: a selector, named by its chosen item
        const char* label; // null: none
    };
    const Case cases[] = {
        {PageSearch, DatabaseSelectorId, nullptr,                  "DB"                    },
        {PageSearch, PhoneEditId,        "Phone",                  "Phone"                 },
        {PageSearch, NameEditId,         "Фамилия",                "Фамилия"               },
        {PageSearch, StreetEditId,       "Street",                 "Street"                },
        {PageSearch, HouseEditId,        "House",                  "House"                 },
        {PageSearch, FlatEditId,         "Flat",                   "Flat"                  },
        {PageResult, ResultListId,       "Результаты",             nullptr                 },
        {PageResult, StatusTextId,       "Состояние",              nullptr                 },
        {PageResult, ProgressBarId,      "Progress",               nullptr                 },
        {PageSetup,  LanguageSelectorId, nullptr,                  "Language:"             },
        {PageSetup,  FoundListId,        "Install new databases:", nullptr                 },
    };
    for (const Case& test : cases) {
        WindowRecord* control = Control(test.page, test.id);
        ASSERT_TRUE(control && control->widget) << test.id;
        if (test.name) {
            EXPECT_EQ(AccessibleName(control), test.name) << test.id;
        }
        EXPECT_EQ(LabelledBy(control), test.label ? test.label : "(none)") << test.id;
    }
}

TEST_F(DesktopWindow, ACellWhoseTextIsCutShowsItWholeInATooltip) {
    std::string device = MakeDevice(ShippedLanguageFile());
    std::string longName(120, 'W');
    WriteHostFile(device + "/city.db", DatabaseBytes({
                                           {1111111, longName, "LENINA", "1", "2"},
                                           {2222222, "ZUEV", "MIRA", "3", ""},
    }));
    WriteHostFile(device + "/Program Files/Dialdex/dialdex.ini", "\\city.db;CITY\r\n");
    Start(device, 1);
    Act("type SearchWnd/1101 *\nclick SearchWnd/1107\nwait");
    ListView* list = ListViewOf(FindWindowRecord(ResultList));
    ASSERT_NE(list, nullptr);
    QApplication::processEvents();
    struct Case {
        int row, column;
        bool tip;
    };
    const Case cases[] = {
        {0, 1, true }, // the long name
        {1, 1, false}, // "ZUEV"
        {0, 0, false}, // the phone
        {0, 2, false}, // the street
    };
    for (const Case& test : cases) {
        QModelIndex index = list->face->model()->index(test.row, test.column);
        QRect cell = list->face->visualRect(index);
        ASSERT_TRUE(cell.isValid()) << test.row;
        QHelpEvent event(QEvent::ToolTip, cell.center(), list->face->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(list->face->viewport(), &event);
        // (A tooltip hidden before fades out: only one showing this cell's text counts.)
        bool shown = QToolTip::isVisible() && QToolTip::text() == index.data().toString();
        EXPECT_EQ(shown, test.tip) << test.row << "/" << test.column;
        QToolTip::hideText();
    }
}

} // namespace
