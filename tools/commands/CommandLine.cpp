#include "commands/CommandLine.h"

#include <unistd.h>

#include <charconv>
#include <iostream>
#include <stdexcept>
#include <system_error>

#include "engine/Engine.h"

namespace quorvel::tools {

std::optional<std::uint64_t> parseNumber(const std::string& text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || text[0] == '+' || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

void requireOperands(const Arguments& arguments, std::size_t least, std::size_t most,
                     const char* form) {
    const std::size_t operands = arguments.size() - 1;
    if (operands < least || operands > most) {
        throw UsageError{std::string("usage: qvtool ") + form};
    }
}

std::map<std::string, std::string> readOptions(const Arguments& arguments, std::size_t first,
                                               const std::set<std::string>& flags,
                                               const std::set<std::string>& valued,
                                               const char* form) {
    std::map<std::string, std::string> options;
    for (std::size_t i = first; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        const bool flag = flags.count(name) != 0;
        if ((!flag && (valued.count(name) == 0 || i + 1 >= arguments.size())) ||
            options.count(name) != 0) {
            throw UsageError{std::string("usage: qvtool ") + form};
        }
        options[name] = flag ? std::string() : arguments[++i];
    }
    return options;
}

void requireDirectory(const std::filesystem::path& directory) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(directory, error);
    if (!std::filesystem::exists(status)) {
        throw std::runtime_error(directory.string() + ": no such directory");
    }
    if (!std::filesystem::is_directory(status)) {
        throw std::runtime_error(directory.string() + ": not a directory");
    }
}

void checkOpens(const std::filesystem::path& directory) {
    Engine engine(directory);
    engine.database();
}

TerminalProgress::TerminalProgress(std::string label)
    : label_(std::move(label)), watched_(::isatty(STDERR_FILENO) != 0) {}

TerminalProgress::TerminalProgress(std::string label, std::uint64_t total)
    : TerminalProgress(std::move(label)) {
    start(total);
}

void TerminalProgress::start(std::uint64_t total) {
    if (watched_ && !line_) {
        // std::clog: stderr too, but outside the filter that keeps controls from the terminal,
        // as the line is redrawn by a carriage return.
        line_ = std::make_unique<Progress>(std::clog, label_, total);
    }
}

void TerminalProgress::advance(std::uint64_t done) {
    if (line_) {
        line_->advance(done);
    }
}

void TerminalProgress::advance(std::uint64_t done, std::uint64_t total) {
    start(total);
    advance(done);
}

void TerminalProgress::finish() {
    if (line_) {
        line_->finish();
    }
}

std::function<void(const std::string& step)> terminalSteps() {
    const bool watched = ::isatty(STDERR_FILENO) != 0;
    return [watched](const std::string& step) {
        if (watched) {
            std::cerr << "qvtool: " << step << "...\n";
        }
    };
}

}  // namespace quorvel::tools
