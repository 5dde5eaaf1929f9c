// The result list's rows as text for the clipboard and the export file.
#include "app/result_text.h"

#include "app/identifiers.h"
#include "app/pages.h"
#include "app/program.h"
#include "search/result_page.h"

namespace {

constexpr int CellCapacity = 256;
constexpr size_t PieceSize = 1 << 20;

void AppendUtf8(std::string& bytes, char32_t code) {
    if (code < 0x80) {
        bytes += char(code);
    } else if (code < 0x800) {
        bytes += char(0xC0 | (code >> 6));
        bytes += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        bytes += char(0xE0 | (code >> 12));
        bytes += char(0x80 | ((code >> 6) & 0x3F));
        bytes += char(0x80 | (code & 0x3F));
    } else {
        bytes += char(0xF0 | (code >> 18));
        bytes += char(0x80 | ((code >> 12) & 0x3F));
        bytes += char(0x80 | ((code >> 6) & 0x3F));
        bytes += char(0x80 | (code & 0x3F));
    }
}

// The cell's characters as UTF-8; a tab or line break becomes a blank in tab-separated text, and a lone
// surrogate the replacement character.
void AppendCharacters(std::string& bytes, const char16_t* cell, bool blankSeparators) {
    for (const char16_t* at = cell; *at; at++) {
        char32_t code = *at;
        if (code >= 0xD800 && code < 0xDC00 && at[1] >= 0xDC00 && at[1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (at[1] - 0xDC00);
            at++;
        } else if (code >= 0xD800 && code < 0xE000) {
            code = 0xFFFD;
        }
        if (blankSeparators && (code == u'\t' || code == u'\r' || code == u'\n')) code = u' ';
        AppendUtf8(bytes, code);
    }
}

void AppendCell(std::string& bytes, const char16_t* cell, RowTextForm form) {
    if (form == RowTextForm::TabSeparated) {
        AppendCharacters(bytes, cell, true);
        return;
    }
    if (std::u16string_view(cell).find_first_of(u"\",\r\n") == std::u16string_view::npos) {
        AppendCharacters(bytes, cell, false);
        return;
    }
    bytes += '"';
    for (const char16_t* at = cell; *at; at++) {
        if (*at == u'"') bytes += '"';
        char16_t one[3] = {*at, 0, 0};
        if (*at >= 0xD800 && *at < 0xDC00 && at[1]) one[1] = *++at;
        AppendCharacters(bytes, one, false);
    }
    bytes += '"';
}

void AppendLine(std::string& bytes, const char16_t (&cells)[ResultFieldCount][CellCapacity],
                RowTextForm form) {
    for (int column = 0; column < ResultFieldCount; column++) {
        if (column > 0) bytes += form == RowTextForm::Csv ? ',' : '\t';
        AppendCell(bytes, cells[column], form);
    }
    bytes += form == RowTextForm::Csv ? "\r\n" : "\n";
}

// The row's cells through the list's "get item text".
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

int WriteResultRows(bool allRows, RowTextForm form, TakeRowText take, void* context) {
    char16_t cells[ResultFieldCount][CellCapacity];
    // The columns are headed by the Search page's criteria labels.
    for (int column = 0; column < ResultFieldCount; column++)
        GetWindowText(GetDlgItem(PageWindows[PageSearch], PhoneLabelId + column), cells[column],
                      CellCapacity);
    std::string piece;
    piece.reserve(PieceSize + 4096);
    AppendLine(piece, cells, form);
    int first = 0;
    int end = static_cast<int>(SendMessage(ResultList, ListViewGetItemCount, 0, 0));
    if (!allRows) {
        first = static_cast<int>(SendMessage(ResultList, ListViewGetNextItem, static_cast<FirstParameter>(-1),
                                             static_cast<SecondParameter>(ListViewNextFocused)));
        end = first + 1;
        if (first < 0) first = end = 0;
    }
    for (int row = first; row < end; row++) {
        ReadRow(row, cells);
        AppendLine(piece, cells, form);
        if (piece.size() >= PieceSize) {
            if (!take(piece, row + 1 - first, end - first, context)) return -1;
            piece.clear();
        }
    }
    return take(piece, end - first, end - first, context) ? 0 : -1;
}
