#include "ui/MessageFm.h"

#include "ui/QtText.h"

#include <QFrame>
#include <QKeyEvent>

namespace parlino {
namespace {
TShowInfoHook showInfoHook = nullptr;
constexpr int ClientWidth = 226, ClientHeight = 229, BottomPanel = 35;
} // namespace

void SetShowInfoHook(TShowInfoHook hook) { showInfoHook = hook; }

TFmInfo::TFmInfo(IShell& shell) {
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setFixedSize(ClientWidth, ClientHeight);
    move(376, 112);

    // Content panel: 6 px strip at the left, 13 px spacers at top and bottom.
    lText = new QLabel(this);
    lText->setWordWrap(true);
    lText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // No accessible name of its own: a screen reader reads the message itself.

    lLink = new TUbLinkLabel(shell, this);
    lLink->PreParseLink = true;
    lLink->ExecMaximized = false;
    lLink->SetFlyOverColor(palette().color(QPalette::Base));
    lLink->setProperty("flyOverText", QColor(Qt::yellow).darker(110));

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    rule->setObjectName("Bevel1");

    btOk = new QPushButton("OK", this);
    btOk->setDefault(true);
    btOk->setAutoDefault(true);
    connect(btOk, &QPushButton::clicked, this, [this] { btOkClick(); });
    lText->setFocusPolicy(Qt::NoFocus);
    btOk->setFocus();
    setTabOrder(btOk, lLink);
}

void TFmInfo::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) return;
    QDialog::keyPressEvent(event);
}

void ShowInfo(IShell& shell, const std::string& ACaption, const std::string& AText,
              const std::string& ALink, const std::string& ALinkCaption, int AHeightDelta) {
    TFmInfo box(shell);
    box.setWindowTitle(AnsiToQt(ACaption));
    box.lText->setText(AnsiToQt(AText).replace("\r\n", "\n"));
    box.lLink->LinkText = ALink;
    box.lLink->setToolTip(AnsiToQt(ALink));
    box.lLink->setText(AnsiToQt(ALinkCaption));
    box.lLink->setAccessibleName(AnsiToQt(ALinkCaption));

    const int height = ClientHeight + AHeightDelta;
    box.setFixedSize(ClientWidth, height);
    const int contentBottom = height - BottomPanel;
    box.lText->setGeometry(6, 13, ClientWidth - 6, contentBottom - 13 - 13 - 13);
    box.lLink->setGeometry(6, contentBottom - 13 - 13, ClientWidth - 6, 13);
    box.findChild<QFrame*>("Bevel1")->setGeometry(0, contentBottom, ClientWidth, 2);
    box.btOk->setGeometry(80, contentBottom + 8, 75, 25);
    box.btOk->setFocus();

    if (showInfoHook) showInfoHook(box);
    else box.exec();
}

} // namespace parlino
