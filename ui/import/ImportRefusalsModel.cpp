#include "import/ImportRefusalsModel.h"

#include <algorithm>
#include <climits>

namespace quorvel::ui {

void ImportRefusalsModel::show(const ImportPreview* preview) {
    beginResetModel();
    preview_ = preview;
    endResetModel();
}

int ImportRefusalsModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || preview_ == nullptr) {
        return 0;
    }
    // A view counts its rows in int; more refusals than that are told by the count alone.
    return static_cast<int>(std::min<std::size_t>(preview_->refusals().size(), INT_MAX));
}

QVariant ImportRefusalsModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || preview_ == nullptr) {
        return {};
    }
    const PreviewRefusal& refusal = preview_->refusals()[static_cast<std::size_t>(index.row())];
    return preview_->place(refusal.line) + QStringLiteral(": ") + refusal.reason;
}

}  // namespace quorvel::ui
