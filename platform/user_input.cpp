// The user's input as the script driver gives it: clicks, keys, choices, tabs, and the result list's
// rows and headings, each through the control's Qt face as a person's input would arrive.
#include "platform/user_input.h"

#include "platform/device.h"
#include "platform/list_view.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>

namespace {

QLineEdit* EditFace(WindowRecord* record) {
    if (record->windowClass->kind != ControlKind::Edit || !record->enabled) return nullptr;
    return dynamic_cast<QLineEdit*>(record->widget);
}

// The list view, caught up with the rows the worker added, so that a row index means what a person sees.
ListView* ShownListView(WindowRecord* record) {
    ListView* list = ListViewOf(record);
    if (list) CatchUpWithNewRows(*list);
    return list;
}

} // namespace

bool UserClick(WindowRecord* record) {
    auto* button = dynamic_cast<QPushButton*>(record->widget);
    if (!button || !record->enabled) return false;
    button->click();
    return true;
}

bool UserType(WindowRecord* record, const std::u16string& text) {
    QLineEdit* edit = EditFace(record);
    if (!edit) return false;
    edit->setFocus();
    // One key event per character, carrying its text, as a keyboard (or the input panel) gives them.
    for (char16_t character : text) {
        QString characterText = QString(QChar(character));
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, characterText);
        QApplication::sendEvent(edit, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, characterText);
        QApplication::sendEvent(edit, &release);
    }
    return true;
}

bool UserClear(WindowRecord* record) {
    QLineEdit* edit = EditFace(record);
    if (!edit) return false;
    edit->setFocus();
    edit->selectAll();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(edit, &press);
    return true;
}

bool UserChoose(WindowRecord* record, int index) {
    if (!record->enabled) return false;
    if (record->windowClass->kind == ControlKind::ComboBox) {
        auto* combo = static_cast<QComboBox*>(record->widget);
        if (!combo || index < 0 || index >= combo->count()) return false;
        combo->setCurrentIndex(index);
        emit combo->activated(index);
        return true;
    }
    if (record->windowClass->kind == ControlKind::ListBox) {
        auto* list = static_cast<QListWidget*>(record->widget);
        if (!list || index < 0 || index >= list->count()) return false;
        list->setCurrentRow(index);
        list->item(index)->setSelected(true);
        return true;
    }
    return false;
}

bool UserChooseTab(WindowRecord* record, int index) {
    QTabBar* bar = record->widget ? record->widget->findChild<QTabBar*>() : nullptr;
    if (record->windowClass->kind != ControlKind::Tab || !bar || index < 0 || index >= bar->count())
        return false;
    // Clicking the tab already chosen changes nothing and raises no notification.
    if (bar->currentIndex() != index) bar->setCurrentIndex(index);
    return true;
}

bool UserActivateRow(WindowRecord* record, int row) {
    ListView* list = ShownListView(record);
    if (!list || row < 0 || row >= list->shownRows) return false;
    QModelIndex index = list->model->index(row, 0);
    list->face->setCurrentIndex(index);
    emit list->face->activated(index);
    return true;
}

bool UserClickHeader(WindowRecord* record, int column) {
    ListView* list = ListViewOf(record);
    if (!list || column < 0 || column >= int(list->columns.size())) return false;
    emit list->face->header()->sectionClicked(column);
    return true;
}

bool UserResizeColumn(WindowRecord* record, int column, int width) {
    ListView* list = ListViewOf(record);
    if (!list || column < 0 || column >= int(list->columns.size()) || width < 0) return false;
    list->columns[size_t(column)].width = width;
    PlaceColumns(*list);
    return true;
}

bool UserDropFile(WindowRecord* record, const std::string& hostPath) {
    if (!record || record->parent || hostPath.empty()) return false;
    std::u16string devicePath = OpenHostFile(hostPath);
    SendMessage(HandleOf(record), MessageDropFiles, 0, reinterpret_cast<SecondParameter>(devicePath.c_str()));
    return true;
}

bool UserPressKeys(WindowRecord* record, const std::string& keys) {
    QKeySequence sequence(QString::fromStdString(keys), QKeySequence::PortableText);
    if (!record->widget || sequence.isEmpty()) return false;
    for (int index = 0; index < sequence.count(); index++) {
        QKeyCombination combination = sequence[index];
        if (combination.key() == Qt::Key_unknown) return false;
        QString text = combination.keyboardModifiers() & ~Qt::ShiftModifier
                           ? QString()
                           : QKeySequence(combination.key()).toString().left(1);
        if (combination.key() == Qt::Key_Return || combination.key() == Qt::Key_Enter)
            text = QStringLiteral("\r");
        if (combination.key() == Qt::Key_Escape) text = QString(QChar(0x1B));
        QKeyEvent press(QEvent::KeyPress, combination.key(), combination.keyboardModifiers(), text);
        QApplication::sendEvent(record->widget, &press);
        QKeyEvent release(QEvent::KeyRelease, combination.key(), combination.keyboardModifiers(), text);
        QApplication::sendEvent(record->widget, &release);
    }
    return true;
}
