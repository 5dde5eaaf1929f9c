// The combo box ("combobox"): items and a current selection. The user's choice is told to the parent;
// the program's own changes are not.
#include "platform/controls.h"
#include "platform/text.h"

#include <QComboBox>

namespace {

class ComboBoxFace : public QComboBox {
  public:
    ComboBoxFace(WindowRecord* record, QWidget* parent) : QComboBox(parent) {
        setMaxVisibleItems(12);
        connect(this, QOverload<int>::of(&QComboBox::activated),
                [record](int) { NotifyParentCommand(record, ComboBoxSelectionChange); });
    }
};

QWidget* CreateComboBoxFace(WindowRecord* record, QWidget* parentWidget) {
    return new ComboBoxFace(record, parentWidget);
}

// Codes: an item's index, a count, 0, or ListError for an index out of range or no selection.
bool ComboBoxMessage(WindowRecord* record, uint32_t message, FirstParameter first, SecondParameter second,
                     MessageResult* result) {
    auto* combo = static_cast<ComboBoxFace*>(record->widget);
    switch (message) {
    case ComboBoxAddString: {
        // The platform's combo box gains items without gaining a selection.
        const QSignalBlocker blocker(combo);
        int selected = combo->currentIndex();
        combo->addItem(ToQString(reinterpret_cast<const char16_t*>(second)));
        combo->setCurrentIndex(selected);
        *result = combo->count() - 1;
        return true;
    }
    case ComboBoxGetCount:
        *result = combo->count();
        return true;
    case ComboBoxGetCurrentSelection:
        *result = combo->currentIndex() < 0 ? ListError : combo->currentIndex();
        return true;
    case ComboBoxGetItemText: {
        int index = static_cast<int>(first);
        if (index < 0 || index >= combo->count()) {
            *result = ListError;
            return true;
        }
        // The caller's buffer has room for the item's text (as on the platform); stay within 260.
        std::u16string text = combo->itemText(index).toStdU16String();
        *result = CopyText(reinterpret_cast<char16_t*>(second), 260, text.c_str());
        return true;
    }
    case ComboBoxResetContent: {
        const QSignalBlocker blocker(combo);
        combo->clear();
        *result = 0;
        return true;
    }
    case ComboBoxSetCurrentSelection: {
        int index = static_cast<int>(static_cast<intptr_t>(first));
        const QSignalBlocker blocker(combo);
        if (index < 0 || index >= combo->count()) {
            combo->setCurrentIndex(-1);
            *result = ListError;
        } else {
            combo->setCurrentIndex(index);
            *result = index;
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace

const ControlFunctions ComboBoxFunctions = {CreateComboBoxFace, ComboBoxMessage, nullptr};
