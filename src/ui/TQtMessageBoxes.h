#pragma once
#include "platform/IMessageBoxes.h"

namespace parlino {

// Message boxes of the widget toolkit.
class TQtMessageBoxes final : public IMessageBoxes {
public:
    void ShowInformation(const std::string& caption, const std::string& text) override;
};

} // namespace parlino
