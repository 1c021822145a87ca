#include "fakes/TFakeSpeechVoice.h"
#include "fakes/TQueuePoster.h"
#include "platform/linux/TIconvCodec.h"
#include "ui/EngSettFr.h"
#include "ui/SelectorFm.h"
#include "ui/QtTestApp.h"
#include "ui/QtText.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

using namespace parlino;

namespace {

class VoicePanel : public ::testing::Test {
protected:
    void Make(int modern, std::vector<std::string> legacy = {}) {
        test::QtApp();
        SetUiCodec(&Codec);
        Legacy.Modes = std::move(legacy);
        TUbSmartSpeechBackends b = test::FakeVoiceBackends(modern, &Voice);
        b.Sapi4Installed = [this] { return !Legacy.Modes.empty(); };
        b.Sapi4Speech = &Legacy;
        Speech = std::make_unique<TUbSmartSpeech>(std::move(b), Codec, Poster);
        Panel = std::make_unique<TfrEngSett>(*Speech, nullptr, 423, 141);
    }
    void TearDown() override { TfrEngSett::SetSelectorHook(nullptr); }
    bool Shown(QWidget* w) const { return w->isVisibleTo(Panel.get()); }

    TIconvCodec Codec{1252};
    test::TQueuePoster Poster;
    test::TFakeSpeechVoice* Voice = nullptr;
    test::TFakeUbSpeech Legacy;
    std::unique_ptr<TUbSmartSpeech> Speech;
    std::unique_ptr<TfrEngSett> Panel;
};

} // namespace

TEST_F(VoicePanel, SixteenVoicesUseTheListAndSeventeenThePopupInTheSamePlace) {
    Make(16);
    Panel->SetVoice("");
    EXPECT_TRUE(Shown(Panel->lbEngines));
    EXPECT_FALSE(Shown(Panel->selVoice));
    Make(17);
    Panel->SetVoice("Voice 3");
    EXPECT_FALSE(Shown(Panel->lbEngines));
    EXPECT_TRUE(Shown(Panel->selVoice));
    EXPECT_EQ(Panel->selVoice->pos(), Panel->lbEngines->pos());
    EXPECT_EQ(Panel->selVoice->Edit->text(), "Voice 3");
}

TEST_F(VoicePanel, SelectionSetsTheSliderRangesAndUnknownNamesSelectTheFirstVoice) {
    Make(3);
    Panel->SetVoice("nobody");
    EXPECT_EQ(Speech->VoiceName(), "Voice 1");
    EXPECT_EQ(Panel->sb1->Min(), -10);
    EXPECT_EQ(Panel->sb1->Max(), 10);
    EXPECT_EQ(Panel->sb2->Min(), -50);
    EXPECT_EQ(Panel->sb2->Max(), 50);
    EXPECT_EQ(Panel->sb3->Max(), 100);
    EXPECT_EQ(Panel->sb3->Position(), 100);
    EXPECT_EQ(Panel->lVolume->text(), "100");
    EXPECT_EQ(Panel->lSpeed->text(), "0");
    // Moving a slider passes the value on and the label shows what the facade reports.
    Panel->sb1->SetPosition(-4);
    EXPECT_EQ(Voice->RateValue, -4);
    EXPECT_EQ(Speech->SpeedValue, -4);
    EXPECT_EQ(Panel->lSpeed->text(), "-4");
    Panel->sb2->SetPosition(30);
    EXPECT_EQ(Speech->PitchValue, 30);
    EXPECT_EQ(Panel->lPitch->text(), "30");
    Panel->sb3->SetPosition(55);
    EXPECT_EQ(Voice->VolumeValue, 55);
    EXPECT_TRUE(Panel->GetVoiceTags().empty());
}

TEST_F(VoicePanel, ThePopupChoosesAVoiceAndStopsSpeech) {
    Make(20);
    Panel->SetVoice("Voice 2");
    Speech->Text = {"hello"};
    Speech->Speak();
    int shownRows = -1, currentRow = -1;
    TfrEngSett::SetSelectorHook([&](TfmSelector& popup) {
        shownRows = popup.g1->rowCount();
        currentRow = popup.g1->currentRow();
        EXPECT_EQ(popup.g1->item(0, 0)->text(), "0");
        popup.g1->setCurrentCell(14, 1);
        return int(QDialog::Accepted);
    });
    Panel->selVoiceButtonClick();
    EXPECT_EQ(shownRows, 20);
    EXPECT_EQ(currentRow, 1);
    EXPECT_EQ(Speech->VoiceName(), "Voice 15");
    EXPECT_TRUE(Speech->IsIdle()); // the choice stopped the speech
    EXPECT_EQ(Panel->selVoice->Edit->text(), "Voice 15");
    // Cancel changes nothing.
    TfrEngSett::SetSelectorHook([](TfmSelector& popup) {
        popup.g1->setCurrentCell(3, 1);
        return int(QDialog::Rejected);
    });
    Panel->selVoiceButtonClick();
    EXPECT_EQ(Speech->VoiceName(), "Voice 15");
}

TEST_F(VoicePanel, ThePopupOpensUnderTheVoiceBoxAndStaysOnTheScreen) {
    Make(20);
    Panel->SetVoice("Voice 1");
    Panel->move(100, 80);
    Panel->show();
    QPoint opened;
    TfrEngSett::SetSelectorHook([&](TfmSelector& popup) {
        opened = popup.pos();
        return int(QDialog::Rejected);
    });
    Panel->selVoiceButtonClick();
    const QWidget* box = Panel->selVoice;
    EXPECT_EQ(opened, Panel->mapToGlobal(QPoint(box->x(), box->y() + box->height() + 1)));
    // Near the screen's right and bottom edges it moves just enough to stay on it.
    const QRect room = Panel->screen()->availableGeometry();
    Panel->move(room.right() - 200, room.bottom() - 100);
    Panel->selVoiceButtonClick();
    EXPECT_EQ(opened.x(), room.right() + 1 - 253);
    EXPECT_EQ(opened.y(), room.bottom() + 1 - 338);
}

TEST_F(VoicePanel, TagVoicesKeepTheirOwnValuesAndSendThemAsTags) {
    Make(0, {"DiGaLo Anna", "ATT Mike", "ATTila"});
    Panel->SetVoice("digalo anna");
    Panel->sb1->SetPosition(120);
    Panel->sb2->SetPosition(90);
    EXPECT_EQ(Panel->GetVoiceTags(), " \\Spd=120\\  \\Pit=90\\  \\Vol=65535\\ ");
    EXPECT_EQ(Panel->sb1->Position(), 120); // the kept value, not the engine's
    EXPECT_FALSE(Shown(Panel->sb3));
    EXPECT_FALSE(Shown(Panel->lVolume));
    EXPECT_FALSE(Shown(Panel->Label4));

    Panel->SetVoice("ATT Mike");
    EXPECT_TRUE(Panel->GetVoiceTags().empty());
    const int enginePitch = Legacy.Pitch;
    Panel->sb2->SetPosition(77);
    EXPECT_EQ(Legacy.Pitch, enginePitch); // not passed on
    EXPECT_EQ(Panel->sb2->Position(), 77);
    EXPECT_EQ(Speech->PitchValue, 77);
    Panel->sb3->SetPosition(10);
    EXPECT_EQ(Panel->sb3->Position(), Legacy.VolumePercent); // snaps back
    EXPECT_TRUE(Shown(Panel->sb3));

    Panel->SetVoice("ATTila"); // "ATT" without a blank is not the engine
    Panel->sb3->SetPosition(10);
    EXPECT_EQ(Legacy.VolumePercent, 10);
}

TEST_F(VoicePanel, WithoutVoicesTheEmptyListShowsAndTheFailureReachesTheCaller) {
    Make(0);
    EXPECT_THROW(Panel->SetVoice(""), std::exception);
    EXPECT_TRUE(Shown(Panel->lbEngines));
    EXPECT_EQ(Panel->lbEngines->count(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

namespace {

void Key(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

void Mouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button) {
    QMouseEvent e(type, QPointF(at), target->mapToGlobal(QPointF(at)), button,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QApplication::sendEvent(target, &e);
}

} // namespace

// The real popup, run modally as the user meets it: `act` runs once it is open.
TEST_F(VoicePanel, TheRealPopupIsConfirmedByEnterSpaceOrAReleaseAndCancelledByEscapeOrX) {
    Make(20);
    Panel->SetVoice("Voice 1");
    Panel->show();
    const auto openAnd = [this](const std::function<void(TfmSelector&)>& act) {
        bool opened = false;
        QTimer::singleShot(0, Panel.get(), [&] {
            TfmSelector* popup = Panel->findChild<TfmSelector*>();
            ASSERT_NE(popup, nullptr);
            ASSERT_TRUE(popup->isVisible());
            opened = true;
            act(*popup);
            if (popup->isVisible()) popup->reject(); // never leave the test waiting
        });
        Panel->selVoiceButtonClick();
        EXPECT_TRUE(opened);
    };
    openAnd([](TfmSelector& p) {
        p.g1->setCurrentCell(5, 1);
        Key(p.g1, Qt::Key_Return);
    });
    EXPECT_EQ(Speech->VoiceName(), "Voice 6");
    openAnd([](TfmSelector& p) {
        EXPECT_EQ(p.g1->currentRow(), 5); // opens on the voice in use
        Key(p.g1, Qt::Key_Down);
        Key(p.g1, Qt::Key_Space);
    });
    EXPECT_EQ(Speech->VoiceName(), "Voice 7");
    openAnd([](TfmSelector& p) {
        Key(p.g1, Qt::Key_Down);
        Key(p.g1, Qt::Key_Escape);
    });
    EXPECT_EQ(Speech->VoiceName(), "Voice 7");
    openAnd([](TfmSelector& p) {
        Key(p.g1, Qt::Key_Down);
        p.btClose->click();
    });
    EXPECT_EQ(Speech->VoiceName(), "Voice 7");
    EXPECT_EQ(Panel->findChild<TfmSelector*>(), nullptr); // freed when it closed
    openAnd([](TfmSelector& p) { // any button released over a row picks it
        Mouse(p.g1->viewport(), QEvent::MouseButtonRelease, p.g1->visualItemRect(p.g1->item(2, 1)).center(),
              Qt::RightButton);
    });
    EXPECT_EQ(Speech->VoiceName(), "Voice 3");
}

TEST_F(VoicePanel, TheRealPopupIsDraggedByItsBarWithTheLeftButtonOnly) {
    Make(20);
    Panel->SetVoice("Voice 1");
    Panel->show();
    QPoint opened, dragged, rightDragged;
    QTimer::singleShot(0, Panel.get(), [&] {
        TfmSelector* p = Panel->findChild<TfmSelector*>();
        ASSERT_NE(p, nullptr);
        opened = p->pos();
        Mouse(p->pnlBottom, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
        Mouse(p->pnlBottom, QEvent::MouseMove, {45, 25}, Qt::LeftButton);
        Mouse(p->pnlBottom, QEvent::MouseButtonRelease, {45, 25}, Qt::LeftButton);
        dragged = p->pos();
        Mouse(p->pnlBottom, QEvent::MouseButtonPress, {5, 5}, Qt::RightButton);
        Mouse(p->pnlBottom, QEvent::MouseMove, {45, 25}, Qt::RightButton);
        rightDragged = p->pos();
        p->btClose->click();
    });
    Panel->selVoiceButtonClick();
    EXPECT_EQ(dragged - opened, QPoint(40, 20));
    EXPECT_EQ(rightDragged, dragged);
}
