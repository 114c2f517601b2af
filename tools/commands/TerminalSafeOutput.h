// qvtool's reports quote what files hold: header names, titles, lines of a list. A control
// character among them (an escape sequence, a bell, a carriage return) would reach the terminal
// and could retitle it, recolour it or overwrite what was said. Everything qvtool writes for
// people passes through this: C0 controls but the tab and the line end (LF, or CR LF), DEL,
// and the C1 controls of UTF-8 (U+0080 to U+009F) are written as \xNN or \uNNNN instead; all
// else passes unchanged. The progress line, redrawn by a carriage return and quoting no file,
// goes to std::clog, which is left alone.
#pragma once

#include <ostream>
#include <streambuf>

namespace quorvel::tools {

class TerminalSafeBuffer : public std::streambuf {
  public:
    explicit TerminalSafeBuffer(std::streambuf* target) : target_(target) {}
    // Writes out a lead byte still waiting for the byte that tells whether it starts a C1
    // control.
    ~TerminalSafeBuffer() override;

  protected:
    int_type overflow(int_type c) override;
    int sync() override;

  private:
    bool put(char c) { return target_->sputc(c) != traits_type::eof(); }
    bool putEscaped(const char* prefix, unsigned value, int digits);

    std::streambuf* target_;
    bool leadPending_ = false;  // a 0xC2 byte held back
    bool crPending_ = false;    // a CR held back until it is known whether LF follows
};

// Puts stream's output through a TerminalSafeBuffer for as long as this lives.
class TerminalSafeOutput {
  public:
    explicit TerminalSafeOutput(std::ostream& stream);
    ~TerminalSafeOutput();
    TerminalSafeOutput(const TerminalSafeOutput&) = delete;
    TerminalSafeOutput& operator=(const TerminalSafeOutput&) = delete;

  private:
    std::ostream& stream_;
    std::streambuf* original_;
    TerminalSafeBuffer buffer_;
};

}  // namespace quorvel::tools
