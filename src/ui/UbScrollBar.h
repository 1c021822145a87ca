#pragma once
// A slider that draws nothing of the platform's own: it paints its
// background and thumb through two paint events into an off-screen buffer,
// moves the thumb with the mouse (and, for keyboard users, the arrow, page,
// Home and End keys), and reports every change of its position.

#include <QPixmap>
#include <QWidget>

#include <functional>
#include <string>

class QPainter;

namespace parlino {

class TUbScrollBar : public QWidget {
    Q_OBJECT
public:
    using TsbPaintEvent = std::function<void(TUbScrollBar* sender, QPainter& canvas, QRect rect)>;
    using TNotifyEvent = std::function<void(TUbScrollBar* sender)>;

    explicit TUbScrollBar(QWidget* parent = nullptr);

    int32_t Position() const { return FPosition; }
    void SetPosition(int32_t value);
    int32_t Min() const { return FMin; }
    void SetMin(int32_t value);
    int32_t Max() const { return FMax; }
    void SetMax(int32_t value);
    // The slider's own flag: when false the mouse does nothing; the look stays.
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    int32_t ThumbWidth() const { return FThumbWidth; }
    void SetThumbWidth(int32_t value);
    int32_t ThumbHeight() const { return FThumbHeight; }
    void SetThumbHeight(int32_t value);
    bool Vertical() const { return FVertical; }
    void SetVertical(bool value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& value);
    void SetCaptionFont(const QFont& font);
    int32_t TextMargin = 1;

    TsbPaintEvent OnBackgrPaint;
    TsbPaintEvent OnThumbPaint;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TNotifyEvent OnChange;

    // The stored properties have been set: the thumb is computed from now on
    // and the size follows the thumb. Until then it stays where it is.
    void Loaded();
    bool Loading() const { return FLoading; }
    QRect ThumbRect() const { return FThumbRect; }
    int32_t TrackPos() const { return FTrackPos; }
    bool Dragging() const { return FDragging; }
    // The position a pointer at client coordinates (x, y) selects.
    void MouseToPosition(int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void UpdateThumb();

    int32_t FPosition = 0, FMin = 0, FMax = 100;
    bool FEnabled = true;
    int32_t FThumbWidth = 16, FThumbHeight = 16;
    bool FVertical = false, FWordWrap = false;
    std::string FCaption;
    bool FDragging = false;
    QRect FThumbRect{0, 0, 16, 16};
    int32_t FTrackPos = 0;
    QPixmap FBuffer;
    bool FLoading = true;
};

// The nearest integer, halves going to the even neighbour (2.5 -> 2).
int32_t RoundHalfEven(double value);

} // namespace parlino
