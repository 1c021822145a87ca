#include "app/ParlinoFmA.h"

#include "app/ErrorGuard.h"
#include "platform/Exceptions.h"
#include "players/VirtualPlayer.h"
#include "settings/UbUtilFile.h"
#include "subtitles/FilmSubtitles.h"
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
#include <QInputDialog>
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
#include <tuple>

// Resources compiled into a static library must be registered by hand.
static void InitParlinoResources() { Q_INIT_RESOURCE(parlino); }

namespace parlino {
namespace {

QFont DesignFont() {
    QFont f;
    f.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "DejaVu Sans", "Sans Serif"});
    f.setPointSize(8);
    return f;
}

std::string NativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString DisplayPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

} // namespace

TfmParlinoA::TfmParlinoA(TPlatform& platform, TSpeechEnvironment& speech, TPlayerEnvironment& players,
                         QWidget* parent)
    : QMainWindow(parent), GridCharset(DEFAULT_CHARSET), FPlatform(platform), FSpeechEnv(speech), FPlayers(players) {
    InitParlinoResources();
    SetUiCodec(&platform.Codec);
    // The voice panel's facade builds the voice and audio output lists now.
    Speech = std::make_unique<TUbSmartSpeech>(speech.Backends, platform.Codec, speech.Poster);
    Controller = std::make_unique<TPlaybackController>(static_cast<IPlaybackView&>(*this), *Speech, Items,
                                                       platform.Locale.TimeSeparator());
    setWindowTitle("Parlino");
    setWindowIcon(QIcon::fromTheme(PARLINO_APP_ID, QIcon(":/icon.png"))); // the installed icon, else the built-in one
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setFont(DesignFont());
    CreateControls();
    SetTabOrder();
    RunGuarded([this] { FormCreate(); });
    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    Timer1->start();
    DueTimer = new QTimer(this);
    DueTimer->setSingleShot(true);
    DueTimer->setTimerType(Qt::PreciseTimer);
    connect(DueTimer, &QTimer::timeout, this, [this] { Timer1Timer(); });
    Controller->EnableFilmDucking(platform.Ticks);
    FilmTimer = new QTimer(this);
    FilmTimer->setInterval(25);
    FilmTimer->setTimerType(Qt::PreciseTimer);
    connect(FilmTimer, &QTimer::timeout, this, [this] { RunGuarded([this] { Controller->UpdateFilm(); }); });
    FilmTimer->start();
}

TfmParlinoA::~TfmParlinoA() {
    if (FDeviceNews) FDeviceNews->SetOnDevicesChanged(nullptr);
    // The followed film gets its own volume back, and plays if the program paused it.
    try {
        FilmTimer->stop();
        Controller->ReleaseFilm();
    } catch (...) {
    }
    // FormDestroy: the settings are saved before anything is freed.
    try {
        SaveSettings();
    } catch (...) {
    }
    GlobalSettings.reset();
    Timer1->stop();
    DueTimer->stop();
    try {
        Speech->Stop();
    } catch (...) {
    }
    GridModel->SetItems(nullptr);
    ClearQueue();
    ClearItems();
    SetUiCodec(nullptr); // the codec belongs to the caller and may go before the toolkit
}


void TfmParlinoA::FormCreate() {
    Controller->Running = false;
    Controller->Connection = CreateFollower(TPlayerType::MediaPlayerClassic, FPlayers, FPlatform);
    cbDevice->clear();
    if (FSpeechEnv.WaveOut) {
        // The sound layer's thread only posts; the list is filled here.
        QPointer<TfmParlinoA> self(this);
        FDeviceNews = FSpeechEnv.WaveOut;
        FDeviceNews->SetOnDevicesChanged([self, &poster = FSpeechEnv.Poster] {
            poster.Post([self] {
                if (self) RunGuarded([&] { self->RefreshSoundCards(); });
            });
        });
        std::vector<std::string> cards;
        GetSoundCardList(*FSpeechEnv.WaveOut, cards, true);
        FillSoundCards(cards, GetSoundCardIds(*FSpeechEnv.WaveOut, cards));
        // Speech still runs to its end without a device, but nobody hears it.
        if (cards.empty())
            QTimer::singleShot(0, this, [] {
                parlino::ReportError("No sound device was found. Subtitles are still read on time, but they cannot be "
                            "heard until a sound device is available.");
            });
    }
    Loaded = false;
    lWarning->clear();
    std::vector<std::string> charsets;
    FillCharsetList(QtToAnsi(sg1->font().family()), charsets);
    cbCharset->blockSignals(true);
    cbCharset->clear();
    for (const std::string& c : charsets) cbCharset->addItem(QString::fromLatin1(c.c_str()));
    cbCharset->setCurrentIndex(-1);
    cbCharset->blockSignals(false);
    LoadSettings();
    ProcessTick();
}

void TfmParlinoA::LoadSettings() {
    TFlagGuard lock(SettingsLock);
    GlobalSettings = std::make_unique<TGlobalSettings>(FPlatform.Folders, FPlatform.Messages);
    // The folder is made with any missing parent, as a fresh account may not
    // have its configuration folder yet; a failure shows only in that the
    // settings cannot be saved.
    std::string folder = FPlatform.Folders.LocalAppData();
    if (folder.empty() || folder.back() != '/') folder += '/';
    folder += "Parlino";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    GlobalSettings->IniFileName = folder + "/Parlino.ini";
    GlobalSettings->Load();
    // The dictionary folder: "Dic" beside the program, else the program folder.
    DictionaryFolder = parlino::DictionaryFolder(FPlatform.Folders.ProgramFolder());
    GlobalSettings->Dic_folder = DictionaryFolder;
    cbDic->clear();
    for (const std::string& name : FindFileNames(DictionaryFolder, "*.dic")) cbDic->addItem(DisplayPath(name));
    ApplySettings();
}

void TfmParlinoA::ApplySettings() {
    TWaitCursor wait;
    TFlagGuard lock(SettingsLock);
    TGlobalSettings& s = *GlobalSettings;
    auto select = [](QComboBox* box, const QString& stored, TUnavailableChoice& choice, const std::string& name) {
        const int found = box->findText(stored, Qt::MatchExactly);
        box->setCurrentIndex(found >= 0 ? found : (box->count() > 0 ? 0 : -1));
        choice = {};
        if (found < 0 && !name.empty()) choice.Name = name;
        choice.FallbackIndex = box->currentIndex();
    };
    const int card = FindSoundCard(s.WaveOutDeviceName, s.Sound_card_id);
    cbDevice->setCurrentIndex(card >= 0 ? card : (cbDevice->count() > 0 ? 0 : -1));
    FDeviceChoice = {};
    if (card < 0 && !s.WaveOutDeviceName.empty()) {
        FDeviceChoice.Name = s.WaveOutDeviceName;
        FDeviceChoice.Id = s.Sound_card_id;
    }
    FDeviceChoice.FallbackIndex = cbDevice->currentIndex();
    select(cbDic, DisplayPath(s.default_dic_name), FDicChoice, s.default_dic_name);
    chkDict->setChecked(s.f1);
    eSpeechShift->setValue(s.Speak_mode);
    chkFitSpeech->setChecked(s.Fit_speech);
    eFitPercent->setValue(s.Fit_speech_max_percent);
    chkDuckFilm->setChecked(s.Duck_film);
    eDuckDb->setValue(s.Duck_film_db);
    chkHoldFilm->setChecked(s.Hold_film_for_voice);
    if (const int player = cbPlayerType->findText(AnsiToQt(s.Player_type), Qt::MatchExactly);
        !s.Player_type.empty() && player >= 0)
        cbPlayerType->setCurrentIndex(player);
    // Selecting the voice may change the stored values; they are put back.
    const int32_t speed = s.Engine_speed, pitch = s.Engine_pitch, volume = s.Engine_volume;
    try {
        frEngSett1->SetVoice(s.Engine_name); // fails when no voice is installed
    } catch (...) {
        NoteVoiceFallback(false);
        throw;
    }
    s.Engine_speed = speed;
    s.Engine_pitch = pitch;
    s.Engine_volume = volume;
    ApplyStoredSliders(speed, pitch, volume);
    NoteVoiceFallback(UiCodec().AnsiUpperCase(Speech->VoiceName()) == UiCodec().AnsiUpperCase(s.Engine_name));
}

std::array<int32_t, 3> TfmParlinoA::SliderPositions() const {
    return {frEngSett1->sb1->Position(), frEngSett1->sb2->Position(), frEngSett1->sb3->Position()};
}

void TfmParlinoA::NoteVoiceFallback(bool found) {
    FVoiceChoice = {};
    FVoiceChoice.Missing = !found && !GlobalSettings->Engine_name.empty();
    FVoiceChoice.FallbackVoice = Speech->VoiceName();
    FVoiceChoice.Positions = SliderPositions();
}

void TfmParlinoA::ApplyStoredSliders(int32_t speed, int32_t pitch, int32_t volume) {
    // Every stored value within the voice's range is applied, 0 and negative
    // ones included (the speech voices' ranges reach below 0); a value that
    // was not stored leaves the voice's own.
    const TGlobalSettings& s = *GlobalSettings;
    auto apply = [](TUbScrollBar* slider, bool stored, int32_t value) {
        if (stored && value >= slider->Min() && value <= slider->Max()) slider->SetPosition(value);
    };
    apply(frEngSett1->sb1, s.Engine_speed_stored, speed);
    apply(frEngSett1->sb2, s.Engine_pitch_stored, pitch);
    apply(frEngSett1->sb3, s.Engine_volume_stored, volume);
}

std::string TfmParlinoA::ChoiceToSave(const TUnavailableChoice& choice, const QComboBox* box,
                                      const std::string& current) const {
    if (choice.Name && !choice.Chosen && box->currentIndex() == choice.FallbackIndex) return *choice.Name;
    return current;
}

void TfmParlinoA::SaveSettings() {
    if (!GlobalSettings) return;
    TWaitCursor wait;
    TFlagGuard lock(SettingsLock);
    TGlobalSettings& s = *GlobalSettings;
    std::tie(s.WaveOutDeviceName, s.Sound_card_id) = DeviceChoiceToSave();
    s.default_dic_name = ChoiceToSave(FDicChoice, cbDic, NativePath(cbDic->currentText()));
    s.f1 = chkDict->isChecked();
    s.Speak_mode = eSpeechShift->value();
    const bool keepStoredVoice = FVoiceChoice.Missing && Speech->VoiceName() == FVoiceChoice.FallbackVoice &&
                                 SliderPositions() == FVoiceChoice.Positions;
    if (!keepStoredVoice) {
        s.Engine_name = Speech->VoiceName();
        s.Engine_speed = frEngSett1->sb1->Position();
        s.Engine_pitch = frEngSett1->sb2->Position();
        s.Engine_volume = frEngSett1->sb3->Position();
    }
    s.Player_type = QtToAnsi(cbPlayerType->currentText());
    s.Fit_speech = chkFitSpeech->isChecked();
    s.Fit_speech_max_percent = eFitPercent->value();
    s.Duck_film = chkDuckFilm->isChecked();
    s.Duck_film_db = eDuckDb->value();
    s.Hold_film_for_voice = chkHoldFilm->isChecked();
    s.Save();
}

std::string TfmParlinoA::HomePage() const {
    // A file:// URL: the program's folder may hold blanks, which would split a link's text.
    const QString readme = QFile::decodeName(QByteArray::fromStdString(FPlatform.Folders.ProgramFolder())) + "/README.md";
    return QUrl::fromLocalFile(readme).toEncoded().toStdString();
}

int32_t TfmParlinoA::ShiftFromSpinText() const {
    // The spin edit's text as an integer, 0 when it is not one.
    bool ok = false;
    const int value = eSpeechShift->cleanText().trimmed().toInt(&ok);
    return ok ? value * 1000 : 0;
}

void TfmParlinoA::btLoadClick() {
    StopPlayback();
    const QString path = QFileDialog::getOpenFileName(this, "Load..", QString(), LoadDialogFilter);
    if (!path.isEmpty()) LoadSubtitles(NativePath(path));
}

void TfmParlinoA::OpenFile(const std::string& fileName) {
    RunGuarded([this, &fileName] { LoadSubtitles(fileName); });
}

void TfmParlinoA::eFileChange() {
    Loaded = false;
    StopPlayback();
}

void TfmParlinoA::btStartWatchClick() {
    Controller->ReleaseFilm();
    FFilmNote.clear();
    Controller->TimeShift = ShiftFromSpinText();
    Controller->Connection = CreateFollower(PlayerType(), FPlayers, FPlatform);
    Controller->StartPlayback();
}

void TfmParlinoA::btStopWatchClick() {
    StopPlayback();
    // The next run reads again what the player shows.
    FReadingNote.clear();
    FFilmNote.clear();
    FShownRead.reset();
}

void TfmParlinoA::btPlayClick() {
    Controller->TimeShift = 0;
    if (!Controller->Running) {
        Controller->Connection = std::make_shared<TVirtualPlayer>(FPlatform.Ticks);
        Controller->StartPlayback();
        Controller->Connection->SetPosition(Controller->SelectedItemStart() - TPlaybackController::ManualStartLeadMs);
    }
    Controller->Connection->Play();
    UpdateControls();
}

void TfmParlinoA::btPauseClick() {
    Controller->Connection->Pause();
    UpdateControls();
}

void TfmParlinoA::btStopClick() {
    Controller->Connection->Stop();
    StopPlayback();
    UpdateControls();
}

void TfmParlinoA::sg1DblClick() {
    if (!rbManual->isChecked()) return;
    Speech->Stop();
    Controller->Connection->SetPosition(Controller->SelectedItemStart() - TPlaybackController::ManualStartLeadMs);
    ClearQueue();
    Controller->ResetSpokenFlags();
    if (!Controller->Connection->IsPlaying()) btPlayClick();
}

void TfmParlinoA::rbTrackClick() {
    StopPlayback();
    UpdateControls();
}

void TfmParlinoA::eSpeechShiftChange() { Controller->TimeShift = ShiftFromSpinText(); }

void TfmParlinoA::chkCompleteSpeechClick() { ClearQueue(); }

void TfmParlinoA::chkDictClick() {
    if (SettingsLock) return;
    if (Loaded) {
        Loaded = false;
        StopPlayback();
    }
    UpdateControls();
}

void TfmParlinoA::cbCharsetChange() {
    if (std::optional<uint8_t> charset = CharsetByIdentifier(QtToAnsi(cbCharset->currentText()))) {
        GridCharset = *charset;
        GridModel->SetCodePage(CharsetToCodePage(GridCharset));
    }
}

void TfmParlinoA::bt1Click() {
    Controller->Connection->Stop();
    StopPlayback();
    UpdateControls();
    const QString text = eTest->text();
    if (text.trimmed().isEmpty()) return;
    Speech->AudioOutput = cbDevice->currentIndex() - 1;
    Speech->CodePage = static_cast<uint16_t>(CharsetToCodePage(GridCharset));
    Speech->Text = {frEngSett1->GetVoiceTags() + QtToAnsi(text)};
    Speech->Speak();
}

void TfmParlinoA::About1Click() {
    ShowInfo(FPlatform.Shell, "About",
             "\r\nParlino 0.1\r\nreads subtitles aloud, in step with a film\r\nor on its own clock.\r\n\r\n"
             "Free software for every film lover.\r\n",
             HomePage(), "Home page", -64);
}

void TfmParlinoA::btPlayerHintClick() {
    switch (PlayerType()) {
    case TPlayerType::MediaPlayerClassic:
        ShowInfo(FPlatform.Shell, "Hint",
                 "\r\nFor now only MPC/MPC HC\r\nvideo player synchronization supported\r\nYou can download it here:\r\n",
                 PlayerHomePage, "MPC HC home page", -85);
        break;
    case TPlayerType::Mpv: {
        const std::string socket = MpvSocketPath(FPlatform.Folders);
        ShowInfo(FPlatform.Shell, "Hint",
                 "\r\nStart mpv with the option\r\n--input-ipc-server=" + socket +
                     "\r\nor add this line to your mpv.conf:\r\ninput-ipc-server=" + socket + "\r\n",
                 MpvHomePage, "mpv home page", -70);
        break;
    }
    case TPlayerType::Mpris:
        ShowInfo(FPlatform.Shell, "Hint",
                 "\r\nPlay the film in VLC, Celluloid, a web browser\r\nor mpv with the mpv-mpris plugin.\r\n"
                 "Parlino follows the player that is playing,\r\nor else the first one it finds.\r\n",
                 HomePage(), "How to follow a player", -70);
        break;
    }
}

void TfmParlinoA::btDicHelpClick() {
    ShowInfo(FPlatform.Shell, "About dictionaries",
             "Dictionaries is a text correction rules files. Its located in Parlino` [Dic] folder.\r\n"
             "You could edit and test dictionaries with Bookvane software.\r\n",
             HomePage(), "Bookvane website", -74);
}

void TfmParlinoA::ClearItems() { Items.clear(); }

void TfmParlinoA::Timer1Timer() {
    RunGuarded([this] { ProcessTick(); });
    ReadShownSubtitles();
    ShowWarnings();
    // An entry that becomes due before the next regular tick gets a tick of
    // its own at that moment (a millisecond late rather than early, so the
    // position is surely inside its window).
    if (const std::optional<int32_t> due = Controller->NextDueInMs()) DueTimer->start(*due + 1);
}

namespace {

// The label and the bar of the expert group, shown while the clean-up pass
// runs. The bar is repainted whenever its drawn position can change, not for
// every entry, so that a track of a million entries is not slowed down by
// a million repaints.
class TProcessProgress final : public IProcessProgress {
public:
    explicit TProcessProgress(TfmParlinoA& window) : FWindow(window) {}
    void Begin(int max) override {
        FMax = max;
        FWindow.sbProcess->setRange(0, max);
        FWindow.sbProcess->setValue(0);
        FWindow.lProcess->show();
        FWindow.sbProcess->show();
        FWindow.repaint();
    }
    void Step(int position) override {
        const int64_t step = std::max<int64_t>(1, FMax / std::max(1, FWindow.sbProcess->width()));
        if (position % step != 0 && position != FMax) return;
        FWindow.sbProcess->setValue(position);
        FWindow.sbProcess->repaint();
    }
    void End() override {
        FWindow.lProcess->hide();
        FWindow.sbProcess->hide();
    }

private:
    TfmParlinoA& FWindow;
    int FMax = 0;
};

} // namespace

void TfmParlinoA::LoadSubtitles(const std::string& fileName, int filmTrack) {
    StopPlayback();
    repaint();
    try {
        TWaitCursor wait;
        Loaded = false;
        eFile->clear();
        GridModel->SetItems(nullptr);
        ClearItems();
        ClearQueue();
        std::string emptyReason;
        if (IsFilmFileName(fileName)) {
            if (!ReadFilm(fileName, filmTrack)) { // no track chosen: nothing is loaded
                ProcessTick();
                return;
            }
        } else {
            ReadSubtitleFile(fileName, Items, FPlatform.Codec, &emptyReason);
        }
        GridModel->SetItems(&Items);
        sg1->setCurrentIndex(GridModel->index(0, 1));
        eFile->setText(DisplayPath(fileName));
        // A WebVTT or ASS/SSA file that yields nothing fails as an empty
        // SubRip file does, saying why.
        if (Items.empty() && !emptyReason.empty())
            throw EParlinoError(std::string(NoSubtitlesMessage) + " " + emptyReason);
        // The clean-up pass, with the chosen dictionary when there is one.
        std::optional<TStringList> rules;
        if (chkDict->isChecked() && !cbDic->currentText().isEmpty())
            rules = LoadDictionaryRules(DictionaryFolder, NativePath(cbDic->currentText()), FPlatform.Codec);
        TProcessProgress progress(*this);
        ProcessSubtitles(Items, rules ? &*rules : nullptr, FPlatform.Codec, &progress);
        Loaded = true;
        if (!FLoadingShown) {
            FHandLoaded = true;
            FHandFilm.clear();
            FReadingNote.clear();
        }
    } catch (...) {
        ProcessTick();
        throw;
    }
    ProcessTick();
}

bool TfmParlinoA::ReadFilm(const std::string& fileName, int filmTrack) {
    if (!FPlayers.Film) throw EParlinoError("Film files cannot be opened by this build: " + fileName);
    const TFilmTracks tracks = FPlayers.Film->Tracks(fileName);
    int number = filmTrack > 0 ? filmTrack : 1;
    if (filmTrack <= 0 && tracks.Text.size() > 1) {
        std::vector<std::string> names;
        for (size_t i = 0; i < tracks.Text.size(); ++i) names.push_back(FilmTrackName(int(i) + 1, tracks.Text[i]));
        int chosen = -1;
        if (ChooseFilmTrack) {
            chosen = ChooseFilmTrack(names);
        } else {
            QStringList items;
            for (const std::string& name : names) items << QString::fromStdString(name);
            bool ok = false;
            const QString item = QInputDialog::getItem(this, "Subtitle track",
                                                       "The film has several subtitle tracks. Read:", items, 0, false, &ok);
            chosen = ok ? int(items.indexOf(item)) : -1;
        }
        if (chosen < 0 || size_t(chosen) >= names.size()) return false;
        number = chosen + 1;
    }
    ReadFilmSubtitles(*FPlayers.Film, fileName, number, Items, FPlatform.Codec);
    return true;
}

void TfmParlinoA::ReadShownSubtitles() {
    if (!Controller->Running || !Controller->Connection) return;
    const std::optional<TShownSubtitles> shown = Controller->Connection->ShownSubtitles();
    if (!shown || shown->FilmPath.empty()) return;
    if (FHandLoaded) {
        if (FHandFilm.empty()) FHandFilm = shown->FilmPath;
        if (FHandFilm == shown->FilmPath) return;
        FHandLoaded = false; // the next film: what the player shows is read
    }
    if (FShownRead == shown) return;
    FShownRead = shown;
    std::string file = shown->File, name = shown->File;
    int track = 0;
    if (shown->Guess) {
        // A subtitle file beside the film with its base name, else its first text track.
        const std::filesystem::path film(shown->FilmPath);
        for (const char* ext : {".srt", ".ass", ".ssa", ".vtt"}) {
            std::filesystem::path beside = film;
            beside.replace_extension(ext);
            std::error_code error;
            if (file.empty() && std::filesystem::is_regular_file(beside, error)) file = name = beside.string();
        }
        try {
            if (file.empty() && IsFilmFileName(shown->FilmPath) && FPlayers.Film &&
                !FPlayers.Film->Tracks(shown->FilmPath).Text.empty()) {
                file = shown->FilmPath;
                track = 1;
                name = shown->FilmPath + ", its first subtitle track";
            }
        } catch (const std::exception&) {
            // A film that cannot be opened shows nothing Parlino can read.
        }
    } else if (file.empty() && shown->StreamIndex >= 0 && FPlayers.Film) {
        try {
            const TFilmTracks tracks = FPlayers.Film->Tracks(shown->FilmPath);
            for (size_t i = 0; i < tracks.Text.size(); ++i)
                if (tracks.Text[i].StreamIndex == shown->StreamIndex) {
                    file = shown->FilmPath;
                    track = int(i) + 1;
                    name = shown->FilmPath + ", track " + FilmTrackName(track, tracks.Text[i]);
                }
        } catch (const std::exception&) {
            // A film that cannot be opened shows nothing Parlino can read.
        }
    }
    if (file.empty()) return; // no subtitles shown, or picture subtitles
    // The run goes on with the new subtitles: following, shift and all.
    const TPlayerConnection follower = Controller->Connection;
    const int32_t shift = Controller->TimeShift;
    FLoadingShown = true;
    RunGuarded([&] { LoadSubtitles(file, track); });
    FLoadingShown = false;
    FReadingNote = Loaded ? "Reading the subtitles the player shows: " + name : std::string();
    Controller->Connection = follower;
    Controller->TimeShift = shift;
    Controller->StartPlayback();
    UpdateControls();
}

void TfmParlinoA::SetWarning(const std::string& text) {
    FPlayerWarning = text;
    ShowWarnings();
}

std::string TfmParlinoA::DeviceWarning() const {
    if (FSpeechEnv.WaveOut && FSpeechEnv.WaveOut->ServerNotAnswering())
        return "The sound server does not answer: subtitles are read on time, but not heard.";
    // The chosen card is gone from the list: "(default)" stands in for it.
    if (FDeviceChoice.Name && !FDeviceChoice.Chosen && cbDevice->currentIndex() == FDeviceChoice.FallbackIndex &&
        cbDevice->count() > 0)
        return TUbSmartSpeech::DeviceWarningText(*FDeviceChoice.Name);
    return Speech->DeviceWarning(); // gone before the list knew it
}

void TfmParlinoA::ShowWarnings() {
    FDeviceWarning = DeviceWarning();
    std::string text = FPlayerWarning;
    for (const std::string* more : {&FDeviceWarning, &FReadingNote, &FFilmNote})
        if (!more->empty()) text += (text.empty() ? "" : "\r\n") + *more;
    const QString shown = AnsiToQt(text).replace("\r\n", "\n");
    if (lWarning->text() != shown) lWarning->setText(shown);
}

void TfmParlinoA::FillSoundCards(const std::vector<std::string>& cards, const std::vector<std::string>& ids) {
    cbDevice->clear();
    for (size_t i = 0; i < cards.size(); ++i)
        cbDevice->addItem(AnsiToQt(cards[i]), i < ids.size() ? QString::fromStdString(ids[i]) : QString());
}

std::string TfmParlinoA::SoundCardId(int index) const {
    return index >= 0 ? cbDevice->itemData(index).toString().toStdString() : std::string();
}

int TfmParlinoA::FindSoundCard(const std::string& name, const std::string& id) const {
    if (id.empty()) return cbDevice->findText(AnsiToQt(name), Qt::MatchExactly);
    for (int i = 0; i < cbDevice->count(); ++i)
        if (SoundCardId(i) == id) return i;
    return -1; // that card is not here, even when another one's name looks the same
}

std::pair<std::string, std::string> TfmParlinoA::DeviceChoiceToSave() const {
    const int index = cbDevice->currentIndex();
    if (FDeviceChoice.Name && !FDeviceChoice.Chosen && index == FDeviceChoice.FallbackIndex)
        return {*FDeviceChoice.Name, FDeviceChoice.Id};
    return {QtToAnsi(cbDevice->currentText()), SoundCardId(index)};
}

void TfmParlinoA::RefreshSoundCards() {
    std::vector<std::string> cards;
    GetSoundCardList(*FSpeechEnv.WaveOut, cards, true);
    const std::vector<std::string> ids = GetSoundCardIds(*FSpeechEnv.WaveOut, cards);
    bool same = static_cast<int>(cards.size()) == cbDevice->count();
    for (int i = 0; same && i < cbDevice->count(); ++i)
        same = cbDevice->itemText(i) == AnsiToQt(cards[static_cast<size_t>(i)]) &&
               SoundCardId(i) == ids[static_cast<size_t>(i)];
    if (!same) {
        // The user's choice: the one shown, or the one that is gone.
        const auto [chosen, chosenId] = DeviceChoiceToSave();
        const bool userPicked = FDeviceChoice.Chosen;
        const QSignalBlocker quiet(cbDevice);
        FillSoundCards(cards, ids);
        const int found = FindSoundCard(chosen, chosenId);
        cbDevice->setCurrentIndex(found >= 0 ? found : (cbDevice->count() > 0 ? 0 : -1));
        FDeviceChoice = {};
        FDeviceChoice.Chosen = userPicked && found >= 0;
        if (found < 0 && !chosen.empty()) {
            FDeviceChoice.Name = chosen;
            FDeviceChoice.Id = chosenId;
        }
        FDeviceChoice.FallbackIndex = cbDevice->currentIndex();
        // The facade's outputs follow the list, index for index.
        Speech->LoadAudioOutputs();
        Speech->AudioOutput = cbDevice->currentIndex() - 1;
    }
    // A sound server that stops answering is news too; the user hears of it once.
    if (FSpeechEnv.WaveOut->ServerNotAnswering() && !FServerHangReported) {
        FServerHangReported = true;
        QTimer::singleShot(0, this, [] {
            parlino::ReportError("The sound server does not answer. Subtitles are still read on time, but they "
                                 "cannot be heard until it answers again.");
        });
    }
    ShowWarnings();
}
void TfmParlinoA::SetFilmNote(const std::string& text) {
    FFilmNote = text;
    ShowWarnings();
}

void TfmParlinoA::SetStatus1(const std::string& text) { lStatus1->setText(AnsiToQt(text)); }

void TfmParlinoA::SetLateness(const std::string& text) {
    if (lLateness->text() != AnsiToQt(text)) lLateness->setText(AnsiToQt(text));
}
void TfmParlinoA::SetStatus2(const std::string& text) { lStatus2->setText(AnsiToQt(text)); }
std::string TfmParlinoA::PlayerTypeText() const { return QtToAnsi(cbPlayerType->currentText()); }

int TfmParlinoA::SelectedRow() const {
    const QModelIndex current = sg1->currentIndex();
    return current.isValid() ? current.row() + 1 : 1;
}

int TfmParlinoA::TopRow() const { return std::max(0, sg1->rowAt(0)) + 1; }

void TfmParlinoA::ScrollTo(int selectedRow, int topRow) {
    sg1->setCurrentIndex(GridModel->index(selectedRow - 1, std::max(0, sg1->currentIndex().column())));
    sg1->verticalScrollBar()->setValue(topRow - 1); // the grid scrolls by whole rows
}

void TfmParlinoA::ReportError(const std::string& message) {
    // Shown after the tick that found it has returned.
    QTimer::singleShot(0, this, [message] { parlino::ReportError(message); });
}

void TfmParlinoA::frEngSett1sb1ThumbPaint(QPainter& canvas, QRect rect) {
    if (const QImage* thumb = bmc1.FindBitmap("Thumb")) canvas.drawImage(rect, *thumb);
}

void TfmParlinoA::frEngSett1sb1BackgrPaint(QPainter& canvas, QRect rect) {
    if (const QImage* scroll = bmc1.FindBitmap("Scroll")) canvas.drawImage(rect, *scroll);
}

void TfmParlinoA::UpdateControls() {
    const bool running = Controller->Running;
    const bool playing = running && Controller->Connection && Controller->Connection->IsPlaying();
    btStartWatch->setEnabled(!running);
    btStopWatch->setEnabled(running);
    btPlay->setEnabled(!playing);
    btPause->setEnabled(playing);
    btStop->setEnabled(running);
    gbControlManual->setVisible(Loaded && rbManual->isChecked());
    gbControlTrack->setVisible(Loaded && rbTrack->isChecked());
    gbControlMode->setVisible(Loaded);
    gbSubs->setVisible(Loaded);
    cbDic->setVisible(chkDict->isChecked());
    btDicHelp->setVisible(chkDict->isChecked());
}

bool TfmParlinoA::eventFilter(QObject* watched, QEvent* event) {
    if (watched == sg1) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                RunGuarded([this] { sg1DblClick(); });
                return true;
            }
        }
        return QMainWindow::eventFilter(watched, event);
    }
    // Window dragging by the header, the groups and the explanatory labels.
    // The events are consumed so that a parent that is itself a drag handle
    // does not see them a second time in its own coordinates.
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        // The desktop's own move request where it has one (X11 and Wayland);
        // Wayland lets no window place itself, so moving by hand does nothing there.
        if (e->button() == Qt::LeftButton && windowHandle() && windowHandle()->startSystemMove()) return true;
        Dragging = true;
        DragX = static_cast<int32_t>(e->position().x());
        DragY = static_cast<int32_t>(e->position().y());
        return true;
    }
    case QEvent::MouseMove:
        if (Dragging) {
            auto* e = static_cast<QMouseEvent*>(event);
            move(x() + static_cast<int>(e->position().x()) - DragX, y() + static_cast<int>(e->position().y()) - DragY);
        }
        return true;
    case QEvent::MouseButtonRelease:
        Dragging = false;
        return true;
    default:
        return QMainWindow::eventFilter(watched, event);
    }
}

} // namespace parlino
