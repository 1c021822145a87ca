#pragma once
// The main window: the whole user interface and the owner of the run-time
// state (the loaded track, the run flags, the time shift).

#include "platform/TPlatform.h"
#include "subtitles/TslItem.h"
#include "ui/EngSettFr.h"
#include "ui/TSubtitleGridModel.h"
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

#include <string>

namespace parlino {

class TfmParlinoA : public QMainWindow {
    Q_OBJECT
public:
    explicit TfmParlinoA(TPlatform& platform, QWidget* parent = nullptr);
    ~TfmParlinoA() override;

    // Run-time state.
    int32_t DragX = 0, DragY = 0;
    bool Dragging = false;
    bool Loaded = false;
    bool Running = false;
    bool SettingsLock = false;
    TslItems Items;
    int32_t LastPosition = 0;
    bool WasPlaying = false;
    int32_t TimeShift = 0;
    uint8_t GridCharset; // the grid font's character set, DEFAULT_CHARSET at start
    std::string DictionaryFolder;

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
    QTableView* sg1;
    TSubtitleGridModel* GridModel;
    QTimer* Timer1;

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

    // Reads the file, fills the grid, runs the clean-up pass, marks Loaded.
    void LoadSubtitles(const std::string& fileName);
    void ClearItems();
    void UpdateControls();
    void ProcessTick();
    void StopPlayback();
    void ClearQueue() {}

    // Link targets.
    std::string HomePage() const;
    static constexpr const char* PlayerHomePage = "https://mpc-hc.org/";

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void SetTabOrder();
    void FormCreate();
    void LoadSettings();
    void ApplySettings();
    int32_t ShiftFromSpinText() const;

    TPlatform& FPlatform;
};

} // namespace parlino
