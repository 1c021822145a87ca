// The main window's controls: the menu, the header, the numbered groups,
// the grid and the status area, placed as the window has always shown
// them, with their signals wired to the window's handlers.
#include "app/ParlinoFmA.h"

#include "app/ErrorGuard.h"
#include "platform/Exceptions.h"
#include "players/VirtualPlayer.h"
#include "settings/UbUtilFile.h"
#include "subtitles/SubtitleReaders.h"
#include "text/Charsets.h"
#include "text/ProcessSubtitles.h"
#include "ui/DaxAudioUtils.h"
#include "ui/MessageFm.h"
#include "ui/PngImage.h"
#include "ui/QtText.h"
#include "ui/TCursorGuard.h"

#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QHeaderView>
#include <QIcon>
#include <QMenuBar>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QUrl>
#include <QWindow>

#include <filesystem>

namespace parlino {
namespace {

constexpr int ClientWidth = 858;   // inside the 866 x 760 outer frame
constexpr int ClientHeight = 722;
// The expert group's two rows about the followed film.
constexpr int FilmRows = 40;

template <typename T, typename... Args>
T* Place(QWidget* parent, int left, int top, int width, int height, Args&&... args) {
    T* w = new T(std::forward<Args>(args)..., parent);
    w->setGeometry(left, top, width, height);
    return w;
}

QLabel* Caption(QWidget* parent, const char* text, int left, int top) {
    auto* l = new QLabel(text, parent);
    l->move(left, top);
    l->adjustSize();
    return l;
}

} // namespace

void TfmParlinoA::CreateControls() {
    QMenu* file = menuBar()->addMenu("File");
    file->addAction("Exit", this, [this] { miExitClick(); });
    QMenu* help = menuBar()->addMenu("Help");
    help->addAction("About", this, [this] { RunGuarded([this] { About1Click(); }); });

    pnlMain = new QWidget(this);
    setCentralWidget(pnlMain);
    setFixedSize(ClientWidth, ClientHeight);
    const int width = ClientWidth;

    // Header band.
    pnlHeader = Place<QWidget>(pnlMain, 0, 0, width, 74);
    pnlHeader->setAutoFillBackground(true);
    QPalette white = pnlHeader->palette();
    white.setColor(QPalette::Window, Qt::white);
    pnlHeader->setPalette(white);
    imgHeader = Place<QLabel>(pnlHeader, 8, 9, 241, 56);
    imgHeader->setPixmap(QPixmap::fromImage(LoadPng(":/header.png")));
    imgHeader->setAccessibleName("Parlino");
    linkHomepage = new TUbLinkLabel(FPlatform.Shell, pnlHeader);
    linkHomepage->setText("Homepage");
    linkHomepage->adjustSize();
    linkHomepage->move(width - linkHomepage->width() - 12, 8);
    linkHomepage->LinkText = HomePage();
    linkHomepage->setToolTip(AnsiToQt(HomePage()));
    linkHomepage->setAccessibleName("Homepage");

    // Top band: the file group and the expert group.
    pnlTop = Place<QWidget>(pnlMain, 0, 74, width, 87 + FilmRows);
    gbFile = Place<QGroupBox>(pnlTop, 4, 2, width / 2 - 6, 83 + FilmRows, "1. Subtitles File");
    eFile = Place<QLineEdit>(gbFile, 8, 24, gbFile->width() - 96, 21);
    eFile->setReadOnly(true);
    eFile->setAccessibleName("Subtitles file");
    btLoad = Place<QPushButton>(gbFile, gbFile->width() - 82, 22, 74, 25, "Load..");

    gbExpert = Place<QGroupBox>(pnlTop, width / 2 + 2, 2, width / 2 - 6, 83 + FilmRows, "Expert Settings");
    chkDict = Place<QCheckBox>(gbExpert, 8, 16, 300, 17, "Use dictionary (text processing rules)");
    cbDic = Place<QComboBox>(gbExpert, 8, 34, 300, 21);
    cbDic->setAccessibleName("Dictionary");
    btDicHelp = Place<QToolButton>(gbExpert, 312, 34, 23, 22);
    btDicHelp->setText("?");
    btDicHelp->setAccessibleName("About dictionaries");
    btDic = Place<QPushButton>(gbExpert, 340, 32, 75, 25, "Congigure..");
    btDic->hide();
    lProcess = Place<QLabel>(gbExpert, 8, 16, 330, 16, "Additional processing. Please wait...");
    QFont processFont = lProcess->font();
    processFont.setBold(true);
    processFont.setPixelSize(13);
    lProcess->setFont(processFont);
    QPalette orange = lProcess->palette();
    orange.setColor(QPalette::WindowText, QColor(255, 69, 0));
    lProcess->setPalette(orange);
    lProcess->setAutoFillBackground(true); // covers the check box while the pass runs
    lProcess->hide();
    chkFitSpeech = Place<QCheckBox>(gbExpert, 8, 60, 200, 17, "Fit speech into subtitle time");
    chkFitSpeech->setToolTip("Speak a subtitle faster when it would not end before the next one is due");
    lFitUpTo = Place<QLabel>(gbExpert, 212, 60, 40, 17, "up to");
    eFitPercent = Place<QSpinBox>(gbExpert, 252, 58, 60, 21);
    eFitPercent->setRange(TGlobalSettings::MinFitPercent, TGlobalSettings::MaxFitPercent);
    eFitPercent->setValue(TGlobalSettings::DefaultFitPercent);
    eFitPercent->setAccessibleName("Fit speech up to percent faster");
    lFitPercent = Place<QLabel>(gbExpert, 316, 60, 80, 17, "% faster");
    chkDuckFilm = Place<QCheckBox>(gbExpert, 8, 80, 270, 17, "Lower the film's sound while speaking by");
    chkDuckFilm->setToolTip("While following a player, its volume dips while the voice speaks");
    eDuckDb = Place<QSpinBox>(gbExpert, 282, 78, 50, 21);
    eDuckDb->setRange(TGlobalSettings::MinDuckDb, TGlobalSettings::MaxDuckDb);
    eDuckDb->setValue(TGlobalSettings::DefaultDuckDb);
    eDuckDb->setAccessibleName("Lower the film's sound by decibels");
    lDuckDb = Place<QLabel>(gbExpert, 336, 80, 30, 17, "dB");
    chkHoldFilm = Place<QCheckBox>(gbExpert, 8, 100, 330, 17, "Pause the film while the voice catches up");
    chkHoldFilm->setToolTip("While following a player, it pauses when a subtitle is due before the voice is free");
    sbProcess = Place<QProgressBar>(gbExpert, 2, 77 + FilmRows, gbExpert->width() - 4, 5);
    sbProcess->setTextVisible(false);
    sbProcess->setAccessibleName("Processing progress");
    sbProcess->hide();

    // Voice group.
    gbVoice = Place<QGroupBox>(pnlMain, 4, 161 + FilmRows, width - 8, 158, "2. Voice Settings");
    frEngSett1 = new TfrEngSett(*Speech, gbVoice, 423, 141);
    frEngSett1->move(6, 14);
    for (TUbScrollBar* slider : {frEngSett1->sb1, frEngSett1->sb2, frEngSett1->sb3}) {
        slider->OnThumbPaint = [this](TUbScrollBar*, QPainter& c, QRect r) { frEngSett1sb1ThumbPaint(c, r); };
        slider->OnBackgrPaint = [this](TUbScrollBar*, QPainter& c, QRect r) { frEngSett1sb1BackgrPaint(c, r); };
    }
    for (const char* name : {"Scroll", "Thumb"}) {
        TUbBitmapsItem& item = bmc1.Add();
        item.SetBitmapName(name);
        item.SetBitmap(LoadPng(QString(":/") + QString(name).toLower() + ".png"));
    }
    auto* rule = Place<QFrame>(gbVoice, 436, 16, 2, 134);
    rule->setFrameShape(QFrame::VLine);
    rule->setFrameShadow(QFrame::Sunken);
    auto* soundCaption = Caption(gbVoice, "Sound card:", 450, 18);
    cbDevice = Place<QComboBox>(gbVoice, 450, 34, gbVoice->width() - 462, 21);
    cbDevice->setAccessibleName("Sound card");
    soundCaption->setBuddy(cbDevice);
    auto* charsetCaption = Caption(gbVoice, "Font charset", 450, 64);
    cbCharset = Place<QComboBox>(gbVoice, 450, 80, 220, 21);
    cbCharset->setAccessibleName("Font charset");
    charsetCaption->setBuddy(cbCharset);
    auto* testCaption = Caption(gbVoice, "Test:", 450, 126);
    eTest = Place<QLineEdit>(gbVoice, 486, 122, gbVoice->width() - 486 - 84, 21);
    eTest->setToolTip("Enter any text here and then press \"Say it\" to check voice settings");
    eTest->setAccessibleName("Test text");
    testCaption->setBuddy(eTest);
    bt1 = Place<QPushButton>(gbVoice, gbVoice->width() - 80, 120, 72, 25, "Say it");

    // Left column: mode, the two control groups in one place, the status area.
    const int lowerTop = 321 + FilmRows;
    const int lowerHeight = ClientHeight - menuBar()->sizeHint().height() - lowerTop - 4;
    pnlControl = Place<QWidget>(pnlMain, 0, lowerTop, 429, lowerHeight);
    gbControlMode = Place<QGroupBox>(pnlControl, 4, 0, 421, 48, "3. Mode");
    rbTrack = Place<QRadioButton>(gbControlMode, 8, 20, 200, 20, "Video player following");
    rbTrack->setChecked(true);
    rbTrack->setToolTip("In this mode Parlino will synchronize\nits time position with video player\n"
                        "(video player following mode)");
    rbManual = Place<QRadioButton>(gbControlMode, 216, 20, 190, 20, "Manual playback");

    gbControlTrack = Place<QGroupBox>(pnlControl, 4, 52, 421, 190, "4. Control");
    auto* playerCaption = Caption(gbControlTrack, "Video player type:", 8, 24);
    cbPlayerType = Place<QComboBox>(gbControlTrack, 120, 20, 250, 21);
    for (TPlayerType type : {TPlayerType::MediaPlayerClassic, TPlayerType::Mpv, TPlayerType::Mpris})
        cbPlayerType->addItem(PlayerTypeCaption(type));
    cbPlayerType->setCurrentIndex(static_cast<int>(DefaultPlayerType(FPlayers)));
    cbPlayerType->setAccessibleName("Video player type");
    playerCaption->setBuddy(cbPlayerType);
    btPlayerHint = Place<QToolButton>(gbControlTrack, 376, 20, 23, 22);
    btPlayerHint->setText("?");
    btPlayerHint->setAccessibleName("About the video player");
    btStartWatch = Place<QPushButton>(gbControlTrack, 8, 52, 140, 27, "Follow video player");
    btStopWatch = Place<QPushButton>(gbControlTrack, 156, 52, 140, 27, "Stop following");
    auto* shiftCaption = Caption(gbControlTrack, "Track time shift in seconds (+/-):", 8, 94);
    eSpeechShift = Place<QSpinBox>(gbControlTrack, 230, 90, 70, 21);
    eSpeechShift->setRange(-86400, 86400);
    eSpeechShift->setAccessibleName("Track time shift in seconds");
    shiftCaption->setBuddy(eSpeechShift);
    Label4 = Place<QLabel>(gbControlTrack, 8, 120, 405, 32,
                           "In this mode Parlino syncronize its play state and current position with "
                           "selected video player automatically.");
    Label4->setWordWrap(true);
    l2 = Place<QLabel>(gbControlTrack, 8, 160, 405, 16, "You should start selected player manually outside Parlino");

    gbControlManual = Place<QGroupBox>(pnlControl, 4, 52, 421, 190, "4. Control");
    btPlay = Place<QPushButton>(gbControlManual, 8, 24, 80, 27, "Play");
    btPause = Place<QPushButton>(gbControlManual, 96, 24, 80, 27, "Pause");
    btStop = Place<QPushButton>(gbControlManual, 184, 24, 80, 27, "Stop");
    Caption(gbControlManual, "Double-click on subtitle to play it -->", 8, 70);
    Label2 = Place<QLabel>(gbControlManual, 8, 100, 405, 48,
                           "In this mode Parlino operates as stand-alone subtitles player.\n"
                           "This mode may be used along with unsupported or external hardware video player.");
    Label2->setWordWrap(true);

    pnlState = Place<QWidget>(pnlControl, 4, 246, 421, lowerHeight - 246);
    lWarning = Place<QLabel>(pnlState, 4, 2, 413, 34);
    QFont bold = lWarning->font();
    bold.setBold(true);
    lWarning->setFont(bold);
    lWarning->setWordWrap(true);
    lStatus1 = Place<QLabel>(pnlState, 4, 38, 413, 16);
    lStatus2 = Place<QLabel>(pnlState, 4, 54, 413, 16);
    lLateness = Place<QLabel>(pnlState, 4, 70, 413, 16);
    lLateness->setAccessibleDescription("How far behind the voice runs");
    // A screen reader reads the label's text as its name; the description
    // tells what the text is.
    lWarning->setAccessibleDescription("Warning");
    lStatus1->setAccessibleDescription("Playback state");
    lStatus2->setAccessibleDescription("Position");

    // Right column: the loaded subtitles.
    gbSubs = Place<QGroupBox>(pnlMain, 433, lowerTop, width - 437, lowerHeight, "Loaded Subtitles");
    chkCompleteSpeech = Place<QCheckBox>(gbSubs, 8, 18, 200, 17, "Queue fast running subtitles");
    chkCompleteSpeech->setChecked(true);
    chkTracing = Place<QCheckBox>(gbSubs, 216, 18, 150, 17, "Auto scroll");
    chkTracing->setChecked(true);
    chkTracing->setToolTip("Auto scrolling");
    sg1 = Place<QTableView>(gbSubs, 8, 40, gbSubs->width() - 16, lowerHeight - 48);
    GridModel = new TSubtitleGridModel(sg1);
    GridModel->SetTimeSeparator(FPlatform.Locale.TimeSeparator());
    sg1->setModel(GridModel);
    sg1->setAccessibleName("Loaded subtitles");
    sg1->setSelectionBehavior(QAbstractItemView::SelectRows);
    sg1->setSelectionMode(QAbstractItemView::SingleSelection);
    sg1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sg1->setShowGrid(true);
    sg1->setWordWrap(false);
    sg1->verticalHeader()->hide();
    sg1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    sg1->verticalHeader()->setDefaultSectionSize(16);
    sg1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    sg1->horizontalHeader()->setHighlightSections(false);
    sg1->setColumnWidth(0, 64);
    sg1->setColumnWidth(1, 64);
    sg1->setColumnWidth(2, 262);
    sg1->setTextElideMode(Qt::ElideRight);
    // Auto scroll sets the top row through the scroll bar, so the grid must
    // scroll by rows whatever the desktop style prefers.
    sg1->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    sg1->installEventFilter(this); // Enter on a row starts playback there, as a double-click does

    // Commands.
    auto on = [this](auto* sender, auto signal, void (TfmParlinoA::*handler)()) {
        connect(sender, signal, this, [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); });
    };
    on(btLoad, &QPushButton::clicked, &TfmParlinoA::btLoadClick);
    on(eFile, &QLineEdit::textChanged, &TfmParlinoA::eFileChange);
    on(btStartWatch, &QPushButton::clicked, &TfmParlinoA::btStartWatchClick);
    on(btStopWatch, &QPushButton::clicked, &TfmParlinoA::btStopWatchClick);
    on(btPlay, &QPushButton::clicked, &TfmParlinoA::btPlayClick);
    on(btPause, &QPushButton::clicked, &TfmParlinoA::btPauseClick);
    on(btStop, &QPushButton::clicked, &TfmParlinoA::btStopClick);
    on(sg1, &QTableView::doubleClicked, &TfmParlinoA::sg1DblClick);
    on(rbTrack, &QRadioButton::clicked, &TfmParlinoA::rbTrackClick);
    on(rbManual, &QRadioButton::clicked, &TfmParlinoA::rbTrackClick);
    on(eSpeechShift, &QSpinBox::textChanged, &TfmParlinoA::eSpeechShiftChange);
    on(chkCompleteSpeech, &QCheckBox::clicked, &TfmParlinoA::chkCompleteSpeechClick);
    on(chkDict, &QCheckBox::clicked, &TfmParlinoA::chkDictClick);
    on(cbDic, &QComboBox::currentIndexChanged, &TfmParlinoA::cbDicChange);
    on(cbCharset, &QComboBox::currentIndexChanged, &TfmParlinoA::cbCharsetChange);
    on(bt1, &QPushButton::clicked, &TfmParlinoA::bt1Click);
    on(btPlayerHint, &QToolButton::clicked, &TfmParlinoA::btPlayerHintClick);
    on(btDicHelp, &QToolButton::clicked, &TfmParlinoA::btDicHelpClick);
    connect(cbDevice, &QComboBox::activated, this, [this] { FDeviceChoice.Chosen = true; });
    connect(cbDic, &QComboBox::activated, this, [this] { FDicChoice.Chosen = true; });
    connect(eTest, &QLineEdit::returnPressed, bt1, &QPushButton::click);

    for (QWidget* w : std::initializer_list<QWidget*>{imgHeader, pnlHeader, gbFile, gbVoice, pnlMain, gbSubs,
                                                      gbControlMode, gbControlTrack, gbControlManual, pnlState,
                                                      Label4, l2, Label2})
        w->installEventFilter(this);
}

void TfmParlinoA::SetTabOrder() {
    QWidget* order[] = {eFile,        btLoad,      chkDict,      cbDic,         btDicHelp, chkFitSpeech, eFitPercent,
                        chkDuckFilm,  eDuckDb,     chkHoldFilm,
                        frEngSett1->lbEngines, frEngSett1->selVoice->Edit, frEngSett1->sb1, frEngSett1->sb2,
                        frEngSett1->sb3, cbDevice, cbCharset,    eTest,         bt1,
                        rbTrack,      rbManual,    cbPlayerType, btPlayerHint,  btStartWatch,
                        btStopWatch,  eSpeechShift, btPlay,      btPause,       btStop,
                        chkCompleteSpeech, chkTracing, sg1,      linkHomepage};
    for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
    eFile->setFocus();
}

} // namespace parlino
