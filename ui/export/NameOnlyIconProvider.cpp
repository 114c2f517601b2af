#include "export/NameOnlyIconProvider.h"

#include <QFileInfo>
#include <QMimeDatabase>

namespace quorvel::ui {

QIcon NameOnlyIconProvider::icon(const QFileInfo& info) const {
    if (info.isRoot()) {
        return icon(QAbstractFileIconProvider::Drive);
    }
    return icon(info.isDir() ? QAbstractFileIconProvider::Folder : QAbstractFileIconProvider::File);
}

QString NameOnlyIconProvider::type(const QFileInfo& info) const {
    if (info.isDir()) {
        return QFileIconProvider::type(info);  // "Folder": told by the kind, nothing read
    }
    // By the name's pattern only: the database's other lookups read the file when the name
    // leaves the type open.
    const QMimeDatabase types;
    const QList<QMimeType> byName = types.mimeTypesForFileName(info.fileName());
    const QMimeType mime = byName.isEmpty()
                               ? types.mimeTypeForName(QStringLiteral("application/octet-stream"))
                               : byName.first();
    return mime.comment().isEmpty() ? mime.name() : mime.comment();
}

}  // namespace quorvel::ui
