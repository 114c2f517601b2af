#include "import/ImportRefusalsModel.h"

#include <algorithm>
#include <climits>

namespace quorvel::ui {

void ImportRefusalsModel::show(const std::vector<PreviewRefusal>* refusals) {
    beginResetModel();
    refusals_ = refusals;
    endResetModel();
}

int ImportRefusalsModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || refusals_ == nullptr) {
        return 0;
    }
    // A view counts its rows in int; more refusals than that are told by the count alone.
    return static_cast<int>(std::min<std::size_t>(refusals_->size(), INT_MAX));
}

QVariant ImportRefusalsModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || refusals_ == nullptr) {
        return {};
    }
    const PreviewRefusal& refusal = (*refusals_)[static_cast<std::size_t>(index.row())];
    return refusal.place + QStringLiteral(": ") + refusal.reason;
}

}  // namespace quorvel::ui
