// Percent done, on one line of stderr rewritten in place with a carriage return. A line is
// written only when the whole percent changes, so a million rows cost a hundred writes. Nothing
// shows before the first advance, so a run refused at once prints its reason alone; a line
// left unfinished by a failure is ended when the object goes, before the reason is printed.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace quorvel::tools {

class Progress {
  public:
    Progress(std::ostream& out, std::string label, std::uint64_t total);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // done of total finished; done never goes back.
    void advance(std::uint64_t done);
    // Shows 100% and ends the line.
    void finish();

  private:
    void show(int percent);

    std::ostream& out_;
    std::string label_;
    std::uint64_t total_;
    int shown_ = -1;  // the percent on the line; -1 before the first
    bool finished_ = false;
};

}  // namespace quorvel::tools
