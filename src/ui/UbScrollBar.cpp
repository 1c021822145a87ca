#include "ui/UbScrollBar.h"

#include "ui/QtText.h"
#include "ui/TUbScrollBarAccessible.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace parlino {

int32_t RoundHalfEven(double value) {
    const double r = std::nearbyint(value); // the default rounding mode rounds halves to even
    return static_cast<int32_t>(std::clamp(r, double{INT32_MIN}, double{INT32_MAX}));
}

TUbScrollBar::TUbScrollBar(QWidget* parent) : QWidget(parent) {
    TUbScrollBarAccessible::Install();
    setAccessibleDescription(QString::number(FPosition));
    resize(120, 16);
    setAttribute(Qt::WA_OpaquePaintEvent); // every pixel comes from the buffer: no erasing, no flicker
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
}

void TUbScrollBar::Loaded() {
    FLoading = false;
    UpdateThumb();
}

void TUbScrollBar::SetPosition(int32_t value) {
    FTrackPos = value;
    if (FTrackPos > FMax) FTrackPos = FMax;
    if (FTrackPos < FMin) FTrackPos = FMin;
    UpdateThumb();
    if (value != FPosition) {
        FPosition = value; // the value as set, not the clamped one
        setAccessibleDescription(QString::number(FPosition));
        QAccessibleValueChangeEvent changed(this, FPosition);
        QAccessible::updateAccessibility(&changed);
        if (OnChange) OnChange(this);
    }
}

void TUbScrollBar::SetMin(int32_t value) {
    FMin = value;
    if (FTrackPos < value) FTrackPos = value;
    SetPosition(FTrackPos);
}

void TUbScrollBar::SetMax(int32_t value) {
    FMax = value;
    if (FTrackPos > value) FTrackPos = value;
    SetPosition(FTrackPos);
}

void TUbScrollBar::SetEnabled(bool value) {
    FEnabled = value;
    UpdateThumb();
}

void TUbScrollBar::SetWordWrap(bool value) {
    FWordWrap = value;
    UpdateThumb();
}

void TUbScrollBar::SetThumbWidth(int32_t value) {
    FThumbWidth = value;
    FThumbRect.setRight(FThumbRect.left() + value - 1);
    if (FVertical && !FLoading) resize(value, height());
    UpdateThumb();
}

void TUbScrollBar::SetThumbHeight(int32_t value) {
    FThumbHeight = value;
    FThumbRect.setBottom(FThumbRect.top() + value - 1);
    if (!FVertical && !FLoading) resize(width(), value);
    UpdateThumb();
}

void TUbScrollBar::SetVertical(bool value) {
    if (value == FVertical) return;
    FVertical = value;
    if (!FLoading) resize(height(), width());
}

void TUbScrollBar::SetCaption(const std::string& value) {
    FCaption = value;
    repaint();
}

void TUbScrollBar::SetCaptionFont(const QFont& font) {
    setFont(font);
    repaint();
}

void TUbScrollBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (FLoading) return;
    // The thumb's cross size follows the control.
    if (FVertical) FThumbWidth = width(), FThumbRect.setWidth(width());
    else FThumbHeight = height(), FThumbRect.setHeight(height());
    UpdateThumb();
}

void TUbScrollBar::UpdateThumb() {
    if (FLoading) return;
    const int extent = FVertical ? height() : width();
    const int thumb = FVertical ? FThumbHeight : FThumbWidth;
    const int start =
        FMax == FMin ? 0 : RoundHalfEven(double(extent - thumb) / (double(FMax) - FMin) * (double(FTrackPos) - FMin));
    if (FVertical) FThumbRect = QRect(FThumbRect.left(), start, FThumbRect.width(), thumb);
    else FThumbRect = QRect(start, FThumbRect.top(), thumb, FThumbRect.height());
    repaint();
}

void TUbScrollBar::MouseToPosition(int x, int y) {
    const int extent = FVertical ? height() : width();
    const int thumb = FVertical ? FThumbHeight : FThumbWidth;
    if (extent == thumb) return; // a track of no length leaves the position alone
    const int half = thumb / 2;
    const int c = std::clamp(FVertical ? y : x, half, std::max(half, extent - half));
    int32_t p = FMin + RoundHalfEven((double(FMax) - FMin) / double(extent - thumb) * (c - thumb / 2.0));
    if (p > FMax) p = FMax;
    if (p < FMin) p = FMin;
    FTrackPos = p;
    SetPosition(p);
}

void TUbScrollBar::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton || !FEnabled) return;
    FDragging = true;
    const QPoint p = event->position().toPoint();
    MouseToPosition(p.x(), p.y());
    UpdateThumb();
}

void TUbScrollBar::mouseMoveEvent(QMouseEvent* event) {
    if (FEnabled && FDragging) {
        const QPoint p = event->position().toPoint();
        MouseToPosition(p.x(), p.y());
        UpdateThumb();
    }
    QWidget::mouseMoveEvent(event);
}

void TUbScrollBar::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) FDragging = false;
}

void TUbScrollBar::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (OnMouseEnter) OnMouseEnter(this);
}

void TUbScrollBar::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (OnMouseLeave) OnMouseLeave(this);
}

void TUbScrollBar::keyPressEvent(QKeyEvent* event) {
    if (!FEnabled) return QWidget::keyPressEvent(event);
    const int32_t page = std::max<int32_t>(1, (FMax - FMin) / 10);
    const int32_t from = std::clamp(FPosition, std::min(FMin, FMax), std::max(FMin, FMax));
    switch (event->key()) {
    case Qt::Key_Left: case Qt::Key_Down: SetPosition(std::max(FMin, from - 1)); break;
    case Qt::Key_Right: case Qt::Key_Up: SetPosition(std::min(FMax, from + 1)); break;
    case Qt::Key_PageDown: SetPosition(std::max(FMin, from - page)); break;
    case Qt::Key_PageUp: SetPosition(std::min(FMax, from + page)); break;
    case Qt::Key_Home: SetPosition(FMin); break;
    case Qt::Key_End: SetPosition(FMax); break;
    default: QWidget::keyPressEvent(event); return;
    }
}

void TUbScrollBar::paintEvent(QPaintEvent* /*event*/) {
    if (FBuffer.size() != size()) FBuffer = QPixmap(size());
    {
        QPainter canvas(&FBuffer);
        const QRect client(0, 0, width(), height());
        if (OnBackgrPaint) {
            OnBackgrPaint(this, canvas, client);
        } else {
            canvas.fillRect(client, QColor(0, 128, 0));
            canvas.setPen(QColor(128, 128, 128));
            canvas.drawRect(client.adjusted(0, 0, -1, -1));
        }
        if (OnThumbPaint) OnThumbPaint(this, canvas, FThumbRect);
        else canvas.fillRect(FThumbRect, QColor(0, 0, 128));
        if (!FCaption.empty()) {
            canvas.setFont(font());
            const QString text = AnsiToQt(FCaption);
            if (FWordWrap) {
                const int pen = std::max(1, canvas.pen().width());
                const int inset = pen + TextMargin;
                canvas.drawText(QRect(inset, inset, width() - 2 * inset, height() - 2 * inset),
                                Qt::AlignHCenter | Qt::TextWordWrap, text);
            } else {
                const QFontMetrics m(font());
                canvas.drawText(width() / 2 - m.horizontalAdvance(text) / 2, height() / 2 - m.height() / 2 + m.ascent(),
                                text);
            }
        }
    }
    QPainter(this).drawPixmap(0, 0, FBuffer);
}

} // namespace parlino
