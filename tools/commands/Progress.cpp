#include "commands/Progress.h"

namespace quorvel::tools {

Progress::Progress(std::ostream& out, std::string label, std::uint64_t total)
    : out_(out), label_(std::move(label)), total_(total) {}

Progress::~Progress() {
    if (shown_ >= 0 && !finished_) {
        out_ << '\n' << std::flush;
    }
}

void Progress::advance(std::uint64_t done) {
    const int percent = total_ == 0 ? 100 : static_cast<int>(done * 100 / total_);
    if (percent != shown_) {
        show(percent);
    }
}

void Progress::finish() {
    if (shown_ != 100) {
        show(100);
    }
    out_ << '\n' << std::flush;
    finished_ = true;
}

void Progress::show(int percent) {
    shown_ = percent;
    out_ << '\r' << label_ << ' ' << percent << '%' << std::flush;
}

}  // namespace quorvel::tools
