#include "holdings/IssueNumber.h"

#include <array>

namespace quorvel {

namespace {

constexpr int highestNumber = 999;
constexpr int widestJointIssue = 12;
constexpr int earliestYear = 1800;
constexpr int latestYear = 2100;
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
        if (text_.substr(0, token.size()) != token) {
            return false;
        }
        text_.remove_prefix(token.size());
        return true;
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
    if (part.firstDigits == 4 && part.first >= earliestYear && part.first <= latestYear) {
        return part.first;
    }
    if (part.firstDigits == 2) {
        return part.first < twoDigitPivot ? 2000 + part.first : 1900 + part.first;
    }
    return std::nullopt;
}

}  // namespace

std::optional<IssueNumber> readIssueNumber(std::string_view text) {
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
    for (std::string_view prefix : prefixes) {
        if (reader.takePrefix(prefix)) {
            break;
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
    // year/number when the first part is a four-digit year, else number/year.
    const std::optional<int> leadingYear =
        before->firstDigits == 4 ? yearOf(*before) : std::nullopt;
    const Numbers& numbers = leadingYear ? *after : *before;
    const std::optional<int> year = leadingYear ? leadingYear : yearOf(*after);
    if (!year || !plausible(numbers)) {
        return std::nullopt;
    }
    return IssueNumber{*year, numbers.first, numbers.last};
}

}  // namespace quorvel
