#pragma once
// The rows of the subtitle grid, computed on demand from the track, so that
// even a track of millions of entries shows at once: row r >= 1 is element
// r - 1 with its number, start time and text; the header row holds "#",
// "Time" and "Text"; one empty row follows the last entry.

#include "subtitles/TslItem.h"

#include <QAbstractTableModel>

#include <cstdint>

namespace parlino {

class TSubtitleGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TSubtitleGridModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // Shows `items` (not owned; may be null), with texts in `codePage`.
    void SetItems(const TslItems* items);
    void SetCodePage(uint32_t codePage);
    void SetTimeSeparator(char separator) { FSeparator = separator; }
    // Rows as the grid counts them, the header row included.
    int GridRowCount() const { return rowCount() + 1; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const TslItems* FItems = nullptr;
    uint32_t FCodePage = 0;
    char FSeparator = ':';
};

} // namespace parlino
