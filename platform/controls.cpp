// The built-in controls other than the list view: their Qt faces, their default processing of the
// platform's control messages, the notifications they send, and the user input the script driver gives.
#include "platform/window_system.h"

#include "platform/program_icon.h"
#include "platform/text.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QJsonArray>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>

namespace {

QString ToQString(const char16_t* text) {
    return text ? QString::fromUtf16(text) : QString();
}
QString ToQString(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

// Copies a Qt string into a caller's buffer of capacity characters; returns the characters copied.
int CopyOut(const QString& text, char16_t* buffer, int capacity) {
    std::u16string wide = text.toStdU16String();
    return CopyText(buffer, capacity, wide.c_str());
}

// Buttons and tabs take "&" as the mark of a shortcut key; doubled, it shows as itself. The program's
// captions are shown as they stand.
QString WithLiteralAmpersands(QString text) {
    return text.replace(u'&', QStringLiteral("&&"));
}
QString WithoutLiteralAmpersands(QString text) {
    return text.replace(QStringLiteral("&&"), QStringLiteral("&"));
}

// The program's icon, drawn rather than loaded.
QPixmap ProgramIcon() {
    QPixmap pixmap(ProgramIconGrid, ProgramIconGrid);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    DrawProgramIcon(painter, ProgramIconGrid);
    return pixmap;
}

class StaticControl : public QLabel {
  public:
    StaticControl(WindowRecord* record, QWidget* parent) : QLabel(parent), record_(record) {
        uint32_t type = record->style & 0x3;
        if (type == StaticIcon) {
            setPixmap(ProgramIcon());
        } else {
            // A caption is text as it stands, never markup (a language text "<h1>" or "&amp;").
            setTextFormat(Qt::PlainText);
            setAlignment((type == StaticCentre ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
            setWordWrap(true);
        }
        if (record->style & StyleBorder) setFrameStyle(QFrame::Box | QFrame::Plain);
    }
    void paintEvent(QPaintEvent* event) override {
        // Ask the parent for the brush, as the platform's static controls do before they paint.
        if (record_->parent && !record_->destroyed) {
            Brush brush =
                static_cast<Brush>(SendMessage(record_->parent, MessageStaticColour, 0,
                                               reinterpret_cast<SecondParameter>(HandleOf(record_))));
            if (brush) {
                QPainter painter(this);
                painter.fillRect(rect(),
                                 brush == StockWhiteBrush ? QColor(Qt::white) : QColor(0xEC, 0xEC, 0xEC));
            }
        }
        QLabel::paintEvent(event);
    }

  private:
    WindowRecord* record_;
};

constexpr int EditMaximumLength = 32767; // what a line edit holds without a limit

class EditControl : public QLineEdit {
  public:
    EditControl(WindowRecord* record, QWidget* parent) : QLineEdit(parent), record_(record) {
        setFrame((record->style & StyleBorder) != 0);
        connect(this, &QLineEdit::textChanged, [this](const QString& text) {
            if (settingText_) return;
            record_->text = text.toStdU16String();
            NotifyParentCommand(record_, EditChange);
        });
    }
    void SetTextQuietly(const QString& text) {
        settingText_ = true;
        setText(text);
        settingText_ = false;
        NotifyParentCommand(record_, EditChange);
    }
    void keyPressEvent(QKeyEvent* event) override {
        // Typed letters become upper case as they are typed, keeping the edit's undo.
        if ((record_->style & EditUpperCase) && !event->text().isEmpty() && event->text().at(0).isPrint()) {
            QString upper = QString::fromStdU16String(UpperCaseWide(event->text().toStdU16String()));
            QKeyEvent converted(event->type(), event->key(), event->modifiers(), upper, event->isAutoRepeat(),
                                static_cast<ushort>(event->count()));
            QLineEdit::keyPressEvent(&converted);
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

  private:
    WindowRecord* record_;
    bool settingText_ = false;
};

class ButtonControl : public QPushButton {
  public:
    ButtonControl(WindowRecord* record, QWidget* parent) : QPushButton(parent), record_(record) {
        connect(this, &QPushButton::clicked, [this] { NotifyParentCommand(record_, ButtonClicked); });
    }
    void focusInEvent(QFocusEvent* event) override {
        QPushButton::focusInEvent(event);
        if (record_->style & ButtonNotify) NotifyParentCommand(record_, ButtonSetFocus);
    }
    void focusOutEvent(QFocusEvent* event) override {
        QPushButton::focusOutEvent(event);
        if (record_->style & ButtonNotify) NotifyParentCommand(record_, ButtonKillFocus);
    }

  private:
    WindowRecord* record_;
};

class ComboBoxControl : public QComboBox {
  public:
    ComboBoxControl(WindowRecord* record, QWidget* parent) : QComboBox(parent), record_(record) {
        setMaxVisibleItems(12);
        connect(this, QOverload<int>::of(&QComboBox::activated),
                [this](int) { NotifyParentCommand(record_, ComboBoxSelectionChange); });
    }

  private:
    WindowRecord* record_;
};

class ListBoxControl : public QListWidget {
  public:
    ListBoxControl(WindowRecord* record, QWidget* parent) : QListWidget(parent), record_(record) {
        setFrameStyle((record->style & StyleBorder) ? (QFrame::Box | QFrame::Plain) : QFrame::NoFrame);
        setHorizontalScrollBarPolicy((record->style & StyleHorizontalScroll) ? Qt::ScrollBarAsNeeded
                                                                             : Qt::ScrollBarAlwaysOff);
        connect(this, &QListWidget::currentRowChanged, [this](int) {
            if (record_->style & ListBoxNotify) NotifyParentCommand(record_, ListBoxSelectionChange);
        });
        connect(this, &QListWidget::itemDoubleClicked, [this](QListWidgetItem*) {
            if (record_->style & ListBoxNotify) NotifyParentCommand(record_, ListBoxDoubleClick);
        });
    }
    int horizontalExtent = 0; // pixels the lines may scroll sideways

  private:
    WindowRecord* record_;
};

// The tab control is a panel with a row of tabs on top; its children (the pages) lie on the panel.
class TabControl : public QWidget {
  public:
    TabControl(WindowRecord* record, QWidget* parent) : QWidget(parent), record_(record) {
        bar = new QTabBar(this);
        bar->setUsesScrollButtons(false);
        bar->setExpanding(false);
        bar->setDrawBase(false);
        bar->setStyleSheet("QTabBar::tab { padding: 2px 5px; margin: 0px; min-width: 0px; height: 20px; }");
        bar->move(0, 0);
        connect(bar, &QTabBar::currentChanged, [this](int) {
            NotifyHeader header{};
            NotifyParent(record_, &header, TabSelectionChanging);
            NotifyParent(record_, &header, TabSelectionChanged);
        });
    }
    void resizeEvent(QResizeEvent*) override { bar->resize(width(), 24); }
    QTabBar* bar;

  private:
    WindowRecord* record_;
};

template <typename Control> Control* Face(WindowRecord* record) {
    return dynamic_cast<Control*>(record->widget);
}

bool ComboBoxMessage(ComboBoxControl* combo, uint32_t message, FirstParameter first, SecondParameter second,
                     MessageResult* result) {
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
        *result = CopyOut(combo->itemText(index), reinterpret_cast<char16_t*>(second), 260);
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

bool EditMessage(EditControl* edit, uint32_t message, FirstParameter first, SecondParameter,
                 MessageResult* result) {
    if (message != EditLimitText) return false;
    int limit = static_cast<int>(first);
    edit->setMaxLength(limit <= 0 ? EditMaximumLength : limit);
    *result = 0;
    return true;
}

bool ListBoxMessage(ListBoxControl* list, uint32_t message, FirstParameter first, SecondParameter second,
                    MessageResult* result) {
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

bool ProgressMessage(QProgressBar* bar, uint32_t message, FirstParameter first, SecondParameter second,
                     MessageResult* result) {
    switch (message) {
    case ProgressSetRange32: {
        int low = static_cast<int>(static_cast<intptr_t>(first));
        int high = static_cast<int>(second);
        *result =
            MakeFirstParameter(static_cast<uint16_t>(bar->minimum()), static_cast<uint16_t>(bar->maximum()));
        bar->setRange(low, high < low ? low : high);
        return true;
    }
    case ProgressSetPosition:
        *result = bar->value() < bar->minimum() ? bar->minimum() : bar->value();
        // The platform keeps the position inside the range.
        bar->setValue(
            std::clamp(static_cast<int>(static_cast<intptr_t>(first)), bar->minimum(), bar->maximum()));
        return true;
    case ProgressGetPosition:
        *result = bar->value() < bar->minimum() ? bar->minimum() : bar->value();
        return true;
    case ProgressGetRange:
        *result = first ? bar->minimum() : bar->maximum();
        return true;
    default:
        return false;
    }
}

bool TabMessage(TabControl* tab, uint32_t message, FirstParameter first, SecondParameter second,
                MessageResult* result) {
    QTabBar* bar = tab->bar;
    switch (message) {
    case TabInsertItem: {
        const TabItem* item = reinterpret_cast<const TabItem*>(second);
        int index = static_cast<int>(first);
        if (!item || index < 0) {
            *result = -1;
            return true;
        }
        const QSignalBlocker blocker(bar);
        *result = bar->insertTab(
            index, (item->mask & TabItemText) ? WithLiteralAmpersands(ToQString(item->text)) : QString());
        bar->adjustSize();
        bar->resize(tab->width(), 24);
        return true;
    }
    case TabGetItemCount:
        *result = bar->count();
        return true;
    case TabGetCurrentSelection:
        *result = bar->currentIndex();
        return true;
    case TabSetCurrentSelection: {
        int index = static_cast<int>(first);
        *result = bar->currentIndex();
        if (index < 0 || index >= bar->count()) {
            *result = -1;
            return true;
        }
        // A selection set by the program raises no notification.
        const QSignalBlocker blocker(bar);
        bar->setCurrentIndex(index);
        return true;
    }
    default:
        return false;
    }
}

} // namespace

QWidget* CreateControlWidget(WindowRecord* record, QWidget* parentWidget) {
    QWidget* widget = nullptr;
    switch (record->windowClass->kind) {
    case ControlKind::Static:
        widget = new StaticControl(record, parentWidget);
        break;
    case ControlKind::Edit:
        widget = new EditControl(record, parentWidget);
        break;
    case ControlKind::Button:
        widget = new ButtonControl(record, parentWidget);
        break;
    case ControlKind::ComboBox:
        widget = new ComboBoxControl(record, parentWidget);
        break;
    case ControlKind::ListBox:
        widget = new ListBoxControl(record, parentWidget);
        break;
    case ControlKind::ListView:
        return CreateListViewWidget(record, parentWidget);
    case ControlKind::Progress: {
        auto* bar = new QProgressBar(parentWidget);
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
        widget = bar;
        break;
    }
    case ControlKind::Tab:
        widget = new TabControl(record, parentWidget);
        break;
    case ControlKind::InputPanel:
        // The input-panel preference has no counterpart here: a face that shows nothing.
        widget = new QWidget(parentWidget);
        break;
    case ControlKind::Registered:
        return nullptr;
    }
    record->widget = widget;
    ApplyControlText(record);
    return widget;
}

void ApplyControlText(WindowRecord* record) {
    QString text = ToQString(record->text);
    switch (record->windowClass->kind) {
    case ControlKind::Static:
        if ((record->style & 0x3) != StaticIcon) Face<QLabel>(record)->setText(text);
        break;
    case ControlKind::Edit: {
        auto* edit = Face<EditControl>(record);
        if (edit->text() != text) edit->SetTextQuietly(text);
        // A text longer than the edit's limit is cut to it; the window text is what the edit holds.
        if (edit->text() != text) record->text = edit->text().toStdU16String();
        break;
    }
    case ControlKind::Button:
        Face<QPushButton>(record)->setText(WithLiteralAmpersands(text));
        break;
    default:
        break;
    }
}

bool ControlDefaultProcessing(WindowRecord* record, uint32_t message, FirstParameter first,
                              SecondParameter second, MessageResult* result) {
    if (!record->widget) return false;
    switch (record->windowClass->kind) {
    case ControlKind::Edit:
        return EditMessage(Face<EditControl>(record), message, first, second, result);
    case ControlKind::ComboBox:
        return ComboBoxMessage(Face<ComboBoxControl>(record), message, first, second, result);
    case ControlKind::ListBox:
        return ListBoxMessage(Face<ListBoxControl>(record), message, first, second, result);
    case ControlKind::Progress:
        return ProgressMessage(Face<QProgressBar>(record), message, first, second, result);
    case ControlKind::Tab:
        return TabMessage(Face<TabControl>(record), message, first, second, result);
    case ControlKind::ListView:
        return ListViewDefaultProcessing(record, message, first, second, result);
    default:
        return false;
    }
}

void DescribeControl(WindowRecord* record, QJsonObject& object) {
    if (!record->widget) return;
    switch (record->windowClass->kind) {
    case ControlKind::ComboBox: {
        auto* combo = Face<ComboBoxControl>(record);
        QJsonArray items;
        for (int i = 0; i < combo->count(); i++)
            items.append(combo->itemText(i));
        object["items"] = items;
        object["selected"] = combo->currentIndex();
        break;
    }
    case ControlKind::ListBox: {
        auto* list = Face<ListBoxControl>(record);
        QJsonArray items;
        for (int i = 0; i < list->count(); i++)
            items.append(list->item(i)->text());
        object["items"] = items;
        QList<QListWidgetItem*> selected = list->selectedItems();
        object["selected"] = selected.isEmpty() ? -1 : list->row(selected.first());
        object["extent"] = list->horizontalExtent;
        break;
    }
    case ControlKind::Progress: {
        auto* bar = Face<QProgressBar>(record);
        object["range"] = QJsonArray{bar->minimum(), bar->maximum()};
        object["pos"] = bar->value() < bar->minimum() ? bar->minimum() : bar->value();
        break;
    }
    case ControlKind::Tab: {
        QTabBar* bar = Face<TabControl>(record)->bar;
        QJsonArray tabs;
        for (int i = 0; i < bar->count(); i++)
            tabs.append(WithoutLiteralAmpersands(bar->tabText(i)));
        object["tabs"] = tabs;
        object["current"] = bar->currentIndex();
        break;
    }
    case ControlKind::ListView:
        DescribeListView(record, object);
        break;
    default:
        break;
    }
}

// --- The user's input ----------------------------------------------------------------------------------

bool UserClick(WindowRecord* record) {
    auto* button = Face<QPushButton>(record);
    if (!button || !record->enabled) return false;
    button->click();
    return true;
}

bool UserType(WindowRecord* record, const std::u16string& text) {
    auto* edit = Face<EditControl>(record);
    if (!edit || !record->enabled) return false;
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
    auto* edit = Face<EditControl>(record);
    if (!edit || !record->enabled) return false;
    edit->setFocus();
    edit->selectAll();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(edit, &press);
    return true;
}

bool UserChoose(WindowRecord* record, int index) {
    if (!record->enabled) return false;
    if (auto* combo = Face<ComboBoxControl>(record)) {
        if (index < 0 || index >= combo->count()) return false;
        combo->setCurrentIndex(index);
        emit combo->activated(index);
        return true;
    }
    if (auto* list = Face<ListBoxControl>(record)) {
        if (index < 0 || index >= list->count()) return false;
        list->setCurrentRow(index);
        list->item(index)->setSelected(true);
        return true;
    }
    return false;
}

bool UserChooseTab(WindowRecord* record, int index) {
    auto* tab = Face<TabControl>(record);
    if (!tab || index < 0 || index >= tab->bar->count()) return false;
    if (tab->bar->currentIndex() == index) {
        // Clicking the tab already chosen changes nothing and raises no notification.
        return true;
    }
    tab->bar->setCurrentIndex(index);
    return true;
}
