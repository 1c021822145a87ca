#pragma once
#include <string>

namespace parlino {

// Plain message boxes that code without a window of its own can show.
class IMessageBoxes {
public:
    virtual ~IMessageBoxes() = default;
    // A modal information box with no owner window, an information icon and
    // one OK button; returns when the user has closed it. Texts are ANSI text
    // in the system code page; "\r\n", "\r" and "\n" break lines.
    virtual void ShowInformation(const std::string& caption, const std::string& text) = 0;
};

} // namespace parlino
