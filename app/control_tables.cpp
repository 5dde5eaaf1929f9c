// The control tables: one row per control, in creation order; rectangles portrait, then landscape.
#include "app/page_framework.h"

// clang-format off
const ControlDescription SearchControls[SearchControlCount] = {
    // class               id    caption                 portrait              landscape             style
    {u"static",            -1,   u"Dialdex v.2.0 beta", {{0, 7, 240, 14},    {0, 3, 640, 14}},     0x00000001},
    {u"combobox",          1100, u"",                   {{65, 30, 170, 80},  {65, 30, 170, 80}},   0x00A00000},
    {u"edit",              1101, u"",                   {{65, 52, 70, 20},   {65, 52, 70, 20}},    0x00800088},
    {u"edit",              1102, u"",                   {{65, 74, 142, 20},  {65, 74, 142, 20}},   0x00800088},
    {u"edit",              1103, u"",                   {{65, 96, 142, 20},  {65, 96, 142, 20}},   0x00800088},
    {u"edit",              1104, u"",                   {{65, 118, 70, 20},  {65, 118, 70, 20}},   0x00800088},
    {u"edit",              1105, u"",                   {{65, 140, 70, 20},  {65, 140, 70, 20}},   0x00800088},
    {u"static",            1109, u"DB",                 {{5, 33, 59, 14},    {5, 33, 59, 14}},     0x00000000},
    {u"static",            1110, u"Phone",              {{5, 56, 59, 14},    {5, 56, 59, 14}},     0x00000000},
    {u"static",            1111, u"Name",               {{5, 78, 59, 14},    {5, 78, 59, 14}},     0x00000000},
    {u"static",            1112, u"Street",             {{5, 100, 59, 14},   {5, 100, 59, 14}},    0x00000000},
    {u"static",            1113, u"House",              {{5, 122, 59, 14},   {5, 122, 59, 14}},    0x00000000},
    {u"static",            1114, u"Flat",               {{5, 144, 59, 14},   {5, 144, 59, 14}},    0x00000000},
    {u"BUTTON",            1107, u"Start",              {{65, 163, 70, 20},  {65, 163, 70, 20}},   0x00004000},
    {u"BUTTON",            1106, u"Reset",              {{65, 186, 70, 20},  {140, 163, 70, 20}},  0x00004000},
    {u"SIPPREF",           -1,   u"",                   {{-10, -10, 5, 5},   {-10, -10, 5, 5}},    0x40000000},
};

const ControlDescription ResultControls[ResultControlCount] = {
    {u"static",            1204, u"Searching Results:", {{0, 7, 240, 14},    {0, 3, 640, 14}},     0x10000001},
    {u"static",            1205, u"Query details:",     {{5, 33, 225, 26},   {5, 18, 630, 14}},    0x10000000},
    {u"SysListView32",     1201, u"",                   {{5, 64, 225, 160},  {5, 36, 630, 130}},   0x10B00001},
    {u"static",            1202, u"",                   {{5, 225, 84, 14},   {5, 170, 84, 14}},    0x10000000},
    {u"msctls_progress32", 1203, u"Progress1",          {{100, 226, 130, 12}, {100, 171, 130, 12}}, 0x00800000},
};

const ControlDescription SetupControls[SetupControlCount] = {
    {u"static",            1306, u"Dialdex Options:",   {{0, 7, 240, 14},    {0, 3, 640, 14}},     0x00000001},
    {u"static",            -1,   u"Language:",          {{5, 33, 65, 24},    {5, 18, 65, 24}},     0x00000000},
    {u"combobox",          1308, u"",                   {{70, 30, 80, 70},   {70, 16, 80, 70}},    0x00A00000},
    {u"BUTTON",            1309, u"Save",               {{155, 30, 74, 20},  {155, 16, 74, 20}},   0x00004000},
    {u"static",            1307, u"Install new databases:", {{5, 60, 225, 22}, {5, 40, 225, 22}},  0x00000000},
    {u"BUTTON",            1303, u"Find DB",            {{5, 207, 74, 20},   {5, 163, 74, 20}},    0x00004000},
    {u"BUTTON",            1304, u"Install",            {{81, 207, 74, 20},  {81, 163, 74, 20}},   0x00004000},
    {u"BUTTON",            1305, u"Check",              {{157, 207, 74, 20}, {157, 163, 74, 20}},  0x00004000},
    {u"Listbox",           1302, u"",                   {{5, 85, 225, 120},  {5, 63, 630, 97}},    0x00B00001},
};

const ControlDescription AboutControls[AboutControlCount] = {
    {u"static",            1402, u"Dialdex v.2.0 b1026\r\n"
                                 u"2003, Kestrel Software\r\n"
                                 u"\r\n"
                                 u"Comments and questions are welcome on the Kestrel forum.\r\n"
                                 u"\r\n"
                                 u"Public preview\r\n"
                                 u"October, 2003",      {{55, 20, 160, 180}, {55, 20, 250, 180}},  0x00000000},
    {u"static",            1401, u"DIALICON",           {{10, 20, 32, 32},   {10, 20, 32, 32}},    0x00000003},
};
// clang-format on
