#include "ui/TQtMessageBoxes.h"

#include "ui/QtText.h"

#include <QMessageBox>

namespace parlino {

void TQtMessageBoxes::ShowInformation(const std::string& caption, const std::string& text) {
    QString body = AnsiToQt(text);
    body.replace("\r\n", "\n").replace('\r', '\n');
    QMessageBox::information(nullptr, AnsiToQt(caption), body);
}

} // namespace parlino
