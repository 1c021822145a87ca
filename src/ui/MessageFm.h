#pragma once
// The small modal information box with a text, a link and an OK button.

#include "platform/IShell.h"
#include "ui/UbLinkLabel.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include <string>

namespace parlino {

class TFmInfo : public QDialog {
    Q_OBJECT
public:
    explicit TFmInfo(IShell& shell);

    QLabel* lText;
    TUbLinkLabel* lLink;
    QPushButton* btOk;

    void btOkClick() { accept(); }

protected:
    // Escape does not close the box; only OK, Enter, Space and the close box do.
    void keyPressEvent(QKeyEvent* event) override;
};

// Creates, fills and shows the box modally, then frees it. Texts are ANSI
// text in the system code page; "\r\n" breaks lines.
void ShowInfo(IShell& shell, const std::string& ACaption, const std::string& AText,
              const std::string& ALink, const std::string& ALinkCaption, int AHeightDelta);

// Hook for tests: called with the filled box instead of running it modally.
using TShowInfoHook = void (*)(TFmInfo& box);
void SetShowInfoHook(TShowInfoHook hook);

} // namespace parlino
