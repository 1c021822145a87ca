#pragma once
// The voice settings panel: the voice list (a drop-down list for up to 16
// voices, a read-only box with a popup for more) and the speed, pitch and
// volume sliders with their value labels, over the program's one speech
// facade. For a few legacy engines, named by their voices, speed and pitch
// travel as control tags in front of the text instead.

#include "speech/UbSmartSpeech.h"
#include "ui/SelectorFm.h"
#include "ui/UbScrollBar.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QWidget>

#include <functional>
#include <string>

namespace parlino {

// A read-only edit with a drop-down button; Down (without modifiers) presses it.
class TDropDownEdit : public QWidget {
    Q_OBJECT
public:
    explicit TDropDownEdit(QWidget* parent = nullptr);
    QLineEdit* Edit;
    QToolButton* Button;
    std::function<void()> OnButtonClick;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

class TfrEngSett : public QWidget {
    Q_OBJECT
public:
    // The panel's designed size is 273 x 105; sliders grow with the width.
    TfrEngSett(TUbSmartSpeech& speech, QWidget* parent = nullptr, int width = 273, int height = 105);

    TUbSmartSpeech& sp1;
    QLabel *Label1, *Label2, *Label3, *Label4;
    QComboBox* lbEngines;
    TDropDownEdit* selVoice;
    TUbScrollBar *sb1, *sb2, *sb3;
    QLabel *lSpeed, *lPitch, *lVolume;

    void SetVoice(const std::string& AVoiceName);
    std::string GetVoiceTags() const;
    void lbEnginesChange();
    void sb1Change(TUbScrollBar* sender);
    void selVoiceButtonClick();

    bool TagVoice() const;
    bool AttVoice() const;

    // Hook for tests: runs the popup instead of showing it modally and
    // returns its result (QDialog::Accepted or Rejected).
    using TSelectorHook = std::function<int(TfmSelector& popup)>;
    static void SetSelectorHook(TSelectorHook hook);

private:
    void UpdateView();

    int32_t FVoiceSpeed = 0, FVoicePitch = 0, FVoiceVolume = 0;
    int32_t FSpeed = 0, FPitch = 0, FVolume = 0;
    bool FUpdating = false;
    bool FTagEngine = false;
    bool FAttEngine = false;
};

} // namespace parlino
