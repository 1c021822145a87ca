#include "ui/UbBitmapsContainer.h"

#include "platform/Exceptions.h"
#include "ui/QtText.h"

namespace parlino {

void TUbBitmapsItem::SetBitmapName(const std::string& value) {
    bool blank = true;
    for (char c : value)
        if (static_cast<unsigned char>(c) > ' ') blank = false;
    if (blank) throw EParlinoError("BitmapName value can not be empty!");
    FBitmapName = value;
}

TUbBitmapsItem& TUbBitmapsContainer::Add() {
    FItems.emplace_back("Bitmap" + std::to_string(FItems.size() + 1));
    return FItems.back();
}

const QImage* TUbBitmapsContainer::FindBitmap(const std::string& name) const {
    const std::string upper = UiCodec().AnsiUpperCase(name);
    for (const TUbBitmapsItem& item : FItems)
        if (UiCodec().AnsiUpperCase(item.BitmapName()) == upper) return &item.Bitmap();
    return nullptr;
}

} // namespace parlino
