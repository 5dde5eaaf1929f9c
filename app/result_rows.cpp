// The result list's rows as text for the clipboard and the export file.
#include "app/result_rows.h"

#include "app/identifiers.h"
#include "app/pages.h"
#include "app/program.h"
#include "search/result_page.h"

namespace {

constexpr int CellCapacity = 256;

void AppendCell(std::u16string& text, const char16_t* cell, RowTextForm form) {
    std::u16string_view view(cell);
    if (form == RowTextForm::TabSeparated) {
        for (char16_t unit : view)
            text += unit == u'\t' || unit == u'\r' || unit == u'\n' ? u' ' : unit;
        return;
    }
    if (view.find_first_of(u"\",\r\n") == std::u16string_view::npos) {
        text += view;
        return;
    }
    text += u'"';
    for (char16_t unit : view) {
        if (unit == u'"') text += u'"';
        text += unit;
    }
    text += u'"';
}

void AppendLine(std::u16string& text, const char16_t (&cells)[ResultFieldCount][CellCapacity],
                RowTextForm form) {
    for (int column = 0; column < ResultFieldCount; column++) {
        if (column > 0) text += form == RowTextForm::Csv ? u',' : u'\t';
        AppendCell(text, cells[column], form);
    }
    text += form == RowTextForm::Csv ? u"\r\n" : u"\n";
}

void ReadRow(int row, char16_t (&cells)[ResultFieldCount][CellCapacity]) {
    for (int column = 0; column < ResultFieldCount; column++) {
        ListViewItem item{};
        item.mask = ListViewItemText;
        item.item = row;
        item.subItem = column;
        item.text = cells[column];
        item.textMax = CellCapacity;
        cells[column][0] = 0;
        SendMessage(ResultList, ListViewGetItem, 0, reinterpret_cast<SecondParameter>(&item));
    }
}

} // namespace

std::u16string ResultRowsText(bool allRows, RowTextForm form, void (*progress)(int done, int total)) {
    char16_t cells[ResultFieldCount][CellCapacity];
    // The columns are headed by the Search page's criteria labels.
    for (int column = 0; column < ResultFieldCount; column++)
        GetWindowText(GetDlgItem(PageWindows[PageSearch], PhoneLabelId + column), cells[column],
                      CellCapacity);
    std::u16string text;
    AppendLine(text, cells, form);
    int first = 0;
    int count = static_cast<int>(SendMessage(ResultList, ListViewGetItemCount, 0, 0));
    if (!allRows) {
        first = static_cast<int>(SendMessage(ResultList, ListViewGetNextItem, static_cast<FirstParameter>(-1),
                                             static_cast<SecondParameter>(ListViewNextFocused)));
        if (first < 0) return text;
        count = first + 1;
    }
    text.reserve(text.size() + size_t(count - first) * 64);
    for (int row = first; row < count; row++) {
        if (progress && (row - first) % 65536 == 0) progress(row - first, count - first);
        ReadRow(row, cells);
        AppendLine(text, cells, form);
    }
    if (progress) progress(count - first, count - first);
    return text;
}
