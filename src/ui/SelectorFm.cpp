#include "ui/SelectorFm.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>

#include <vector>

namespace parlino {
namespace {
constexpr int ClientWidth = 253, ClientHeight = 338, BarHeight = 17;

// What screen readers see of the application: its windows, and also an open
// voice list. The toolkit leaves popups out of the application's windows on
// the accessibility bus (it expects menus, which announce themselves), so a
// screen reader would find the list nowhere; it is listed after the windows
// while it is open, as the window it is.
class TAccessibleApplication final : public QAccessibleApplication {
public:
    int childCount() const override { return QAccessibleApplication::childCount() + static_cast<int>(Lists().size()); }
    QAccessibleInterface* child(int index) const override {
        const int windows = QAccessibleApplication::childCount();
        if (index < windows) return QAccessibleApplication::child(index);
        const std::vector<TfmSelector*> lists = Lists();
        const size_t list = static_cast<size_t>(index - windows);
        return list < lists.size() ? QAccessible::queryAccessibleInterface(lists[list]) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const int index = QAccessibleApplication::indexOfChild(child);
        if (index >= 0 || !child) return index;
        const std::vector<TfmSelector*> lists = Lists();
        for (size_t i = 0; i < lists.size(); ++i)
            if (child->object() == lists[i]) return QAccessibleApplication::childCount() + static_cast<int>(i);
        return -1;
    }

private:
    static std::vector<TfmSelector*> Lists() {
        std::vector<TfmSelector*> lists;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* list = qobject_cast<TfmSelector*>(w); list && list->isVisible()) lists.push_back(list);
        return lists;
    }
};

// Installed before the application object exists, so that the accessibility
// layer never makes the toolkit's own interface for it.
const bool ApplicationInterfaceInstalled = [] {
    QAccessible::installFactory([](const QString&, QObject* object) -> QAccessibleInterface* {
        if (object && object == QCoreApplication::instance() && qobject_cast<QApplication*>(object))
            return new TAccessibleApplication;
        return nullptr;
    });
    return true;
}();

} // namespace

TfmSelector::TfmSelector(QWidget* parent) : QDialog(parent, Qt::Popup | Qt::FramelessWindowHint) {
    // A popup of the window it opens from: the desktop places it relative to
    // that window, which is the only placement some desktops (Wayland) allow.
    // A click elsewhere closes it like "X". On the accessibility bus it is a
    // window of the application, named "Voices", holding the table "Voices".
    (void)ApplicationInterfaceInstalled;
    setFixedSize(ClientWidth, ClientHeight);
    setAccessibleName("Voices");

    pnlBottom = new QWidget(this);
    pnlBottom->setGeometry(0, 0, ClientWidth, BarHeight);
    pnlBottom->setAutoFillBackground(true);
    QPalette bar = pnlBottom->palette();
    bar.setColor(QPalette::Window, palette().color(QPalette::Highlight));
    pnlBottom->setPalette(bar);
    pnlBottom->installEventFilter(this);

    btClose = new QPushButton("X", pnlBottom);
    btClose->resize(35, BarHeight);
    btClose->setAccessibleName("Close");
    btClose->setFocusPolicy(Qt::NoFocus);
    connect(btClose, &QPushButton::clicked, this, &QDialog::reject);

    g1 = new QTableWidget(this);
    g1->setGeometry(0, BarHeight, ClientWidth, ClientHeight - BarHeight);
    g1->setColumnCount(2);
    g1->setColumnWidth(0, 28);
    g1->setColumnWidth(1, 201);
    g1->horizontalHeader()->hide();
    g1->verticalHeader()->hide();
    g1->verticalHeader()->setDefaultSectionSize(16);
    g1->setSelectionBehavior(QAbstractItemView::SelectRows);
    g1->setSelectionMode(QAbstractItemView::SingleSelection);
    g1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    g1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    g1->setAccessibleName("Voices");
    // The selected row: the active border's colour behind the window text colour.
    QPalette rows = g1->palette();
    rows.setColor(QPalette::Highlight, QColor(180, 180, 180));
    rows.setColor(QPalette::HighlightedText, rows.color(QPalette::WindowText));
    g1->setPalette(rows);
    g1->installEventFilter(this);
    g1->viewport()->installEventFilter(this);
    g1->setFocus();
    FormCreate();
}

void TfmSelector::FormCreate() {
    const int edge = style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    btClose->move(ClientWidth - btClose->width() - edge, 0);
}

void TfmSelector::pnlBottomMouseDown(Qt::MouseButton button, QPoint at) {
    FDragging = button == Qt::LeftButton;
    if (FDragging) FDownX = at.x(), FDownY = at.y();
}

void TfmSelector::pnlBottomMouseMove(QPoint at) {
    // A popup is moved by the program; it has no move request of its own to
    // hand to the desktop. On X11 it follows the pointer. Wayland places a
    // popup once, when it opens (under the voice box), and this toolkit does
    // not ask it to place an open popup again, so there it stays put.
    if (FDragging && !isMaximized()) move(x() + at.x() - FDownX, y() + at.y() - FDownY);
}

void TfmSelector::pnlBottomMouseUp() { FDragging = false; }

void TfmSelector::g1KeyPress(int key) {
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) && g1->currentRow() >= 0) accept();
}

void TfmSelector::g1MouseUp() {
    if (g1->currentRow() >= 0) accept();
}

bool TfmSelector::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pnlBottom) {
        auto mouse = [event] { return static_cast<QMouseEvent*>(event); };
        switch (event->type()) {
        case QEvent::MouseButtonPress: pnlBottomMouseDown(mouse()->button(), mouse()->position().toPoint()); return true;
        case QEvent::MouseMove: pnlBottomMouseMove(mouse()->position().toPoint()); return true;
        case QEvent::MouseButtonRelease: pnlBottomMouseUp(); return true;
        default: break;
        }
    } else if (watched == g1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            g1KeyPress(key);
            return true;
        }
    } else if (watched == g1->viewport() && event->type() == QEvent::MouseButtonRelease) {
        // Any button released over the grid confirms the row under it.
        auto* m = static_cast<QMouseEvent*>(event);
        const int row = g1->rowAt(m->position().toPoint().y());
        if (row >= 0) g1->setCurrentCell(row, g1->currentColumn() < 0 ? 0 : g1->currentColumn());
        g1MouseUp();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace parlino
