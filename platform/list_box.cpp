// The list box ("Listbox"): lines, a selection and how far the lines may scroll sideways. With the
// notify style, the user's selection and double click are told to the parent.
#include "platform/controls.h"

#include <QListWidget>

namespace {

class ListBoxFace : public QListWidget {
  public:
    ListBoxFace(WindowRecord* record, QWidget* parent) : QListWidget(parent) {
        setFrameStyle((record->style & StyleBorder) ? (QFrame::Box | QFrame::Plain) : QFrame::NoFrame);
        setHorizontalScrollBarPolicy((record->style & StyleHorizontalScroll) ? Qt::ScrollBarAsNeeded
                                                                             : Qt::ScrollBarAlwaysOff);
        connect(this, &QListWidget::currentRowChanged, [record](int) {
            if (record->style & ListBoxNotify) NotifyParentCommand(record, ListBoxSelectionChange);
        });
        connect(this, &QListWidget::itemDoubleClicked, [record](QListWidgetItem*) {
            if (record->style & ListBoxNotify) NotifyParentCommand(record, ListBoxDoubleClick);
        });
    }
    int horizontalExtent = 0; // pixels the lines may scroll sideways
};

QWidget* CreateListBoxFace(WindowRecord* record, QWidget* parentWidget) {
    return new ListBoxFace(record, parentWidget);
}

// Codes: a line's index, a count, an extent, 0, or ListError for an index out of range or no selection.
bool ListBoxMessage(WindowRecord* record, uint32_t message, FirstParameter first, SecondParameter second,
                    MessageResult* result) {
    auto* list = static_cast<ListBoxFace*>(record->widget);
    switch (message) {
    case ListBoxAddString:
        list->addItem(ToQString(reinterpret_cast<const char16_t*>(second)));
        *result = list->count() - 1;
        return true;
    case ListBoxResetContent: {
        const QSignalBlocker blocker(list);
        list->clear();
        *result = 0;
        return true;
    }
    case ListBoxSetCurrentSelection: {
        int index = static_cast<int>(static_cast<intptr_t>(first));
        const QSignalBlocker blocker(list);
        if (index < 0 || index >= list->count()) {
            list->setCurrentRow(-1);
            list->clearSelection();
            *result = index == -1 ? 0 : ListError;
        } else {
            list->setCurrentRow(index);
            *result = index;
        }
        return true;
    }
    case ListBoxGetCurrentSelection: {
        QList<QListWidgetItem*> selected = list->selectedItems();
        *result = selected.isEmpty() ? ListError : list->row(selected.first());
        return true;
    }
    case ListBoxGetCount:
        *result = list->count();
        return true;
    case ListBoxSetHorizontalExtent:
        list->horizontalExtent = static_cast<int>(first);
        *result = 0;
        return true;
    case ListBoxGetHorizontalExtent:
        *result = list->horizontalExtent;
        return true;
    default:
        return false;
    }
}

} // namespace

const ControlFunctions ListBoxFunctions = {CreateListBoxFace, ListBoxMessage, nullptr};

int ListBoxHorizontalExtent(WindowRecord* record) {
    auto* list = dynamic_cast<ListBoxFace*>(record->widget);
    return list ? list->horizontalExtent : 0;
}
