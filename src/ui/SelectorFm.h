#pragma once
// The borderless popup that lists voices in a two-column grid; a click, Enter
// or Space on a row confirms it, "X" or Escape cancels.

#include <QDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>

namespace parlino {

class TfmSelector : public QDialog {
    Q_OBJECT
public:
    explicit TfmSelector(QWidget* parent = nullptr);

    QWidget* pnlBottom; // the caption bar, at the top despite its name
    QPushButton* btClose;
    QTableWidget* g1;

    int32_t FDownX = 0, FDownY = 0;
    bool FDragging = false;

    void FormCreate();
    void pnlBottomMouseDown(Qt::MouseButton button, QPoint at);
    void pnlBottomMouseMove(QPoint at);
    void pnlBottomMouseUp();
    void g1KeyPress(int key);
    void g1MouseUp();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace parlino
