#pragma once
// A text label that behaves as a hyperlink: a fly-over look while the pointer
// is over it, and a click (or Enter / Space when it has the focus) opens its
// link through the platform shell.

#include "platform/IShell.h"

#include <QColor>
#include <QFont>
#include <QLabel>

#include <functional>
#include <string>

namespace parlino {

class TUbLinkLabel : public QLabel {
    Q_OBJECT
public:
    using TUbOnURLExecute = std::function<void(TUbLinkLabel* sender, const std::string& url)>;

    TUbLinkLabel(IShell& shell, QWidget* parent = nullptr);

    std::string LinkText;
    bool ExecMaximized = false;
    TUbOnURLExecute OnURLExecute;
    bool PreParseLink = true;

    const QFont& FlyOverFont() const { return FFlyOverFont; }
    void SetFlyOverFont(const QFont& font) { FFlyOverFont = font; }
    QColor FlyOverColor() const { return FFlyOverColor; }
    void SetFlyOverColor(const QColor& color) { FFlyOverColor = color; }
    bool MouseOver() const { return FMouseOver; }

    // Opens LinkText: the target, and the parameters after the first blank
    // (PreParseLink) or the first "|"; a target with "@" becomes a mail link.
    void ExecuteLink();
    // The target and parameters ExecuteLink hands to the shell; empty target
    // when there is nothing to open.
    static std::pair<std::string, std::string> ParseLink(const std::string& linkText, bool preParse);

    // The pointer's arrival and departure, as the toolkit reports them.
    void MouseEntered();
    void MouseLeft();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Click();

    IShell& FShell;
    bool FMouseOver = false;
    QFont FFlyOverFont;
    QColor FFlyOverColor;
    QFont FSavedFont;
    QPalette FSavedPalette;
    bool FSavedParentColor = true;
};

// Blanks and control characters removed at both ends.
std::string TrimText(const std::string& s);

} // namespace parlino
