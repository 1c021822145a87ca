#include "ui/EngSettFr.h"

namespace parlino {
namespace {

QSlider* MakeSlider(QWidget* parent, const char* name, int left, int top, int width) {
    auto* s = new QSlider(Qt::Horizontal, parent);
    s->setRange(0, 100);
    s->setGeometry(left, top, width, 16);
    s->setAccessibleName(name);
    return s;
}

} // namespace

TfrEngSett::TfrEngSett(QWidget* parent, int width, int height) : QWidget(parent) {
    resize(width, height);
    // Sliders are anchored left and right, value labels right: they follow
    // the panel's width.
    const int grow = width - 273;
    Label1 = new QLabel("Voice:", this);
    Label1->move(8, 8);
    lbEngines = new QComboBox(this);
    lbEngines->setGeometry(56, 3, 169, 21);
    lbEngines->setMaxVisibleItems(40);
    lbEngines->setAccessibleName("Voice");
    lbEngines->hide();
    selVoice = new QLineEdit(this);
    selVoice->setReadOnly(true);
    selVoice->setGeometry(56, 3, 169, 21);
    selVoice->setAccessibleName("Voice");
    selVoice->hide();
    Label1->setBuddy(lbEngines);

    Label2 = new QLabel("Speed:", this);
    Label2->move(8, 32);
    sb1 = MakeSlider(this, "Speed", 56, 32, 169 + grow);
    lSpeed = new QLabel(this);
    lSpeed->move(230 + grow, 32);
    Label3 = new QLabel("Pitch:", this);
    Label3->move(8, 56);
    sb2 = MakeSlider(this, "Pitch", 56, 56, 169 + grow);
    lPitch = new QLabel(this);
    lPitch->move(230 + grow, 56);
    Label4 = new QLabel("Volume:", this);
    Label4->move(8, 80);
    sb3 = MakeSlider(this, "Volume", 56, 80, 169 + grow);
    lVolume = new QLabel(this);
    lVolume->move(230 + grow, 80);
    for (QSlider* s : {sb1, sb2, sb3}) connect(s, &QSlider::valueChanged, this, [this] { UpdateView(); });
    UpdateView();
}

void TfrEngSett::UpdateView() {
    lSpeed->setText(QString::number(sb1->value()));
    lPitch->setText(QString::number(sb2->value()));
    lVolume->setText(QString::number(sb3->value()));
    for (QLabel* l : {lSpeed, lPitch, lVolume}) l->adjustSize();
}

} // namespace parlino
