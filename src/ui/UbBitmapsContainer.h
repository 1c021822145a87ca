#pragma once
// A list of named bitmaps, found by name without regard to letter case.

#include <QImage>

#include <string>
#include <deque>

namespace parlino {

class TUbBitmapsItem {
public:
    explicit TUbBitmapsItem(std::string name) : FBitmapName(std::move(name)) {}
    const std::string& BitmapName() const { return FBitmapName; }
    // Throws EParlinoError "BitmapName value can not be empty!" for an empty
    // or blank name; the item keeps its name then.
    void SetBitmapName(const std::string& value);
    const QImage& Bitmap() const { return FBitmap; }
    void SetBitmap(const QImage& picture) { FBitmap = picture.copy(); }

private:
    std::string FBitmapName;
    QImage FBitmap;
};

class TUbBitmapsContainer {
public:
    // A new item is named "Bitmap" followed by the number of items, itself
    // included. References to items stay valid while items are added.
    TUbBitmapsItem& Add();
    // The bitmap of the first item whose name equals `name` in upper case;
    // null when none does. The container keeps ownership.
    const QImage* FindBitmap(const std::string& name) const;
    std::deque<TUbBitmapsItem>& Items() { return FItems; }
    void SetItems(const std::deque<TUbBitmapsItem>& items) { FItems = items; }

private:
    std::deque<TUbBitmapsItem> FItems;
};

} // namespace parlino
