#include "holdings/IssueNumber.h"

#include <array>

namespace quorvel {

namespace {

constexpr int highestNumber = 999;
constexpr int widestJointIssue = 12;
// A two-digit year below this is in the 2000s, else in the 1900s.
constexpr int twoDigitPivot = 30;

// A cursor over the text; every reader skips the blanks before what it reads.
class Reader {
  public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool atEnd() {
        skipBlanks();
        return text_.empty();
    }
    // A run of digits, and how many there were; nullopt when none (or more than four).
    std::optional<std::pair<int, int>> digits() {
        skipBlanks();
        int value = 0;
        int count = 0;
        while (count < static_cast<int>(text_.size()) && text_[count] >= '0' &&
               text_[count] <= '9') {
            if (++count > 4) {
                return std::nullopt;
            }
            value = value * 10 + (text_[count - 1] - '0');
        }
        if (count == 0) {
            return std::nullopt;
        }
        text_.remove_prefix(static_cast<std::size_t>(count));
        return std::pair{value, count};
    }
    bool take(std::string_view token) {
        skipBlanks();
        if (!text_.starts_with(token)) {
            return false;
        }
        text_.remove_prefix(token.size());
        return true;
    }
    bool atDigit() {
        skipBlanks();
        return !text_.empty() && text_.front() >= '0' && text_.front() <= '9';
    }
    // A prefix such as "č." or "No.", compared without regard to the case of ASCII letters.
    bool takePrefix(std::string_view prefix) {
        skipBlanks();
        if (text_.size() < prefix.size()) {
            return false;
        }
        for (std::size_t i = 0; i < prefix.size(); ++i) {
            const auto lower = [](char c) {
                return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
            };
            if (lower(text_[i]) != prefix[i]) {
                return false;
            }
        }
        text_.remove_prefix(prefix.size());
        return true;
    }

  private:
    void skipBlanks() {
        while (!text_.empty() && (text_.front() == ' ' || text_.front() == '\t')) {
            text_.remove_prefix(1);
        }
    }

    std::string_view text_;
};

struct Numbers {
    int first = 0;
    int last = 0;
    int firstDigits = 0;  // how many digits the first number had
    bool joint = false;
};

std::optional<Numbers> readNumbers(Reader& reader) {
    const auto first = reader.digits();
    if (!first) {
        return std::nullopt;
    }
    Numbers numbers{first->first, first->first, first->second, false};
    // A hyphen, an en dash or a plus joins the numbers of a double issue.
    if (reader.take("-") || reader.take("\u2013") || reader.take("+")) {
        const auto last = reader.digits();
        if (!last) {
            return std::nullopt;
        }
        numbers.last = last->first;
        numbers.joint = true;
    }
    return numbers;
}

bool plausible(const Numbers& numbers) {
    return numbers.first >= 1 && numbers.last <= highestNumber && numbers.first <= numbers.last &&
           numbers.last - numbers.first < widestJointIssue &&
           (!numbers.joint || numbers.first < numbers.last);
}

std::optional<int> yearOf(const Numbers& part) {
    if (part.joint) {
        return std::nullopt;
    }
    if (part.firstDigits == 4 && part.first >= earliestIssueYear && part.first <= latestIssueYear) {
        return part.first;
    }
    if (part.firstDigits == 2) {
        return pivotYear(part.first);
    }
    return std::nullopt;
}

// The issue of the two parts either side of the slash.
std::optional<IssueNumber> issueOf(const Numbers& before, const Numbers& after) {
    // year/number when the first part is a four-digit year, else number/year.
    const std::optional<int> leadingYear = before.firstDigits == 4 ? yearOf(before) : std::nullopt;
    const Numbers& numbers = leadingYear ? after : before;
    const std::optional<int> year = leadingYear ? leadingYear : yearOf(after);
    if (!year || !plausible(numbers)) {
        return std::nullopt;
    }
    return IssueNumber{*year, numbers.first, numbers.last, !leadingYear && after.firstDigits == 2};
}

// The digits of text from at on (at moves past them), as a single number, if there are one
// to four of them.
std::optional<Numbers> leadingDigits(std::string_view text, std::size_t& at) {
    const std::size_t start = at;
    int value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 5) {
        value = value * 10 + (text[at++] - '0');
    }
    const auto count = static_cast<int>(at - start);
    if (count == 0 || count > 4) {
        return std::nullopt;
    }
    return Numbers{value, value, count, false};
}

// The commonest form, "3/1998" or "1998/3" with nothing else, read without the reader's trials
// of prefixes, joints and blanks: sets plain when text has this form, and then returns what the
// reader would. Any other form is left to the reader.
std::optional<IssueNumber> readPlain(std::string_view text, bool& plain) {
    std::size_t at = 0;
    const std::optional<Numbers> before = leadingDigits(text, at);
    if (!before || at == text.size() || text[at] != '/') {
        return std::nullopt;
    }
    ++at;
    const std::optional<Numbers> after = leadingDigits(text, at);
    if (!after || at != text.size()) {
        return std::nullopt;
    }
    plain = true;
    return issueOf(*before, *after);
}

}  // namespace

int pivotYear(int digits) {
    return digits < twoDigitPivot ? 2000 + digits : 1900 + digits;
}

std::optional<IssueNumber> readIssueNumber(std::string_view text) {
    bool plain = false;
    const std::optional<IssueNumber> issue = readPlain(text, plain);
    if (plain) {
        return issue;
    }
    Reader reader(text);
    // Longer prefixes first: "čís." before "č."; "Č" with a capital too.
    constexpr std::array<std::string_view, 8> prefixes{"\xc4\x8d\xc3\xads.",
                                                       "\xc4\x8c\xc3\xads.",
                                                       "\xc4\x8d.",
                                                       "\xc4\x8c.",
                                                       "cis.",
                                                       "c.",
                                                       "no.",
                                                       "nr."};
    // Most texts start with the number, which no prefix does.
    if (!reader.atDigit()) {
        for (std::string_view prefix : prefixes) {
            if (reader.takePrefix(prefix)) {
                break;
            }
        }
    }
    const std::optional<Numbers> before = readNumbers(reader);
    if (!before || !reader.take("/")) {
        return std::nullopt;
    }
    const std::optional<Numbers> after = readNumbers(reader);
    if (!after || !reader.atEnd()) {
        return std::nullopt;
    }
    return issueOf(*before, *after);
}

}  // namespace quorvel
