#include "ui/TSubtitleGridModel.h"

#include "subtitles/FormatTime.h"
#include "ui/QtText.h"

#include <QBrush>
#include <QPalette>

namespace parlino {

void TSubtitleGridModel::SetItems(const TslItems* items) {
    beginResetModel();
    FItems = items;
    endResetModel();
}

void TSubtitleGridModel::SetCodePage(uint32_t codePage) {
    if (codePage == FCodePage) return;
    FCodePage = codePage;
    if (rowCount() > 0) emit dataChanged(index(0, 2), index(rowCount() - 1, 2));
}

int TSubtitleGridModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    // Before any file, the grid has its header row and one empty row.
    const size_t n = FItems ? FItems->size() : 0;
    return static_cast<int>(std::min<size_t>(n + 1, INT32_MAX - 1));
}

int TSubtitleGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant TSubtitleGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const size_t i = static_cast<size_t>(index.row());
    const bool hasItem = FItems && i < FItems->size();
    if (role == Qt::BackgroundRole && index.column() == 0)
        return QPalette().brush(QPalette::Button); // the fixed first column
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
    if (!hasItem) return QString();
    const TslItem& item = (*FItems)[i];
    switch (index.column()) {
    case 0: return QString::number(index.row() + 1);
    case 1: return QString::fromLatin1(FormatTime(item.StartMs, FSeparator).c_str());
    default: return AnsiToQt(item.DisplayText, FCodePage);
    }
}

QVariant TSubtitleGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* headers[] = {"#", "Time", "Text"};
    return section >= 0 && section < 3 ? QString(headers[section]) : QVariant();
}

} // namespace parlino
