// The texts of the export's progress window: sizes as the desktop's file managers give them,
// in decimal units with a Czech decimal comma.
#pragma once

#include <QString>

#include <cstdint>

namespace quorvel::ui {

// "0 B", "950 B", "1,2 kB", "812 MB", "1,6 GB": the largest unit that keeps the number at 1 or
// more, one decimal below 10 of it, rounded to the nearest.
QString sizeText(std::uint64_t bytes);

// "Zkopírováno 812 MB z 1,6 GB".
QString copiedText(std::uint64_t copied, std::uint64_t total);

}  // namespace quorvel::ui
