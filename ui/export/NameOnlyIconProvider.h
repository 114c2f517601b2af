// Icons and type names for the save dialog's list, told from a file's name and kind alone.
// Qt's own provider looks into a file's first bytes to guess its type, and its model does so
// again whenever the directory changes: for the catalogue's directory that means opening and
// closing qv.db and qv.mb each time another running copy commits, and on Linux closing any
// descriptor of a file drops every POSIX lock the process holds on it, the engine's among them.
// This provider never opens a file.
#pragma once

#include <QFileIconProvider>

namespace quorvel::ui {

class NameOnlyIconProvider : public QFileIconProvider {
  public:
    QIcon icon(const QFileInfo& info) const override;
    QString type(const QFileInfo& info) const override;
    using QFileIconProvider::icon;
};

}  // namespace quorvel::ui
