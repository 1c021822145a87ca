#include "ui/QtTestApp.h"
#include "ui/UbBitmapsContainer.h"
#include "ui/UbScrollBar.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QMouseEvent>
#include <QPainter>

#include <gtest/gtest.h>

using namespace parlino;

namespace {

// Makes sure the application object exists before any widget member.
struct TWithApp {
    TWithApp() { test::QtApp(); }
};

struct TSlider : TWithApp {
    TSlider(int width = 120) {
        Bar.resize(width, 16);
        Bar.Loaded();
        Bar.OnChange = [this](TUbScrollBar*) { ++Changes; };
    }
    void Press(int x) {
        QMouseEvent e(QEvent::MouseButtonPress, QPointF(x, 8), Bar.mapToGlobal(QPointF(x, 8)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Bar, &e);
    }
    void Move(int x) {
        QMouseEvent e(QEvent::MouseMove, QPointF(x, 8), Bar.mapToGlobal(QPointF(x, 8)), Qt::NoButton, Qt::LeftButton,
                      Qt::NoModifier);
        QApplication::sendEvent(&Bar, &e);
    }
    void Release(int x) {
        QMouseEvent e(QEvent::MouseButtonRelease, QPointF(x, 8), Bar.mapToGlobal(QPointF(x, 8)), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&Bar, &e);
    }
    TUbScrollBar Bar;
    int Changes = 0;
};

} // namespace

TEST(ScrollBar, RoundsHalvesToEven) {
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(2.51), 3);
}

TEST(ScrollBar, PointerMapsToPositionsWithTheThumbCentreUnderIt) {
    TSlider s(120); // track of 104 px for 0..100
    s.Press(8);     // the thumb's half width from the left end: Min
    EXPECT_EQ(s.Bar.Position(), 0);
    s.Move(3); // left of the half width: still Min
    EXPECT_EQ(s.Bar.Position(), 0);
    s.Move(60); // 100/104 * 52 = 50.0
    EXPECT_EQ(s.Bar.Position(), 50);
    s.Move(200); // beyond the right end: Max
    EXPECT_EQ(s.Bar.Position(), 100);
    s.Release(200);
    EXPECT_FALSE(s.Bar.Dragging());
    s.Move(10); // released: no more dragging
    EXPECT_EQ(s.Bar.Position(), 100);
    // A range where the mapping hits an exact half: 0..13 over 26 px, x - 8 = 1 gives 0.5 -> 0; 3 gives 1.5 -> 2.
    TSlider h(42);
    h.Bar.SetMax(13);
    h.Press(9);
    EXPECT_EQ(h.Bar.Position(), 0);
    h.Move(11);
    EXPECT_EQ(h.Bar.Position(), 2);
}

TEST(ScrollBar, ThumbFollowsTheClampedPositionWhilePositionKeepsTheValueSet) {
    TSlider s(120);
    s.Bar.SetPosition(150);
    EXPECT_EQ(s.Bar.Position(), 150);
    EXPECT_EQ(s.Bar.TrackPos(), 100);
    EXPECT_EQ(s.Bar.ThumbRect().left(), 104); // the right end
    EXPECT_EQ(s.Changes, 1);
    s.Bar.SetPosition(150); // the same value again reports nothing
    EXPECT_EQ(s.Changes, 1);
    s.Bar.SetPosition(25);
    EXPECT_EQ(s.Bar.ThumbRect().left(), 26);
    s.Bar.SetMax(20); // below the thumb: the position follows to the new maximum
    EXPECT_EQ(s.Bar.Position(), 20);
    EXPECT_EQ(s.Changes, 3);
    EXPECT_EQ(s.Bar.ThumbRect().left(), 104);
}

TEST(ScrollBar, EqualMinAndMaxAndADisabledSlider) {
    TSlider s(120);
    s.Bar.SetMax(0);
    s.Press(90);
    EXPECT_EQ(s.Bar.Position(), 0);
    EXPECT_EQ(s.Bar.ThumbRect().left(), 0);
    TSlider d(120);
    d.Bar.SetEnabled(false);
    d.Press(60);
    EXPECT_EQ(d.Bar.Position(), 0); // the mouse does nothing
    d.Bar.SetPosition(70);          // but code still can
    EXPECT_EQ(d.Bar.Position(), 70);
    // A track of no length leaves the position alone.
    TSlider z(16);
    z.Bar.SetPosition(40);
    z.Press(5);
    EXPECT_EQ(z.Bar.Position(), 40);
}

TEST(ScrollBar, WhileLoadingTheThumbStaysAndTheKeyboardMovesIt) {
    test::QtApp();
    TUbScrollBar bar;
    bar.resize(120, 16);
    bar.SetPosition(50);
    EXPECT_TRUE(bar.Loading());
    EXPECT_EQ(bar.ThumbRect().left(), 0);
    bar.Loaded();
    EXPECT_EQ(bar.ThumbRect().left(), 52);
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(&bar, &right);
    EXPECT_EQ(bar.Position(), 51);
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
    QApplication::sendEvent(&bar, &end);
    EXPECT_EQ(bar.Position(), 100);
    EXPECT_EQ(bar.accessibleDescription(), "100");
}

TEST(ScrollBar, PaintsThroughItsEventsIntoTheBuffer) {
    TSlider s(120);
    int backgrounds = 0;
    QRect thumbSeen;
    s.Bar.OnBackgrPaint = [&](TUbScrollBar*, QPainter& c, QRect r) {
        ++backgrounds;
        c.fillRect(r, Qt::white);
    };
    s.Bar.OnThumbPaint = [&](TUbScrollBar*, QPainter& c, QRect r) {
        thumbSeen = r;
        c.fillRect(r, Qt::red);
    };
    s.Bar.SetPosition(100);
    const QImage shot = s.Bar.grab().toImage();
    EXPECT_GT(backgrounds, 0);
    EXPECT_EQ(thumbSeen, QRect(104, 0, 16, 16));
    EXPECT_EQ(shot.pixelColor(110, 8), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(50, 8), QColor(Qt::white));
    // Without handlers: green track, navy thumb.
    TSlider plain(120);
    const QImage p = plain.Bar.grab().toImage();
    EXPECT_EQ(p.pixelColor(60, 8), QColor(0, 128, 0));
    EXPECT_EQ(p.pixelColor(8, 8), QColor(0, 0, 128));
}

TEST(BitmapsContainer, FindsByNameIgnoringCaseAndRefusesBlankNames) {
    test::QtApp();
    TUbBitmapsContainer c;
    TUbBitmapsItem& a = c.Add();
    EXPECT_EQ(a.BitmapName(), "Bitmap1");
    a.SetBitmapName("Thumb");
    a.SetBitmap(QImage(2, 2, QImage::Format_ARGB32));
    TUbBitmapsItem& b = c.Add();
    EXPECT_EQ(b.BitmapName(), "Bitmap2");
    b.SetBitmapName("THUMB");
    b.SetBitmap(QImage(5, 5, QImage::Format_ARGB32));
    const QImage* found = c.FindBitmap("tHuMb");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->width(), 2); // the first of the two
    EXPECT_EQ(c.FindBitmap("Scroll"), nullptr);
    try {
        c.Items()[0].SetBitmapName(" \t");
        FAIL();
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "BitmapName value can not be empty!");
    }
    EXPECT_EQ(c.Items()[0].BitmapName(), "Thumb");
}

TEST(ScrollBar, ScreenReadersSeeASliderWithItsValueFromTheStart) {
    test::QtApp();
    TUbScrollBar bar;
    bar.SetMin(-10);
    bar.SetMax(10);
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(&bar);
    ASSERT_NE(access, nullptr);
    EXPECT_EQ(access->role(), QAccessible::Slider);
    QAccessibleValueInterface* value = access->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toInt(), 0); // before it ever moved
    EXPECT_EQ(access->text(QAccessible::Value), "0");
    EXPECT_EQ(value->minimumValue().toInt(), -10);
    EXPECT_EQ(value->maximumValue().toInt(), 10);
    bar.SetPosition(-4);
    EXPECT_EQ(value->currentValue().toInt(), -4);
    value->setCurrentValue(7); // a screen reader's user sets it
    EXPECT_EQ(bar.Position(), 7);
}
