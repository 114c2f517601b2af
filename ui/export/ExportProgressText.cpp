#include "export/ExportProgressText.h"

namespace quorvel::ui {

QString sizeText(std::uint64_t bytes) {
    static const char* const units[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
    if (bytes < 1000) {
        return QStringLiteral("%1 B").arg(bytes);
    }
    // bytes in units of size, rounded to the nearest, half up; no sum can overflow.
    const auto rounded = [bytes](std::uint64_t size) {
        return bytes / size + (bytes % size >= size - size / 2 ? 1 : 0);
    };
    std::uint64_t unit = 1000;
    std::size_t index = 0;
    // A number that rounds to 1000 goes up to the next unit.
    while (index + 1 < std::size(units) && rounded(unit) >= 1000) {
        unit *= 1000;
        ++index;
    }
    const std::uint64_t tenths = rounded(unit / 10);
    if (tenths < 100) {
        return QStringLiteral("%1,%2 %3").arg(tenths / 10).arg(tenths % 10).arg(units[index]);
    }
    return QStringLiteral("%1 %2").arg(rounded(unit)).arg(units[index]);
}

QString copiedText(std::uint64_t copied, std::uint64_t total) {
    return QStringLiteral("Zkopírováno %1 z %2").arg(sizeText(copied), sizeText(total));
}

}  // namespace quorvel::ui
