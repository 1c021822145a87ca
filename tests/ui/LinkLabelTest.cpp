#include "fakes/TFakePlatform.h"
#include "ui/QtTestApp.h"
#include "ui/UbLinkLabel.h"

#include <QMouseEvent>

#include <gtest/gtest.h>

using namespace parlino;

namespace {

void Release(TUbLinkLabel& label, QPointF at) {
    QMouseEvent e(QEvent::MouseButtonRelease, at, label.mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                  Qt::NoModifier);
    QApplication::sendEvent(&label, &e);
}

} // namespace

TEST(LinkLabel, SplitsTargetAndParameters) {
    using P = std::pair<std::string, std::string>;
    EXPECT_EQ(TUbLinkLabel::ParseLink("  https://example.org/x  ", true), P("https://example.org/x", ""));
    EXPECT_EQ(TUbLinkLabel::ParseLink("prog one two", true), P("prog", "one two"));
    EXPECT_EQ(TUbLinkLabel::ParseLink("prog|word", false), P("prog", "word"));
    EXPECT_EQ(TUbLinkLabel::ParseLink("prog one|two", false), P("prog one", "two"));
    EXPECT_EQ(TUbLinkLabel::ParseLink("me@example.org", true), P("Mailto: me@example.org", ""));
    EXPECT_EQ(TUbLinkLabel::ParseLink("me@example.org", false), P("me@example.org", ""));
    EXPECT_EQ(TUbLinkLabel::ParseLink(" \t ", true), P("", ""));
}

TEST(LinkLabel, ClickOpensOnlyWhileThePointerIsOverIt) {
    test::QtApp();
    test::TFakeShell shell;
    TUbLinkLabel label(shell);
    label.setText("Home page");
    label.resize(100, 13);
    label.LinkText = "https://example.org/";
    Release(label, {5, 5}); // no fly-over look yet: nothing happens
    EXPECT_TRUE(shell.Calls.empty());
    label.MouseEntered();
    EXPECT_TRUE(label.MouseOver());
    Release(label, {5, 5});
    ASSERT_EQ(shell.Calls.size(), 1u);
    EXPECT_EQ(shell.Calls[0].Target, "https://example.org/");
    EXPECT_FALSE(shell.Calls[0].Maximized);
    // Pressed over it, dragged out and released outside: nothing opens. While
    // the button is held the label keeps the pointer and gets no Leave, so
    // only the release position tells.
    Release(label, {500, 5});
    EXPECT_EQ(shell.Calls.size(), 1u);
    Release(label, {50, -3});
    EXPECT_EQ(shell.Calls.size(), 1u);
}

TEST(LinkLabel, FlyOverLookComesAndGoes) {
    test::QtApp();
    test::TFakeShell shell;
    TUbLinkLabel label(shell);
    const QFont normal = label.font();
    EXPECT_TRUE(normal.underline());
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(Qt::blue));
    label.MouseEntered();
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(Qt::red));
    label.MouseLeft();
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_EQ(label.font(), normal);
}

TEST(LinkLabel, BlankLinkDoesNothingEvenWithAHandler) {
    test::QtApp();
    test::TFakeShell shell;
    TUbLinkLabel label(shell);
    label.resize(100, 13);
    int handled = 0;
    std::string url;
    label.OnURLExecute = [&](TUbLinkLabel*, const std::string& u) { ++handled, url = u; };
    label.LinkText = "   ";
    label.MouseEntered();
    Release(label, {5, 5});
    EXPECT_EQ(handled, 0);
    label.LinkText = "  target  ";
    Release(label, {5, 5});
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(url, "target");
    EXPECT_TRUE(shell.Calls.empty()); // the handler replaces the shell
}
