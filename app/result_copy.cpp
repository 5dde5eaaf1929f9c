// Copy and Copy all: the result rows as tab-separated text on the clipboard, refused with a box when the
// text would pass the memory budget (a million rows make some 60 MB of text, held several times over).
#include "app/identifiers.h"
#include "app/messages.h"
#include "app/pages.h"
#include "app/result_text.h"
#include "platform/memory_budget.h"
#include "platform/text.h"

#include <string>
#include <vector>

namespace {

// The text is held as UTF-8 pieces, then as wide text while the pieces go, then the clipboard's copy,
// and the clipboard hands it to other programs in UTF-8: about five times its UTF-8 bytes at the peak.
constexpr uint64_t CopyPeakPerByte = 5;

struct CopyRun {
    std::vector<std::string> pieces;
    uint64_t bytes = 0;
    uint64_t budget = 0;
    int rowsInAll = 0;
};

bool KeepPiece(const std::string& bytes, int, int rowsInAll, void* context) {
    CopyRun& run = *static_cast<CopyRun*>(context);
    run.rowsInAll = rowsInAll;
    run.bytes += bytes.size();
    if (run.bytes * CopyPeakPerByte > run.budget) return false;
    run.pieces.push_back(bytes);
    return true;
}

} // namespace

int CopyResultRows(Window owner, bool allRows) {
    CopyRun run;
    run.budget = CurrentMemoryBudget();
    if (WriteResultRows(allRows, RowTextForm::TabSeparated, KeepPiece, &run) != 0) {
        run.pieces.clear();
        run.pieces.shrink_to_fit();
        ShowMessage(owner, TextError, MessageText(TextCopyNoMemory), {run.rowsInAll});
        return 1;
    }
    std::u16string text;
    text.reserve(size_t(run.bytes));
    for (std::string& piece : run.pieces) {
        text += WideFromUtf8(piece);
        std::string().swap(piece);
    }
    SetClipboardText(text.c_str());
    return 0;
}
