#include "app/ParlinoFmA.h"
#include "fakes/TFakeFilmReader.h"
#include "fakes/TFakePlatform.h"
#include "fakes/TFakePlayers.h"
#include "fakes/TFakeSpeechVoice.h"
#include "fakes/TQueuePoster.h"
#include "ui/MessageFm.h"
#include "subtitles/FormatTime.h"
#include "ui/QtTestApp.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QStyleFactory>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace parlino;

namespace {

std::string Data(const std::string& name) { return std::string(PARLINO_TEST_DATA) + "/subtitles/" + name; }

struct TInfoSeen {
    QString Caption, Text, Link, LinkCaption;
    int Height = 0;
    QString ReadAloud; // what a screen reader reads for the message
};
TInfoSeen lastInfo;

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        test::QtApp();
        SetErrorHook([this](const std::string& m) { Errors.push_back(m); });
        SetShowInfoHook([](TFmInfo& box) {
            lastInfo = {box.windowTitle(), box.lText->text(), QString::fromStdString(box.lLink->LinkText),
                        box.lLink->text(), box.height(),
                        QAccessible::queryAccessibleInterface(box.lText)->text(QAccessible::Name)};
        });
        Window = std::make_unique<TfmParlinoA>(Fake.Platform, Env, Players.Environment);
        Window->show();
    }
    void TearDown() override {
        Window.reset();
        SetErrorHook(nullptr);
        SetShowInfoHook(nullptr);
    }
    bool Shown(QWidget* w) const { return w->isVisibleTo(Window.get()); }
    QString Cell(int gridRow, int column) const {
        // Grid row 0 is the header row; model row r is grid row r + 1.
        return Window->GridModel->index(gridRow - 1, column).data().toString();
    }
    void Screenshot(const char* name) {
        if (const char* dir = std::getenv("PARLINO_SCREENSHOT_DIR"))
            Window->grab().save(QString(dir) + "/" + name + ".png");
    }

    test::TFakePlatform Fake;
    test::TFakePlayers Players;
    test::TQueuePoster Poster;
    test::TFakeSpeechVoice* Voice = nullptr;
    TSpeechEnvironment Env{test::FakeVoiceBackends(3, &Voice), Poster, nullptr};
    std::vector<std::string> Errors;
    std::unique_ptr<TfmParlinoA> Window;
};

} // namespace

TEST_F(MainWindow, BeforeLoadingOnlyHeaderFileExpertVoiceAndStatusShow) {
    TfmParlinoA& w = *Window;
    Screenshot("start");
    EXPECT_EQ(w.windowTitle(), "Parlino");
    for (QWidget* shown : std::initializer_list<QWidget*>{w.pnlHeader, w.gbFile, w.gbExpert, w.gbVoice, w.pnlState}) EXPECT_TRUE(Shown(shown));
    for (QWidget* hidden : {static_cast<QWidget*>(w.gbControlMode), static_cast<QWidget*>(w.gbControlTrack),
                            static_cast<QWidget*>(w.gbControlManual), static_cast<QWidget*>(w.gbSubs),
                            static_cast<QWidget*>(w.cbDic), static_cast<QWidget*>(w.btDicHelp),
                            static_cast<QWidget*>(w.btDic), static_cast<QWidget*>(w.lProcess),
                            static_cast<QWidget*>(w.sbProcess)})
        EXPECT_FALSE(Shown(hidden)) << hidden->metaObject()->className();
    EXPECT_TRUE(w.lWarning->text().isEmpty());
    EXPECT_TRUE(w.lStatus1->text().isEmpty());
    EXPECT_TRUE(w.lStatus2->text().isEmpty());
    EXPECT_EQ(w.cbCharset->count(), 18);
    EXPECT_EQ(w.cbCharset->currentIndex(), -1);
    EXPECT_TRUE(w.chkCompleteSpeech->isChecked());
    EXPECT_TRUE(w.chkTracing->isChecked());
    EXPECT_TRUE(w.rbTrack->isChecked());
    EXPECT_TRUE(Errors.empty());
}

TEST_F(MainWindow, LoadingASubRipFileShowsTheGroupsAndFillsTheGrid) {
    TfmParlinoA& w = *Window;
    w.LoadSubtitles(Data("basic_crlf.srt"));
    Screenshot("loaded");
    EXPECT_TRUE(w.Loaded);
    EXPECT_EQ(w.eFile->text().toStdString(), Data("basic_crlf.srt"));
    for (QWidget* shown : std::initializer_list<QWidget*>{w.gbControlMode, w.gbControlTrack, w.gbSubs}) EXPECT_TRUE(Shown(shown));
    EXPECT_FALSE(Shown(w.gbControlManual));
    EXPECT_EQ(w.GridModel->GridRowCount(), static_cast<int>(w.Items.size()) + 2);
    EXPECT_EQ(w.GridModel->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "#");
    EXPECT_EQ(w.GridModel->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Time");
    EXPECT_EQ(w.GridModel->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), "Text");
    EXPECT_EQ(Cell(1, 0), "1");
    EXPECT_EQ(Cell(1, 1), "00:00:00");
    EXPECT_EQ(Cell(1, 2), "");
    EXPECT_EQ(Cell(2, 0), "2");
    EXPECT_EQ(Cell(2, 1), "00:01:02");
    EXPECT_EQ(Cell(2, 2), "Hello there.");
    EXPECT_EQ(Cell(4, 2), ""); // the empty last row
    EXPECT_EQ(w.sg1->currentIndex().row(), 0);
    EXPECT_EQ(w.sg1->currentIndex().column(), 1);
    EXPECT_EQ(w.sg1->columnWidth(0), 64);
    EXPECT_EQ(w.sg1->columnWidth(2), 262);

    // The manual control group takes the following group's place.
    w.rbManual->click();
    EXPECT_TRUE(Shown(w.gbControlManual));
    EXPECT_FALSE(Shown(w.gbControlTrack));
    EXPECT_EQ(w.gbControlManual->geometry(), w.gbControlTrack->geometry());
    EXPECT_TRUE(w.btPlay->isEnabled());
    EXPECT_FALSE(w.btPause->isEnabled());
    EXPECT_FALSE(w.btStop->isEnabled());
    EXPECT_TRUE(w.btStartWatch->isEnabled());
    EXPECT_FALSE(w.btStopWatch->isEnabled());
    EXPECT_TRUE(Errors.empty());
}

TEST_F(MainWindow, DictionaryChoiceHidesTheSubtitlesUntilTheFileIsLoadedAgain) {
    TfmParlinoA& w = *Window;
    w.LoadSubtitles(Data("timecode.txt"));
    ASSERT_TRUE(Shown(w.gbSubs));
    w.chkDict->click();
    EXPECT_FALSE(w.Loaded);
    EXPECT_FALSE(Shown(w.gbSubs));
    EXPECT_FALSE(Shown(w.gbControlMode));
    EXPECT_TRUE(Shown(w.cbDic));
    EXPECT_TRUE(Shown(w.btDicHelp));
    w.LoadSubtitles(Data("timecode.txt"));
    EXPECT_TRUE(Shown(w.gbSubs));
}

TEST_F(MainWindow, AnEmptySubRipFileFailsAndLeavesTheGroupsHidden) {
    TfmParlinoA& w = *Window;
    w.LoadSubtitles(Data("basic_crlf.srt"));
    try {
        w.LoadSubtitles(Data("empty.srt"));
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "The subtitle file holds no subtitles.");
    }
    EXPECT_FALSE(w.Loaded);
    EXPECT_FALSE(Shown(w.gbSubs));
    EXPECT_FALSE(Shown(w.gbControlMode));
    EXPECT_EQ(w.eFile->text().toStdString(), Data("empty.srt")); // the path stays in the box
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindow, WebVttAndAssFilesFillTheGridAsReadAndSpeakTheirCleanedText) {
    TfmParlinoA& w = *Window;
    const std::string data = PARLINO_TEST_DATA;
    w.LoadSubtitles(data + "/webvtt/own_tags_and_entities.vtt");
    EXPECT_TRUE(w.Loaded);
    EXPECT_TRUE(Shown(w.gbSubs));
    ASSERT_EQ(w.Items.size(), 5u);
    EXPECT_EQ(Cell(1, 1), "00:00:00"); // the leading entry
    EXPECT_EQ(Cell(3, 0), "3");
    EXPECT_EQ(Cell(3, 1), "00:00:04");
    EXPECT_EQ(Cell(3, 2), "Fish &amp; chips &lt;3 &gt;&gt; a&nbsp;b &lrm;left&rlm; &quot;kept&quot; & alone");
    EXPECT_EQ(w.Items[2].SpeechText, "Fish & chips <3 >> a b left &quot;kept&quot; & alone");
    EXPECT_EQ(w.eFile->text().toStdString(), data + "/webvtt/own_tags_and_entities.vtt");

    w.LoadSubtitles(data + "/ass/pysubs2_ttml_example.ass");
    EXPECT_TRUE(w.Loaded);
    ASSERT_EQ(w.Items.size(), 12u);
    EXPECT_EQ(Cell(3, 2), "that the image formed on\\Nthe Retina should be inverted?");
    EXPECT_EQ(w.Items[2].SpeechText, "that the image formed on the Retina should be inverted?");
    EXPECT_TRUE(Errors.empty());
}

TEST_F(MainWindow, AFileWithNothingToSpeakFailsLikeAnEmptySubRipFileAndSaysWhy) {
    TfmParlinoA& w = *Window;
    const std::string data = PARLINO_TEST_DATA;
    const std::pair<std::string, std::string> cases[] = {
        {data + "/ass/own_no_events.ass", "It has no [Events] section, so it is not an ASS/SSA file."},
        {data + "/webvtt/own_binary.vtt",
         "It does not begin with the line \"WEBVTT\", so it is not a WebVTT file."},
        // A SubRip file and a timecode list with text but no subtitle in it
        // used to load as nothing, without a word.
        {Data("no_block.srt"), "It has no SubRip block (a number line, then a time line)."},
        {Data("prose.txt"), "None of its lines is a timecode line \"hh:mm:ss:cc hh:mm:ss:cc text\"."},
    };
    for (const auto& [file, reason] : cases) {
        w.LoadSubtitles(Data("basic_crlf.srt"));
        try {
            w.LoadSubtitles(file);
            FAIL() << "no error for " << file;
        } catch (const std::exception& e) {
            EXPECT_EQ(std::string(e.what()), "The subtitle file holds no subtitles. " + reason);
        }
        EXPECT_FALSE(w.Loaded);
        EXPECT_TRUE(w.Items.empty());
        EXPECT_FALSE(Shown(w.gbSubs));
        EXPECT_FALSE(Shown(w.gbControlMode));
        EXPECT_EQ(w.eFile->text().toStdString(), file); // the path stays in the box
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

TEST_F(MainWindow, TheLoadDialogOffersEveryExtensionTheReadersChoose) {
    const QString filter = TfmParlinoA::LoadDialogFilter;
    const QStringList types = filter.split(";;");
    ASSERT_GE(types.size(), 2);
    EXPECT_EQ(types.front(), "Subtitles (*.srt *.vtt *.ass *.ssa *.txt)");
    EXPECT_TRUE(types.contains("WebVTT (*.vtt)"));
    EXPECT_TRUE(types.contains("ASS/SSA (*.ass *.ssa)"));
    EXPECT_TRUE(types.back().startsWith("All files"));
}

TEST_F(MainWindow, AFileThatCannotBeOpenedLeavesTheFileBoxEmpty) {
    TfmParlinoA& w = *Window;
    w.LoadSubtitles(Data("basic_crlf.srt"));
    try {
        w.LoadSubtitles(Data("missing.srt"));
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("Cannot open file"), std::string::npos);
    }
    EXPECT_FALSE(w.Loaded);
    EXPECT_TRUE(w.eFile->text().isEmpty());
    EXPECT_FALSE(Shown(w.gbSubs));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // A folder fails the same way, and an empty timecode file loads.
    EXPECT_ANY_THROW(w.LoadSubtitles(std::string(PARLINO_TEST_DATA)));
    w.LoadSubtitles(Data("empty.txt"));
    EXPECT_TRUE(w.Loaded);
    EXPECT_EQ(w.Items.size(), 2u);
}

TEST_F(MainWindow, AFileHandedOverFromOutsideLoadsAsLoadDoesAndItsFailureIsReported) {
    TfmParlinoA& w = *Window;
    w.OpenFile(Data("basic_crlf.srt"));
    EXPECT_TRUE(Errors.empty());
    EXPECT_TRUE(w.Loaded);
    EXPECT_EQ(w.eFile->text().toStdString(), Data("basic_crlf.srt"));
    EXPECT_TRUE(Shown(w.gbSubs));
    EXPECT_EQ(Cell(2, 2), "Hello there.");
    // A file that cannot be read: the message "Load.." gives, shown instead of thrown.
    w.OpenFile(Data("missing.srt"));
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_NE(Errors[0].find("Cannot open file"), std::string::npos) << Errors[0];
    EXPECT_FALSE(w.Loaded);
    EXPECT_TRUE(w.eFile->text().isEmpty());
}

TEST_F(MainWindow, RussianCharsetMakesTheGridShowAWindows1251File) {
    TfmParlinoA& w = *Window; // the fake system code page is 1252
    w.LoadSubtitles(Data("cp1251.srt"));
    EXPECT_NE(Cell(2, 2), QString::fromUtf8("Привет, мир!"));
    w.cbCharset->setCurrentText("RUSSIAN_CHARSET");
    EXPECT_EQ(w.GridCharset, 204);
    EXPECT_EQ(Cell(2, 2), QString::fromUtf8("Привет, мир!"));
    w.cbCharset->setCurrentText("ANSI_CHARSET");
    EXPECT_EQ(Cell(2, 2), QString::fromUtf8("Ïðèâåò, ìèð!"));
}

TEST_F(MainWindow, EveryControlIsReachableByKeyboardAndNamed) {
    TfmParlinoA& w = *Window;
    w.LoadSubtitles(Data("basic_crlf.srt"));
    std::vector<QWidget*> chain;
    QWidget* start = w.eFile;
    QWidget* next = start;
    do {
        chain.push_back(next);
        next = next->nextInFocusChain();
    } while (next != start && chain.size() < 500);
    auto reachable = [&](QWidget* control) {
        return std::find(chain.begin(), chain.end(), control) != chain.end() &&
               control->focusPolicy() != Qt::NoFocus;
    };
    for (QWidget* control : std::initializer_list<QWidget*>{
             w.btLoad, w.chkDict, w.frEngSett1->sb1, w.cbDevice, w.cbCharset, w.eTest, w.bt1, w.rbTrack,
             w.cbPlayerType, w.btPlayerHint, w.btStartWatch, w.btStopWatch, w.eSpeechShift, w.chkCompleteSpeech,
             w.chkTracing, w.sg1, w.linkHomepage})
        EXPECT_TRUE(reachable(control)) << control->metaObject()->className();
    // The tab order follows the window from top to bottom.
    auto at = [&](QWidget* c) { return std::find(chain.begin(), chain.end(), c) - chain.begin(); };
    EXPECT_LT(at(w.btLoad), at(w.cbDevice));
    EXPECT_LT(at(w.cbDevice), at(w.bt1));
    EXPECT_LT(at(w.bt1), at(w.rbTrack));
    EXPECT_LT(at(w.rbTrack), at(w.sg1));

    // Controls without a caption of their own carry an accessible name.
    for (QWidget* control : std::initializer_list<QWidget*>{w.sg1, w.eFile, w.frEngSett1->sb1, w.frEngSett1->sb2,
                                                            w.frEngSett1->sb3, w.cbDevice, w.cbCharset, w.cbDic,
                                                            w.eTest, w.eSpeechShift, w.btDicHelp, w.btPlayerHint})
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->metaObject()->className();
    EXPECT_EQ(w.sg1->accessibleName(), "Loaded subtitles");
    EXPECT_EQ(w.lWarning->accessibleDescription(), "Warning");
    EXPECT_EQ(w.lStatus1->accessibleDescription(), "Playback state");
    EXPECT_EQ(w.lStatus2->accessibleDescription(), "Position");
    // The status labels' text is what a screen reader reads as their name.
    w.lStatus1->setText("Playing");
    QAccessibleInterface* status = QAccessible::queryAccessibleInterface(w.lStatus1);
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->text(QAccessible::Name), "Playing");
    EXPECT_EQ(status->text(QAccessible::Description), "Playback state");
    QAccessibleInterface* load = QAccessible::queryAccessibleInterface(w.btLoad);
    EXPECT_EQ(load->text(QAccessible::Name), "Load..");
}

TEST_F(MainWindow, InformationBoxesCarryTheirTextsLinksAndHeights) {
    TfmParlinoA& w = *Window;
    w.btPlayerHint->click();
    EXPECT_EQ(lastInfo.Caption, "Hint");
    EXPECT_EQ(lastInfo.Text, "\nFor now only MPC/MPC HC\nvideo player synchronization supported\nYou can download it here:\n");
    EXPECT_EQ(lastInfo.LinkCaption, "MPC HC home page");
    EXPECT_EQ(lastInfo.Link.toStdString(), TfmParlinoA::PlayerHomePage);
    EXPECT_EQ(lastInfo.Height, 229 - 85);
    EXPECT_EQ(lastInfo.ReadAloud, lastInfo.Text);
    w.chkDict->click();
    w.btDicHelp->click();
    EXPECT_EQ(lastInfo.Caption, "About dictionaries");
    EXPECT_EQ(lastInfo.Text, "Dictionaries is a text correction rules files. Its located in Parlino` [Dic] folder.\n"
                             "You could edit and test dictionaries with Bookvane software.\n");
    EXPECT_EQ(lastInfo.LinkCaption, "Bookvane website");
    EXPECT_EQ(lastInfo.Height, 229 - 74);
    w.About1Click();
    EXPECT_EQ(lastInfo.Caption, "About");
    EXPECT_EQ(lastInfo.LinkCaption, "Home page");
    EXPECT_EQ(lastInfo.Height, 229 - 64);
    EXPECT_EQ(lastInfo.Link.toStdString(), w.HomePage());
}

TEST_F(MainWindow, DraggingByAGroupMovesTheWholeWindow) {
    TfmParlinoA& w = *Window;
    w.move(100, 100);
    const QPoint before = w.pos();
    const QSize size = w.size();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, 20), w.gbVoice->mapToGlobal(QPointF(20, 20)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.gbVoice, &press);
    EXPECT_TRUE(w.Dragging);
    QMouseEvent move(QEvent::MouseMove, QPointF(50, 35), w.gbVoice->mapToGlobal(QPointF(50, 35)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.gbVoice, &move);
    EXPECT_EQ(w.pos(), before + QPoint(30, 15)) << before.x() << "," << before.y();
    EXPECT_EQ(w.size(), size);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(50, 35), w.gbVoice->mapToGlobal(QPointF(50, 35)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w.gbVoice, &release);
    EXPECT_FALSE(w.Dragging);
}

TEST_F(MainWindow, TheChosenDictionaryRewritesTheSpokenTextAndTagsAreNeverSpoken) {
    Window.reset();
    // The program folder is the source tree, whose Dic folder holds the shipped dictionaries.
    Fake.Folders.Program = std::string(PARLINO_TEST_DATA) + "/../..";
    Window = std::make_unique<TfmParlinoA>(Fake.Platform, Env, Players.Environment);
    TfmParlinoA& w = *Window;
    ASSERT_GE(w.cbDic->count(), 3);
    EXPECT_EQ(w.cbDic->itemText(0), "English-Numbers.dic"); // sorted without regard to case
    EXPECT_EQ(w.cbDic->currentIndex(), 0);
    const std::string file = std::string(PARLINO_TEST_DATA) + "/../../examples/welcome_utf8.srt";
    w.LoadSubtitles(file); // no dictionary ticked: only the tags go
    ASSERT_GE(w.Items.size(), 5u);
    EXPECT_EQ(w.Items[3].SpeechText, "Italic mark-up is never spoken.");
    EXPECT_EQ(w.Items[3].DisplayText, "<i>Italic mark-up is never spoken.</i>");
    EXPECT_EQ(w.Items[4].SpeechText, "Dr. Smith lives at 5 Baker St.");

    w.chkDict->click();
    w.cbDic->setCurrentText("English.dic");
    EXPECT_FALSE(w.Loaded);
    w.LoadSubtitles(file);
    EXPECT_TRUE(w.Loaded);
    EXPECT_EQ(w.Items[4].SpeechText.find("Doctor Smith"), 0u) << w.Items[4].SpeechText;
    EXPECT_EQ(w.Items[4].DisplayText, "Dr. Smith lives at 5 Baker St.");
    EXPECT_EQ(Cell(5, 2), "Dr. Smith lives at 5 Baker St.");
    // The progress display was there during the pass and is gone afterwards.
    EXPECT_EQ(w.sbProcess->maximum(), static_cast<int>(w.Items.size()) - 1);
    EXPECT_FALSE(Shown(w.sbProcess));
    EXPECT_FALSE(Shown(w.lProcess));
    // A failing load hides it as well.
    EXPECT_ANY_THROW(w.LoadSubtitles(Data("empty.srt")));
    EXPECT_FALSE(Shown(w.sbProcess));
    EXPECT_FALSE(Shown(w.lProcess));
}

TEST_F(MainWindow, SayItSpeaksTheTestLineWithTheCharsetsCodePageAndEndsTheRun) {
    TfmParlinoA& w = *Window;
    ASSERT_NE(Voice, nullptr);
    EXPECT_EQ(w.Speech->VoiceName(), "Voice 1"); // the first voice is selected at start
    EXPECT_EQ(w.frEngSett1->lbEngines->count(), 3);
    w.LoadSubtitles(Data("basic_crlf.srt"));
    w.rbManual->click();
    w.btPlayClick();
    ASSERT_TRUE(w.Running());
    w.eTest->setText("   ");
    w.bt1->click();
    EXPECT_FALSE(w.Running()); // a blank text only ends the run
    const size_t calls = Voice->Calls.size();
    w.cbCharset->setCurrentText("RUSSIAN_CHARSET");
    w.eTest->setText(QString::fromUtf8(" Café "));
    w.bt1->click();
    ASSERT_EQ(Voice->Calls.size(), calls + 1);
    EXPECT_EQ(w.Speech->CodePage, 1251);
    EXPECT_EQ(w.Speech->AudioOutput, -2); // no sound card list in this test: no selection
    EXPECT_EQ(Voice->Calls.back().Flags, 11);
    // The untrimmed text, after the pitch prefix, in the system code page (1252 here) read as 1251.
    EXPECT_EQ(Voice->Calls.back().Text, u"<PITCH ABSMIDDLE=\"0\"> Caf\u0439 \r\n");
}

TEST_F(MainWindow, PlayPauseStopAndDoubleClickDriveTheManualClock) {
    TfmParlinoA& w = *Window;
    w.LoadSubtitles(Data("basic_crlf.srt"));
    w.rbManual->click();
    EXPECT_TRUE(w.btPlay->isEnabled());
    EXPECT_FALSE(w.btPause->isEnabled());
    EXPECT_FALSE(w.btStop->isEnabled());
    w.btPlay->click();
    EXPECT_TRUE(w.Running());
    EXPECT_FALSE(w.btPlay->isEnabled());
    EXPECT_TRUE(w.btPause->isEnabled());
    EXPECT_TRUE(w.btStop->isEnabled());
    EXPECT_FALSE(w.btStartWatch->isEnabled());
    // Row 1 is selected: the clock starts 200 ms before the track.
    EXPECT_LE(w.Controller->Connection->GetPosition(), -150);
    w.ProcessTick();
    EXPECT_EQ(w.lStatus1->text(), "Playing");
    EXPECT_EQ(w.lStatus2->text(), "00:00:00");
    w.btPause->click();
    EXPECT_TRUE(w.btPlay->isEnabled());
    EXPECT_FALSE(w.btPause->isEnabled());
    auto clock = w.Controller->Connection;
    w.btPlay->click(); // a running clock only resumes
    EXPECT_EQ(w.Controller->Connection, clock);
    // A double-click jumps to the row: 200 ms before its entry.
    w.sg1->setCurrentIndex(w.GridModel->index(2, 1));
    w.sg1DblClick();
    EXPECT_EQ(w.Controller->Connection, clock);
    EXPECT_NEAR(w.Controller->Connection->GetPosition(), 66000 - 200, 50);
    w.btStop->click();
    EXPECT_FALSE(w.Running());
    EXPECT_TRUE(w.lStatus1->text().isEmpty());
    EXPECT_FALSE(w.btStop->isEnabled());
    // Following finds no player on this platform: the waiting text shows.
    w.rbTrack->click();
    w.btStartWatch->click();
    w.ProcessTick();
    EXPECT_TRUE(w.lWarning->text().startsWith("Waiting..\nPlease, run \"Media Player Classic (or MPC HC)\""));
    w.btStopWatch->click();
    EXPECT_TRUE(w.lWarning->text().isEmpty());
}

TEST_F(MainWindow, WithoutVoicesTheFailureIsShownOnceAtStartAndOncePerRun) {
    Window.reset();
    Errors.clear();
    TSpeechEnvironment none{test::FakeVoiceBackends(0, &Voice), Poster, nullptr};
    Window = std::make_unique<TfmParlinoA>(Fake.Platform, none, Players.Environment);
    TfmParlinoA& w = *Window;
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], "TUbSmartSpeech.GetInfo: Select voice first!");
    EXPECT_TRUE(w.frEngSett1->lbEngines->isVisibleTo(&w));
    w.LoadSubtitles(Data("basic_crlf.srt"));
    EXPECT_TRUE(w.Loaded); // the window works all the same
    w.rbManual->click();
    w.btPlay->click();
    for (int i = 0; i < 30; ++i) w.ProcessTick();
    EXPECT_EQ(Errors.size(), 1u); // shown after the tick has returned, never from inside it
    QCoreApplication::processEvents();
    EXPECT_EQ(Errors.size(), 2u);
    w.btStop->click();
    w.btPlay->click();
    for (int i = 0; i < 30; ++i) w.ProcessTick();
    QCoreApplication::processEvents();
    EXPECT_EQ(Errors.size(), 3u);
}

TEST_F(MainWindow, TheTimeShiftFollowsTheSpinEdit) {
    TfmParlinoA& w = *Window;
    w.eSpeechShift->setValue(-3);
    EXPECT_EQ(w.Controller->TimeShift, -3000);
    w.btPlayClick();
    EXPECT_EQ(w.Controller->TimeShift, 0);
    w.btStopClick();
    w.btStartWatchClick();
    EXPECT_EQ(w.Controller->TimeShift, -3000);
}

TEST_F(MainWindow, ThePlayerTypesAndTheirHintsAndTheWaitingTextNamingTheChosenOne) {
    TfmParlinoA& w = *Window;
    ASSERT_EQ(w.cbPlayerType->count(), 3);
    EXPECT_EQ(w.cbPlayerType->itemText(0), "Media Player Classic (or MPC HC)");
    EXPECT_EQ(w.cbPlayerType->itemText(1), "mpv");
    EXPECT_EQ(w.cbPlayerType->itemText(2), "MPRIS media player (VLC, Celluloid, browsers, mpv with mpv-mpris)");
    EXPECT_EQ(w.cbPlayerType->currentIndex(), 0); // this fake system has the player's windows
    w.cbPlayerType->setCurrentIndex(1);
    w.btPlayerHint->click();
    const QString socket = QString::fromStdString(Fake.Folders.Runtime) + "/parlino-mpv.sock";
    EXPECT_EQ(lastInfo.Text, "\nStart mpv with the option\n--input-ipc-server=" + socket +
                                 "\nor add this line to your mpv.conf:\ninput-ipc-server=" + socket + "\n");
    EXPECT_EQ(lastInfo.LinkCaption, "mpv home page");
    // Following mpv that does not listen: the waiting text names it, and the
    // socket of the hint is the one looked for.
    Players.Mpv->Listening = false;
    w.LoadSubtitles(Data("basic_crlf.srt"));
    w.btStartWatch->click();
    w.ProcessTick();
    EXPECT_EQ(w.lWarning->text(), "Waiting..\nPlease, run \"mpv\" and start video there.");
    ASSERT_FALSE(Players.Mpv->OpenedPaths.empty());
    EXPECT_EQ(QString::fromStdString(Players.Mpv->OpenedPaths.back()), socket);
    w.btStopWatch->click();
    w.cbPlayerType->setCurrentIndex(2);
    w.btPlayerHint->click();
    EXPECT_TRUE(lastInfo.Text.contains("VLC, Celluloid, a web browser"));
}

TEST_F(MainWindow, WhereThePlayerWindowsCannotExistTheSessionBusPlayersAreChosenAndFollowed) {
    Window.reset();
    std::filesystem::remove(Fake.Folders.Local + "/Parlino/Parlino.ini"); // a first start
    Players.Windows.Foreign = false;
    Window = std::make_unique<TfmParlinoA>(Fake.Platform, Env, Players.Environment);
    TfmParlinoA& w = *Window;
    EXPECT_EQ(w.cbPlayerType->currentIndex(), 2);
    Players.Bus.AddPlayer("org.mpris.MediaPlayer2.vlc").PositionUs = 30'000'000;
    w.LoadSubtitles(Data("basic_crlf.srt"));
    w.btStartWatch->click();
    for (int i = 0; i < 3; ++i) w.ProcessTick();
    EXPECT_TRUE(w.lWarning->text().isEmpty());
    EXPECT_EQ(w.lStatus1->text(), "Playing");
    EXPECT_EQ(w.lStatus2->text(), "00:00:30");
    EXPECT_EQ(Players.Bus.Raised, std::vector<std::string>{"org.mpris.MediaPlayer2.vlc"}); // brought forward
    EXPECT_FALSE(w.btStartWatch->isEnabled());
    EXPECT_TRUE(w.btStopWatch->isEnabled());
}

namespace {
std::string WriteTrack(const std::string& name, const std::vector<std::pair<int, std::string>>& entries) {
    const std::string path = ::testing::TempDir() + "/" + name;
    std::ofstream out(path, std::ios::binary);
    for (const auto& [ms, text] : entries)
        out << FormatTime(ms) << ":" << (ms % 1000 / 10 < 10 ? "0" : "") << ms % 1000 / 10 << " "
            << FormatTime(ms + 500) << ":00 " << text << "\r\n";
    return path;
}
} // namespace

TEST_F(MainWindow, PlayFromRowOneStartsBeforeTheTrackWhereTheLeadingEntrySaysNothing) {
    TfmParlinoA& w = *Window;
    w.LoadSubtitles(Data("basic_crlf.srt"));
    w.rbManual->click();
    w.sg1->setCurrentIndex(w.GridModel->index(0, 1));
    const size_t calls = Voice->Calls.size();
    w.btPlay->click();
    w.ProcessTick();
    EXPECT_EQ(w.Controller->Connection->GetPosition(), -200); // the fake clock stands still
    EXPECT_EQ(w.lStatus2->text(), "00:00:00");
    EXPECT_EQ(Voice->Calls.size(), calls); // found, but with no text it goes to no voice
    EXPECT_TRUE(w.Items[0].Spoken);
}

TEST_F(MainWindow, TogglingTheQueueBoxDropsTheWaitingSubtitles) {
    TfmParlinoA& w = *Window;
    w.LoadSubtitles(WriteTrack("queue.txt", {{1000, "long"}, {1500, "a"}, {2000, "b"}}));
    w.rbManual->click();
    w.sg1->setCurrentIndex(w.GridModel->index(0, 1));
    w.btPlay->click();
    for (int t = 0; t <= 2200; t += 100) {
        Fake.Ticks.Advance(100);
        w.ProcessTick();
        // "long" never ends
        Poster.Pump();
    }
    ASSERT_EQ(w.Controller->Queue.size(), 2u);
    w.chkCompleteSpeech->click();
    EXPECT_TRUE(w.Controller->Queue.empty());
    const size_t calls = Voice->Calls.size();
    Voice->FireEnd(Voice->NextStream);
    Poster.Pump();
    for (int t = 0; t < 10; ++t) {
        Fake.Ticks.Advance(100);
        w.ProcessTick();
    }
    EXPECT_EQ(Voice->Calls.size(), calls); // "a" and "b" stay unspoken in this run
}

TEST_F(MainWindow, WhileFollowingADoubleClickDoesNothingAndSayItEndsTheRun) {
    TfmParlinoA& w = *Window;
    w.LoadSubtitles(Data("basic_crlf.srt"));
    w.eSpeechShift->setValue(3);
    w.btStartWatch->click();
    ASSERT_TRUE(w.Running());
    const auto follower = w.Controller->Connection;
    const int stops = Voice->Calls.size();
    w.sg1->setCurrentIndex(w.GridModel->index(2, 1));
    w.sg1DblClick();
    EXPECT_EQ(w.Controller->Connection, follower);
    EXPECT_EQ(w.Controller->TimeShift, 3000);
    EXPECT_EQ(static_cast<int>(Voice->Calls.size()), stops); // the voice was not even stopped
    EXPECT_TRUE(w.Running());
    w.eTest->setText("Testing");
    w.bt1->click();
    EXPECT_FALSE(w.Running());
    EXPECT_TRUE(w.btStartWatch->isEnabled());
}

TEST_F(MainWindow, EnterOnARowStartsPlaybackThereAsADoubleClickDoes) {
    TfmParlinoA& w = *Window;
    w.LoadSubtitles(Data("basic_crlf.srt"));
    w.rbManual->click();
    w.sg1->setFocus();
    w.sg1->setCurrentIndex(w.GridModel->index(2, 1));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(w.sg1, &enter);
    ASSERT_TRUE(w.Running());
    EXPECT_EQ(w.Controller->Connection->GetPosition(), 66000 - 200); // row 3 starts at 66 s
}

TEST_F(MainWindow, AutoScrollMovesTheGridByRowsEvenWhereTheStyleScrollsByPixels) {
    class TPixelScrolling : public QProxyStyle {
    public:
        int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                      QStyleHintReturn* data) const override {
            if (hint == SH_ItemView_ScrollMode) return QAbstractItemView::ScrollPerPixel;
            return QProxyStyle::styleHint(hint, option, widget, data);
        }
    };
    Window.reset();
    const QString savedStyle = QApplication::style()->name(); // the application deletes a replaced style
    auto* pixels = new TPixelScrolling;
    pixels->setBaseStyle(nullptr);
    QApplication::setStyle(pixels);
    Window = std::make_unique<TfmParlinoA>(Fake.Platform, Env, Players.Environment);
    TfmParlinoA& w = *Window;
    std::vector<std::pair<int, std::string>> many;
    for (int i = 1; i <= 200; ++i) many.push_back({i * 1000, "line " + std::to_string(i)});
    w.LoadSubtitles(WriteTrack("many.txt", many));
    w.show();
    w.rbManual->click();
    QApplication::processEvents();
    w.sg1->setCurrentIndex(w.GridModel->index(0, 1)); // row 1, at the top
    w.btPlay->click();
    w.ProcessTick(); // the leading entry, which says nothing
    Fake.Ticks.Advance(119'700); // the clock reaches line 120
    w.ProcessTick();
    EXPECT_EQ(w.sg1->currentIndex().row(), 120);
    EXPECT_EQ(w.sg1->rowAt(0), 120); // the spoken row keeps the selected row's place: the top
    Window.reset();
    QApplication::setStyle(QStyleFactory::create(savedStyle));
}

TEST_F(MainWindow, LinksToLocalFilesAreFileUrlsThatSurviveABlankInTheProgramFolder) {
    Window.reset();
    Fake.Folders.Program = Fake.Folders.Root + "/My Apps/parlino";
    Window = std::make_unique<TfmParlinoA>(Fake.Platform, Env, Players.Environment);
    TfmParlinoA& w = *Window;
    w.linkHomepage->MouseEntered();
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), w.linkHomepage->mapToGlobal(QPointF(2, 2)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w.linkHomepage, &release);
    ASSERT_EQ(Fake.Shell.Calls.size(), 1u);
    EXPECT_EQ(Fake.Shell.Calls[0].Target, "file://" + Fake.Folders.Root + "/My%20Apps/parlino/README.md");
    EXPECT_EQ(Fake.Shell.Calls[0].Parameters, "");
}

TEST_F(MainWindow, AFilmWithSeveralTextTracksLoadsTheOneTheUserChooses) {
    test::TFakeFilmReader film;
    film.Film.Text = {{1, "subrip", "eng", ""}, {2, "ass", "", "Signs"}};
    film.Texts[1] = {TFilmTextLayout::SubRip, "1\n00:00:01,000 --> 00:00:02,000\nDialogue\n\n"};
    film.Texts[2] = {TFilmTextLayout::Ass, "[Events]\nFormat: Layer, Start, End, Style, Text\n"
                                           "Dialogue: 0,0:00:03.00,0:00:04.00,Default,A sign\n"};
    Players.Environment.Film = &film;
    Window = std::make_unique<TfmParlinoA>(Fake.Platform, Env, Players.Environment);
    std::vector<std::string> offered;
    int choice = 1;
    Window->ChooseFilmTrack = [&](const std::vector<std::string>& names) {
        offered = names;
        return choice;
    };
    Window->LoadSubtitles("/films/film.mkv");
    EXPECT_EQ(offered, (std::vector<std::string>{"1: eng [subrip]", "2: (Signs) [ass]"}));
    EXPECT_TRUE(Window->Loaded);
    EXPECT_EQ(Window->eFile->text(), "/films/film.mkv");
    EXPECT_EQ(Cell(2, 2), "A sign");
    choice = -1; // the user closes the choice: nothing is loaded
    Window->LoadSubtitles("/films/film.mkv");
    EXPECT_FALSE(Window->Loaded);
    EXPECT_EQ(Window->eFile->text(), "");
    EXPECT_TRUE(Errors.empty());
}
