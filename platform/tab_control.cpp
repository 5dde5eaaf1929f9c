// The tab control ("SysTabControl32"): a panel with a row of tabs on top; its children (the pages) lie
// on the panel. The user's change of tab is told to the parent (changing, then changed); a selection the
// program sets is not. Labels show "&" as itself.
#include "platform/controls.h"

#include <QTabBar>
#include <QWheelEvent>

namespace {

// The row of tabs takes the focus only when clicked, and the wheel over it changes nothing: a page is
// chosen by a click or by the keys the program names (which never choose a tab it keeps from them).
class TabRow : public QTabBar {
  public:
    explicit TabRow(QWidget* parent) : QTabBar(parent) { setFocusPolicy(Qt::ClickFocus); }

  protected:
    void wheelEvent(QWheelEvent* event) override { event->ignore(); }
};

class TabFace : public QWidget {
  public:
    TabFace(WindowRecord* record, QWidget* parent) : QWidget(parent) {
        bar = new TabRow(this);
        // Five tabs fit 240 pixels only with narrow padding and no scroll buttons.
        bar->setUsesScrollButtons(false);
        bar->setExpanding(false);
        bar->setDrawBase(false);
        bar->setStyleSheet(QString("QTabBar::tab { padding: %1px %2px; margin: 0px; min-width: 0px; height: %3px; }")
                               .arg(ToWindowPixels(2))
                               .arg(ToWindowPixels(5))
                               .arg(ToWindowPixels(20)));
        bar->move(0, 0);
        connect(bar, &QTabBar::currentChanged, [record](int) {
            NotifyHeader header{};
            NotifyParent(record, &header, TabSelectionChanging);
            NotifyParent(record, &header, TabSelectionChanged);
        });
    }
    void resizeEvent(QResizeEvent*) override { bar->resize(width(), BarHeight()); }

    static int BarHeight() { return ToWindowPixels(24); }
    QTabBar* bar; // the row of tabs
};

QWidget* CreateTabFace(WindowRecord* record, QWidget* parentWidget) {
    return new TabFace(record, parentWidget);
}

// Codes: the new tab's index or -1 (InsertItem), a count, the selection (-1 for none), the selection
// before or -1 for an index out of range (SetCurrentSelection).
bool TabMessage(WindowRecord* record, uint32_t message, FirstParameter first, SecondParameter second,
                MessageResult* result) {
    auto* tab = static_cast<TabFace*>(record->widget);
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
        bar->resize(tab->width(), TabFace::BarHeight());
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

const ControlFunctions TabFunctions = {CreateTabFace, TabMessage, nullptr};
