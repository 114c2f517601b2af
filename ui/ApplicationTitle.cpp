#include "ApplicationTitle.h"

#include <algorithm>

namespace quorvel::ui {

QString applicationTitleFromPath(const QString& executablePath) {
    const qsizetype nameStart =
        std::max(executablePath.lastIndexOf(u'/'), executablePath.lastIndexOf(u'\\')) + 1;
    QString name = executablePath.mid(nameStart);
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0) {
        name.truncate(dot);
    }
    if (name.isEmpty()) {
        return name;
    }
    // The first character may be a surrogate pair; it is cased as one.
    const qsizetype firstLength = name.at(0).isHighSurrogate() && name.size() > 1 ? 2 : 1;
    return name.left(firstLength).toUpper() + name.mid(firstLength).toLower();
}

}  // namespace quorvel::ui
