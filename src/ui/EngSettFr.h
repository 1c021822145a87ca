#pragma once
// The voice settings panel: the voice list and the speed, pitch and volume
// sliders with their value labels.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QWidget>

#include <string>

namespace parlino {

class TfrEngSett : public QWidget {
    Q_OBJECT
public:
    // `sliderWidth` and `valueLeft` place the sliders and their value labels;
    // the panel's designed size is 273 x 105 with 169 px sliders.
    explicit TfrEngSett(QWidget* parent = nullptr, int width = 273, int height = 105);

    QLabel *Label1, *Label2, *Label3, *Label4;
    QComboBox* lbEngines;
    QLineEdit* selVoice;
    QSlider *sb1, *sb2, *sb3;
    QLabel *lSpeed, *lPitch, *lVolume;

    // The tag prefix that must precede every text for voices that need
    // engine tags; empty for all others.
    std::string GetVoiceTags() const { return {}; }

private:
    void UpdateView();
};

} // namespace parlino
