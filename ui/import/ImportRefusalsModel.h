// The refused rows of a preview as a list view shows them, one line each: "řádek 7: reason".
// A model over the preview's own list, so that a file refused on every one of a million rows
// shows them without a widget item per row.
#pragma once

#include <QAbstractListModel>

#include "import/ImportPreview.h"

namespace quorvel::ui {

class ImportRefusalsModel : public QAbstractListModel {
    Q_OBJECT

  public:
    using QAbstractListModel::QAbstractListModel;

    // Shows the refusals of preview, which must outlive the model or the next call.
    void show(const ImportPreview* preview);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

  private:
    const ImportPreview* preview_ = nullptr;
};

}  // namespace quorvel::ui
