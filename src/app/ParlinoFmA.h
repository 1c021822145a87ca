#pragma once
// The main window: the whole user interface and the owner of the run-time
// state (the loaded track, the run flags, the time shift).

#include "app/TPlaybackController.h"
#include "app/TPlayerEnvironment.h"
#include "app/TSpeechEnvironment.h"
#include "platform/TPlatform.h"
#include "settings/TGlobalSettings.h"
#include "subtitles/TslItem.h"
#include "ui/EngSettFr.h"
#include "ui/TSubtitleGridModel.h"
#include "ui/UbBitmapsContainer.h"
#include "ui/UbLinkLabel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

#include <array>
#include <optional>
#include <string>

namespace parlino {

class TfmParlinoA : public QMainWindow, private IPlaybackView {
    Q_OBJECT
public:
    TfmParlinoA(TPlatform& platform, TSpeechEnvironment& speech, TPlayerEnvironment& players,
                QWidget* parent = nullptr);
    ~TfmParlinoA() override;

    // Run-time state. The playback fields (Connection, Running, Queue,
    // LastPosition, WasPlaying, TimeShift) live in the controller.
    int32_t DragX = 0, DragY = 0;
    bool Dragging = false;
    bool Loaded = false;
    bool SettingsLock = false;
    TslItems Items;
    uint8_t GridCharset; // the grid font's character set, DEFAULT_CHARSET at start
    std::string DictionaryFolder;
    std::unique_ptr<TUbSmartSpeech> Speech; // the voice panel's sp1
    std::unique_ptr<TPlaybackController> Controller;
    TUbBitmapsContainer bmc1;
    // Loaded at creation, saved at destruction (and when the desktop session
    // asks the program to save its data).
    std::unique_ptr<TGlobalSettings> GlobalSettings;
    bool Running() const { return Controller->Running; }

    // Controls, by their design names.
    QWidget *pnlHeader, *pnlTop, *pnlControl, *pnlState, *pnlMain;
    QLabel* imgHeader;
    TUbLinkLabel* linkHomepage;
    QGroupBox *gbFile, *gbExpert, *gbVoice, *gbControlMode, *gbControlTrack, *gbControlManual, *gbSubs;
    QLineEdit* eFile;
    QPushButton* btLoad;
    QCheckBox* chkDict;
    QComboBox* cbDic;
    QToolButton* btDicHelp;
    QPushButton* btDic;
    QLabel* lProcess;
    QProgressBar* sbProcess;
    TfrEngSett* frEngSett1;
    QComboBox *cbDevice, *cbCharset;
    QLineEdit* eTest;
    QPushButton* bt1;
    QRadioButton *rbTrack, *rbManual;
    QComboBox* cbPlayerType;
    QToolButton* btPlayerHint;
    QPushButton *btStartWatch, *btStopWatch;
    QSpinBox* eSpeechShift;
    QLabel *Label4, *l2, *Label2;
    QPushButton *btPlay, *btPause, *btStop;
    QLabel *lWarning, *lStatus1, *lStatus2;
    QCheckBox *chkCompleteSpeech, *chkTracing;
    QCheckBox* chkFitSpeech;
    QSpinBox* eFitPercent;
    QLabel *lFitUpTo, *lFitPercent, *lLateness;
    QCheckBox* chkDuckFilm;
    QSpinBox* eDuckDb;
    QLabel* lDuckDb;
    QCheckBox* chkHoldFilm;
    QTimer* FilmTimer; // the film's volume follows the voice more finely than the tick
    QTableView* sg1;
    TSubtitleGridModel* GridModel;
    QTimer* Timer1;
    QTimer* DueTimer; // one extra tick when an entry becomes due between two regular ones

    // Commands and events.
    void btLoadClick();
    void eFileChange();
    void btStartWatchClick();
    void btStopWatchClick();
    void btPlayClick();
    void btPauseClick();
    void btStopClick();
    void sg1DblClick();
    void rbTrackClick();
    void eSpeechShiftChange();
    void chkCompleteSpeechClick();
    void chkDictClick();
    void cbDicChange() { chkDictClick(); }
    void cbCharsetChange();
    void bt1Click();
    void About1Click();
    void btPlayerHintClick();
    void btDicHelpClick();
    void miExitClick() { close(); }

    // Fills "Sound card:" afresh when the sound server's devices changed,
    // keeping the user's choice by name (also one that is gone for now and
    // comes back), and routes speech accordingly.
    void RefreshSoundCards();

    // Copies the controls' values into GlobalSettings and writes Parlino.ini.
    void SaveSettings();

    // Reads the file, fills the grid, runs the clean-up pass, marks Loaded.
    // A film's text track `filmTrack` (from 1; 0: the one the user chooses
    // when the film has several).
    void LoadSubtitles(const std::string& fileName, int filmTrack = 0);
    // A film's text track into Items; false when none was chosen.
    bool ReadFilm(const std::string& fileName, int filmTrack);
    // While following a player that says what it shows and no file was
    // loaded by hand for the film it plays: loads what it shows, and again
    // whenever that changes (another track, the next film of a playlist).
    void ReadShownSubtitles();
    // Loads a file handed over from outside (the command line, "Open with"):
    // the same load as a file chosen in "Load..", its failure reported alike.
    void OpenFile(const std::string& fileName);
    // The "Load.." dialog's file types: every layout the readers choose by
    // extension (SubtitleFormatOf), each one alone, and all files.
    static constexpr const char* LoadDialogFilter =
        "Subtitles (*.srt *.vtt *.ass *.ssa *.txt);;SubRip (*.srt);;WebVTT (*.vtt);;"
        "ASS/SSA (*.ass *.ssa);;Timecode list (*.txt);;"
        "Films (*.mkv *.mp4 *.m4v *.mov *.webm *.avi *.ts *.m2ts *.ogv);;All files (*.*) (*)";
    // Which of a film's several text tracks to read, by their names: the
    // index, or -1 for none. Unset, the user is asked.
    std::function<int(const std::vector<std::string>& names)> ChooseFilmTrack;
    void ClearItems();
    void UpdateControls();
    void ProcessTick() { Controller->ProcessTick(); }
    // The 100 ms tick (and the extra tick at a due moment).
    void Timer1Timer();
    void StopPlayback() { Controller->StopPlayback(); }
    void ClearQueue() { Controller->ClearQueue(); }
    // The slider paint handlers: stretch the container's bitmaps.
    void frEngSett1sb1ThumbPaint(QPainter& canvas, QRect rect);
    void frEngSett1sb1BackgrPaint(QPainter& canvas, QRect rect);

    // Link targets.
    std::string HomePage() const;
    static constexpr const char* PlayerHomePage = "https://mpc-hc.org/";
    static constexpr const char* MpvHomePage = "https://mpv.io/";
    TPlayerType PlayerType() const { return static_cast<TPlayerType>(std::max(0, cbPlayerType->currentIndex())); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The controller's view of the window.
    void SetWarning(const std::string& text) override;
    void SetStatus1(const std::string& text) override;
    void SetStatus2(const std::string& text) override;
    std::string PlayerTypeText() const override;
    bool QueueFastSubtitles() const override { return chkCompleteSpeech->isChecked(); }
    bool FitSpeech() const override { return chkFitSpeech->isChecked(); }
    int32_t FitCeilingPercent() const override { return eFitPercent->value(); }
    bool DuckFilm() const override { return chkDuckFilm->isChecked(); }
    int32_t DuckFilmDb() const override { return eDuckDb->value(); }
    bool HoldFilmForVoice() const override { return chkHoldFilm->isChecked(); }
    void SetFilmNote(const std::string& text) override;
    void SetLateness(const std::string& text) override;
    bool AutoScroll() const override { return chkTracing->isChecked(); }
    int SoundCardIndex() const override { return cbDevice->currentIndex(); }
    uint8_t GridFontCharset() const override { return GridCharset; }
    std::string VoiceTags() const override { return frEngSett1->GetVoiceTags(); }
    int SelectedRow() const override;
    int TopRow() const override;
    void ScrollTo(int selectedRow, int topRow) override;
    int GridRowCount() const override { return GridModel->GridRowCount(); }
    void ReportError(const std::string& message) override;

    void CreateControls();
    void SetTabOrder();
    void FormCreate();
    void LoadSettings();
    void ApplySettings();
    int32_t ShiftFromSpinText() const;
    void ApplyStoredSliders(int32_t speed, int32_t pitch, int32_t volume);

    // A stored sound card or dictionary that is not there in this run: its
    // name is written back unless the user chooses another item, so that an
    // unplugged headset or a moved dictionary keeps its place.
    struct TUnavailableChoice {
        std::optional<std::string> Name; // the stored name, when it was not found
        std::string Id;                  // and its stored identity (sound cards)
        int FallbackIndex = -1;          // the item selected instead
        bool Chosen = false;             // the user picked an item in this run
    };
    std::string ChoiceToSave(const TUnavailableChoice& choice, const QComboBox* box, const std::string& current) const;
    TUnavailableChoice FDeviceChoice, FDicChoice;
    // The sound card list: each item carries its card's lasting identity (the
    // item data), for the names, cut to 31 bytes, may be alike. A card is
    // found by its identity, or by its name when none is known (an older
    // settings file).
    void FillSoundCards(const std::vector<std::string>& cards, const std::vector<std::string>& ids);
    std::string SoundCardId(int index) const;
    int FindSoundCard(const std::string& name, const std::string& id) const;
    // The card to keep: the one shown, or the stored one that is gone. Name and identity.
    std::pair<std::string, std::string> DeviceChoiceToSave() const;
    bool FServerHangReported = false; // the user was told the sound server hangs
    // The status area's warning: the controller's (player) text, then the
    // sound card's, which the tick does not clear.
    void ShowWarnings();
    std::string DeviceWarning() const;
    std::string FPlayerWarning, FDeviceWarning;
    std::string FReadingNote;                     // what is read of what the player shows
    std::string FFilmNote;                        // the followed player's volume cannot be set
    bool FHandLoaded = false;                     // the user loaded a file for the film
    std::string FHandFilm;                        // the film playing then; empty: not known yet
    bool FLoadingShown = false;                   // the load under way reads what the player shows
    std::optional<TShownSubtitles> FShownRead;    // what was read of what the player shows
    IWaveOut* FDeviceNews = nullptr; // the devices whose news this window takes
    // The same for a stored voice that is not installed in this run (or no
    // voice at all): it is written back with its speed, pitch and volume
    // unless the user picks a voice or moves a slider.
    struct TUnavailableVoice {
        bool Missing = false;
        std::string FallbackVoice;         // the voice selected instead
        std::array<int32_t, 3> Positions{}; // the sliders as they were then
    };
    std::array<int32_t, 3> SliderPositions() const;
    void NoteVoiceFallback(bool found);
    TUnavailableVoice FVoiceChoice;

    TPlatform& FPlatform;
    TSpeechEnvironment& FSpeechEnv;
    TPlayerEnvironment& FPlayers;
};

} // namespace parlino
