#include "ui/UbLinkLabel.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace parlino {

std::string TrimText(const std::string& s) {
    size_t first = 0, last = s.size();
    while (first < last && static_cast<unsigned char>(s[first]) <= ' ') ++first;
    while (last > first && static_cast<unsigned char>(s[last - 1]) <= ' ') --last;
    return s.substr(first, last - first);
}

TUbLinkLabel::TUbLinkLabel(IShell& shell, QWidget* parent) : QLabel(parent), FShell(shell) {
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, Qt::blue);
    setPalette(p);
    setCursor(Qt::PointingHandCursor);
    FFlyOverFont = f;
    FFlyOverColor = p.color(QPalette::Window);
    // Red text while the pointer is over the label, unless told otherwise.
    setProperty("flyOverText", QColor(Qt::red));
    setFocusPolicy(Qt::StrongFocus);
}

void TUbLinkLabel::MouseEntered() {
    if (FMouseOver) return;
    FSavedFont = font();
    FSavedPalette = palette();
    FSavedParentColor = !autoFillBackground();
    QPalette p = palette();
    p.setColor(QPalette::Window, FFlyOverColor);
    p.setColor(QPalette::WindowText, property("flyOverText").value<QColor>());
    setPalette(p);
    setAutoFillBackground(true);
    setFont(FFlyOverFont);
    FMouseOver = true;
}

void TUbLinkLabel::MouseLeft() {
    if (!FMouseOver) return;
    setPalette(FSavedPalette);
    setFont(FSavedFont);
    setAutoFillBackground(!FSavedParentColor);
    FMouseOver = false;
}

void TUbLinkLabel::enterEvent(QEnterEvent* event) {
    MouseEntered();
    QLabel::enterEvent(event);
}

void TUbLinkLabel::leaveEvent(QEvent* event) {
    MouseLeft();
    QLabel::leaveEvent(event);
}

void TUbLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    // Pressed here but released outside: the pointer left, so nothing opens.
    if (event->button() == Qt::LeftButton && FMouseOver && rect().contains(event->position().toPoint()))
        Click();
}

void TUbLinkLabel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space) {
        // Keyboard users open the link without any pointer over the label.
        Click();
        return;
    }
    QLabel::keyPressEvent(event);
}

void TUbLinkLabel::Click() {
    std::string l = TrimText(LinkText);
    if (l.empty()) return;
    if (OnURLExecute) {
        OnURLExecute(this, l);
        return;
    }
    ExecuteLink();
}

std::pair<std::string, std::string> TUbLinkLabel::ParseLink(const std::string& linkText, bool preParse) {
    std::string target = TrimText(linkText);
    std::string parameters;
    if (target.empty()) return {};
    size_t sep = target.find(preParse ? ' ' : '|');
    if (sep != std::string::npos) {
        parameters = TrimText(target.substr(sep + 1));
        target = TrimText(target.substr(0, sep));
    }
    if (preParse && target.find('@') != std::string::npos) target = "Mailto: " + target;
    return {target, parameters};
}

void TUbLinkLabel::ExecuteLink() {
    auto [target, parameters] = ParseLink(LinkText, PreParseLink);
    if (target.empty()) return;
    FShell.Open(target, parameters, ExecMaximized);
}

} // namespace parlino
