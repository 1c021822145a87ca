#include "ui/EngSettFr.h"

#include "ui/QtText.h"
#include "ui/TCursorGuard.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QKeyEvent>
#include <QStyle>

namespace parlino {
namespace {

TfrEngSett::TSelectorHook& SelectorHook() {
    static TfrEngSett::TSelectorHook hook;
    return hook;
}

TUbScrollBar* MakeSlider(QWidget* parent, const char* name, int top, int width) {
    auto* s = new TUbScrollBar(parent);
    s->setGeometry(56, top, width, 16);
    s->SetMin(0);
    s->SetMax(100);
    s->SetThumbWidth(16);
    s->SetThumbHeight(16);
    s->TextMargin = 1;
    s->setAccessibleName(name);
    s->Loaded();
    return s;
}

QLabel* MakeLabel(QWidget* parent, const char* text, int left, int top) {
    auto* l = new QLabel(text, parent);
    l->move(left, top);
    l->adjustSize();
    return l;
}

} // namespace

TDropDownEdit::TDropDownEdit(QWidget* parent) : QWidget(parent) {
    Edit = new QLineEdit(this);
    Edit->setReadOnly(true);
    Button = new QToolButton(this);
    Button->setArrowType(Qt::DownArrow);
    Button->setFocusPolicy(Qt::NoFocus);
    Button->setAccessibleName("Choose voice");
    connect(Button, &QToolButton::clicked, this, [this] {
        if (OnButtonClick) OnButtonClick();
    });
    Edit->installEventFilter(this);
    setFocusProxy(Edit);
}

void TDropDownEdit::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int b = height();
    Edit->setGeometry(0, 0, width() - b, height());
    Button->setGeometry(width() - b, 0, b, height());
}

bool TDropDownEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit && event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        if (k->key() == Qt::Key_Down && k->modifiers() == Qt::NoModifier) {
            Button->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfrEngSett::SetSelectorHook(TSelectorHook hook) { SelectorHook() = std::move(hook); }

TfrEngSett::TfrEngSett(TUbSmartSpeech& speech, QWidget* parent, int width, int height)
    : QWidget(parent), sp1(speech) {
    resize(width, height);
    const int grow = width - 273;
    Label1 = MakeLabel(this, "Voice:", 8, 8);
    lbEngines = new QComboBox(this);
    lbEngines->setGeometry(56, 3, 169, 21);
    lbEngines->setMaxVisibleItems(40);
    lbEngines->setAccessibleName("Voice");
    lbEngines->hide();
    selVoice = new TDropDownEdit(this);
    selVoice->resize(169, 21);
    selVoice->setAccessibleName("Voice");
    selVoice->Edit->setAccessibleName("Voice");
    selVoice->hide();
    selVoice->OnButtonClick = [this] { selVoiceButtonClick(); };
    Label1->setBuddy(lbEngines);

    Label2 = MakeLabel(this, "Speed:", 8, 32);
    sb1 = MakeSlider(this, "Speed", 32, 169 + grow);
    Label3 = MakeLabel(this, "Pitch:", 8, 56);
    sb2 = MakeSlider(this, "Pitch", 56, 169 + grow);
    Label4 = MakeLabel(this, "Volume:", 8, 80);
    sb3 = MakeSlider(this, "Volume", 80, 169 + grow);
    lSpeed = MakeLabel(this, "0", 230 + grow, 32);
    lPitch = MakeLabel(this, "0", 230 + grow, 56);
    lVolume = MakeLabel(this, "0", 230 + grow, 80);
    for (TUbScrollBar* s : {sb1, sb2, sb3}) s->OnChange = [this](TUbScrollBar* sender) { sb1Change(sender); };
    connect(lbEngines, &QComboBox::activated, this, [this] { lbEnginesChange(); });
}

bool TfrEngSett::TagVoice() const { return FTagEngine && sp1.VoiceSelected() && sp1.GetInfo().IsSapi4(); }
bool TfrEngSett::AttVoice() const { return FAttEngine && sp1.VoiceSelected() && sp1.GetInfo().IsSapi4(); }

void TfrEngSett::SetVoice(const std::string& AVoiceName) {
    TWaitCursor wait;
    FUpdating = true;
    try {
        const std::vector<std::string> names = sp1.VoiceNames();
        lbEngines->clear();
        for (const std::string& n : names) lbEngines->addItem(AnsiToQt(n));
        const bool known = !AVoiceName.empty() && std::find_if(names.begin(), names.end(), [&](const std::string& n) {
                                                       return UiCodec().AnsiUpperCase(n) ==
                                                              UiCodec().AnsiUpperCase(AVoiceName);
                                                   }) != names.end();
        sp1.SelectVoice(known ? AVoiceName : (names.empty() ? std::string() : names.front()));
        const std::string upper = UiCodec().AnsiUpperCase(sp1.GetInfo().Name);
        FTagEngine = upper.find("DIGALO") != std::string::npos || upper.find("SPEECH CUBE") != std::string::npos ||
                     upper.find("ELAN") != std::string::npos;
        FAttEngine = upper.find("ATT ") != std::string::npos;
        FVoiceSpeed = sp1.GetSpeed();
        FVoicePitch = sp1.GetPitch();
        FVoiceVolume = sp1.GetVolume();
        FSpeed = sp1.GetSpeed();
        FPitch = sp1.GetPitch();
        FVolume = sp1.GetVolume();
        const TUbSmartSpeechVoiceInfo& info = sp1.GetInfo();
        for (TUbScrollBar* s : {sb1, sb2, sb3}) s->SetMin(0);
        sb1->SetMax(info.SpeedMax);
        sb1->SetMin(info.SpeedMin);
        sb2->SetMax(info.PitchMax);
        sb2->SetMin(info.PitchMin);
        sb3->SetMax(info.VolumeMax);
        sb3->SetMin(info.VolumeMin);
        sb1->SetPosition(FVoiceSpeed);
        sb2->SetPosition(FVoicePitch);
        sb3->SetPosition(FVoiceVolume);
    } catch (...) {
        // Failures while listing or selecting are swallowed; the rest still runs.
    }
    selVoice->move(lbEngines->pos());
    lbEngines->setVisible(lbEngines->count() <= 16);
    selVoice->setVisible(!lbEngines->isVisibleTo(this));
    FUpdating = false;
    UpdateView(); // without any voice this raises the facade's error to the caller
}

void TfrEngSett::UpdateView() {
    TFlagGuard updating(FUpdating);
    const TUbSmartSpeechVoiceInfo& info = sp1.GetInfo();
    lbEngines->setCurrentIndex(lbEngines->findText(AnsiToQt(info.Name), Qt::MatchExactly));
    sb1->SetPosition(TagVoice() ? FSpeed : sp1.GetSpeed());
    sb2->SetPosition(TagVoice() || AttVoice() ? FPitch : sp1.GetPitch());
    sb3->SetPosition(TagVoice() ? FVolume : sp1.GetVolume());
    lSpeed->setText(QString::number(sb1->Position()));
    lPitch->setText(QString::number(sb2->Position()));
    lVolume->setText(QString::number(sb3->Position()));
    for (QLabel* l : {lSpeed, lPitch, lVolume}) l->adjustSize();
    selVoice->Edit->setText(lbEngines->currentText());
    selVoice->Edit->setCursorPosition(0); // show the start of a long name
    const bool volume = !TagVoice();
    sb3->setVisible(volume);
    lVolume->setVisible(volume);
    Label4->setVisible(volume);
}

void TfrEngSett::sb1Change(TUbScrollBar* sender) {
    if (FUpdating) return;
    struct TViewUpdate {
        TfrEngSett* Panel;
        ~TViewUpdate() {
            try {
                Panel->UpdateView();
            } catch (...) {
            }
        }
    } update{this};
    const int32_t position = sender->Position();
    if (sender == sb1) {
        sp1.SetSpeed(position);
        QApplication::processEvents();
        FSpeed = position;
        sp1.SpeedValue = position;
    } else if (sender == sb2) {
        if (!AttVoice()) sp1.SetPitch(position);
        FPitch = position;
        sp1.PitchValue = position;
    } else if (sender == sb3) {
        if (sp1.GetInfo().IsSapi5() || (!FAttEngine && !FTagEngine)) {
            sp1.SetVolume(position);
            FVolume = position;
            sp1.VolumeValue = position;
        }
    }
}

void TfrEngSett::lbEnginesChange() {
    if (FUpdating) return;
    sp1.Stop();
    selVoice->Edit->setText(lbEngines->currentText());
    const int index = lbEngines->currentIndex();
    const std::vector<std::string> names = sp1.VoiceNames();
    if (index >= 0 && static_cast<size_t>(index) < names.size()) SetVoice(names[static_cast<size_t>(index)]);
}

void TfrEngSett::selVoiceButtonClick() {
    TfmSelector popup(this);
    popup.g1->setRowCount(lbEngines->count());
    for (int i = 0; i < lbEngines->count(); ++i) {
        popup.g1->setItem(i, 0, new QTableWidgetItem(QString::number(i)));
        popup.g1->setItem(i, 1, new QTableWidgetItem(lbEngines->itemText(i)));
    }
    popup.g1->setCurrentCell(std::max(0, lbEngines->currentIndex()), 1);
    // Under the voice box: one pixel below it, its left edge in line with the
    // box's (lining up the right edges put the list, wider than the box,
    // over the "Voice:" caption at the window's left edge).
    // Where the program places windows itself (X11) the list is kept on the
    // screen; on Wayland the desktop does that for a popup.
    QPoint p = mapToGlobal(QPoint(selVoice->x(), selVoice->y() + selVoice->height() + 1));
    if (!QGuiApplication::platformName().startsWith("wayland")) {
        if (const QScreen* screen = this->screen()) {
            const QRect room = screen->availableGeometry();
            p.setX(std::max(room.left(), std::min(p.x(), room.right() + 1 - popup.width())));
            p.setY(std::max(room.top(), std::min(p.y(), room.bottom() + 1 - popup.height())));
        }
    }
    popup.move(p);
    const int result = SelectorHook() ? SelectorHook()(popup) : popup.exec();
    if (result != QDialog::Accepted) return;
    QTableWidgetItem* chosen = popup.g1->item(popup.g1->currentRow(), 1);
    if (!chosen) return;
    lbEngines->setCurrentIndex(lbEngines->findText(chosen->text(), Qt::MatchExactly));
    lbEnginesChange();
}

std::string TfrEngSett::GetVoiceTags() const {
    if (!TagVoice()) return {};
    return " \\Spd=" + std::to_string(FSpeed) + "\\  \\Pit=" + std::to_string(FPitch) + "\\  \\Vol=65535\\ ";
}

} // namespace parlino
