#include "csv/CsvDialectGuess.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucsdet.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "csv/CsvReader.h"
#include "csv/CsvSourceFile.h"
#include "csv/Utf8Evidence.h"

namespace quorvel::tools {

namespace {

// ICU's detector reads this much of its input; the lines that tell the readings apart go first.
constexpr std::size_t detectorSample = 8000;
// The first records the delimiter is checked against.
constexpr std::size_t delimiterRecords = 100;

constexpr std::array<char, 3> delimiters{',', ';', '\t'};
constexpr char16_t noCharacter = 0xFFFF;

constexpr std::u16string_view czechAndSlovakLetters = u"áäčďéěíĺľňóôŕřšťúůýžÁÄČĎÉĚÍĹĽŇÓÔŔŘŠŤÚŮÝŽ";

// How each byte above ASCII reads in an 8-bit encoding; noCharacter where it reads as none.
using ByteReadings = std::array<char16_t, 128>;

ByteReadings byteReadings(CsvEncoding encoding) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, void (*)(UConverter*)> converter(
        ucnv_open(icuConverterName(encoding), &status), ucnv_close);
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                        &status);
    if (U_FAILURE(status)) {
        throw std::runtime_error(std::string("no converter for ") + encodingName(encoding));
    }
    ByteReadings readings;
    for (std::size_t i = 0; i < readings.size(); ++i) {
        const char byte = static_cast<char>(0x80 + i);
        char16_t character[2];
        UErrorCode byteStatus = U_ZERO_ERROR;
        const int32_t n = ucnv_toUChars(converter.get(), character, 2, &byte, 1, &byteStatus);
        readings[i] = U_SUCCESS(byteStatus) && n == 1 ? character[0] : noCharacter;
    }
    return readings;
}

// A reading no spreadsheet's text has: a C1 control code, or none at all.
bool notText(char16_t c) {
    return c == noCharacter || (c >= 0x80 && c <= 0x9F);
}

bool czechOrSlovak(char16_t c) {
    return czechAndSlovakLetters.find(c) != std::u16string_view::npos;
}

// How a byte reads in an 8-bit encoding, as far as the guess cares: which byte values are letters
// (ASCII ones or not), small or capital, and which may stand inside a word.
struct ByteClasses {
    std::array<bool, 256> letter{};
    std::array<bool, 256> small{};
    std::array<bool, 256> capital{};
    std::array<bool, 256> inWord{};  // letters, the no-break space, dashes and apostrophes
};

ByteClasses byteClasses(const ByteReadings& readings) {
    ByteClasses classes;
    for (std::size_t byte = 0; byte < 256; ++byte) {
        const UChar32 c = byte < 0x80 ? UChar32(byte) : UChar32(readings[byte - 0x80]);
        classes.letter[byte] = c != noCharacter && u_isalpha(c);
        classes.small[byte] = classes.letter[byte] && u_islower(c);
        classes.capital[byte] = classes.letter[byte] && u_isupper(c);
        classes.inWord[byte] = classes.letter[byte] || c == 0xA0 || (c >= 0x2010 && c <= 0x2027);
    }
    return classes;
}

// What the guess needs of a file read byte by byte: which bytes above ASCII it holds, where,
// beside what in each reading, and the lines on which the two readings differ.
struct EightBitFacts {
    std::array<std::uint64_t, 128> count{};
    std::array<std::uint64_t, 128> firstLine{};
    // By reading: somewhere without a letter before or after it; somewhere with letters before
    // and after it; the first line where it reads as no text of a list has it, a sign that
    // another encoding's bytes are read: a mark inside a word ("Ĺˇ"), a capital after a small
    // letter ("ČtenĂ­").
    std::array<std::array<bool, 128>, 2> alone{};
    std::array<std::array<bool, 128>, 2> inside{};
    std::array<std::array<std::uint64_t, 128>, 2> oddLine{};
    std::string controlLines;  // lines holding bytes 0x80-0x9F, for the detector
    std::string otherLines;    // lines holding the other bytes that differ
    std::string firstDiffering;
    std::uint64_t firstDifferingLine = 0;

    void addLine(const std::string& line, std::uint64_t number, const ByteReadings& a,
                 const ByteReadings& b, const std::array<ByteClasses, 2>& classes);
};

void EightBitFacts::addLine(const std::string& line, std::uint64_t number, const ByteReadings& a,
                            const ByteReadings& b, const std::array<ByteClasses, 2>& classes) {
    bool control = false;
    bool differs = false;
    for (std::size_t k = 0; k < line.size(); ++k) {
        const auto byte = static_cast<unsigned char>(line[k]);
        if (byte < 0x80) {
            continue;
        }
        const std::size_t i = byte - 0x80U;
        if (count[i]++ == 0) {
            firstLine[i] = number;
        }
        const auto previous = k > 0 ? static_cast<unsigned char>(line[k - 1]) : ' ';
        const auto next = k + 1 < line.size() ? static_cast<unsigned char>(line[k + 1]) : ' ';
        for (std::size_t r = 0; r < 2; ++r) {
            const ByteClasses& is = classes[r];
            const bool before = is.letter[previous];
            const bool after = is.letter[next];
            alone[r][i] = alone[r][i] || (!before && !after);
            inside[r][i] = inside[r][i] || (before && after);
            const bool odd =
                (before && after && !is.inWord[byte]) || (is.small[previous] && is.capital[byte]);
            if (odd && oddLine[r][i] == 0) {
                oddLine[r][i] = number;
            }
        }
        differs = differs || a[i] != b[i];
        control = control || byte < 0xA0;
    }
    if (!differs) {
        return;
    }
    std::string& sample = control ? controlLines : otherLines;
    if (sample.size() < detectorSample) {
        sample += line;
    }
    if (firstDiffering.empty()) {
        firstDiffering = line;
        firstDifferingLine = number;
    }
}

EightBitFacts readEightBit(const std::filesystem::path& path, const ByteReadings& a,
                           const ByteReadings& b) {
    const std::array<ByteClasses, 2> classes{byteClasses(a), byteClasses(b)};
    EightBitFacts facts;
    CsvSourceFile file(path, CsvEncoding::Utf8);
    std::vector<char> block(file.blockSize());
    std::string line;
    std::uint64_t number = 1;
    for (std::size_t n; (n = file.read(block.data(), block.size())) > 0;) {
        for (std::size_t from = 0; from < n;) {
            const void* end = std::memchr(block.data() + from, '\n', n - from);
            const std::size_t stop =
                end != nullptr
                    ? static_cast<std::size_t>(static_cast<const char*>(end) - block.data()) + 1
                    : n;
            line.append(block.data() + from, stop - from);
            from = stop;
            if (end != nullptr) {
                facts.addLine(line, number++, a, b, classes);
                line.clear();
            }
        }
    }
    facts.addLine(line, number, a, b, classes);
    return facts;
}

// ICU's choice between the two for sample, if it names either.
std::optional<CsvEncoding> detectorChoice(const std::string& sample) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCharsetDetector, void (*)(UCharsetDetector*)> detector(ucsdet_open(&status),
                                                                            ucsdet_close);
    ucsdet_setText(detector.get(), sample.data(), static_cast<int32_t>(sample.size()), &status);
    int32_t found = 0;
    const UCharsetMatch** matches = ucsdet_detectAll(detector.get(), &found, &status);
    for (int32_t i = 0; U_SUCCESS(status) && i < found; ++i) {
        const std::string name = ucsdet_getName(matches[i], &status);
        if (name == "windows-1250") {
            return CsvEncoding::Windows1250;
        }
        if (name == "ISO-8859-2") {
            return CsvEncoding::Iso8859_2;
        }
    }
    return std::nullopt;
}

// line as it reads in an encoding, without its line end, shortened to be quoted in a message.
std::string readAs(const std::string& line, const ByteReadings& readings) {
    std::u16string text;
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r' || c == '\n') {
            break;
        }
        text += byte < 0x80 ? char16_t(byte) : readings[byte - 0x80U];
        if (text.size() == 60) {
            text += u"…";
            break;
        }
    }
    std::string utf8(text.size() * 3, '\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(utf8.data(), static_cast<int32_t>(utf8.size()), &length, text.data(),
                       static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    utf8.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
    return utf8;
}

std::string hexByte(std::size_t i) {
    char byte[8];
    std::snprintf(byte, sizeof byte, "0x%02zX", 0x80 + i);
    return byte;
}

std::string utf8Of(char16_t c) {
    char text[4];
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8(text, sizeof text, &length, &c, 1, &status);
    return U_SUCCESS(status) ? std::string(text, static_cast<std::size_t>(length)) : "?";
}

// notUtf8 says why the file isn't read as UTF-8, for the messages.
CsvEncoding guessEightBit(const std::filesystem::path& path, const std::string& notUtf8) {
    const CsvEncoding windows = CsvEncoding::Windows1250;
    const CsvEncoding iso = CsvEncoding::Iso8859_2;
    const std::array<ByteReadings, 2> readings{byteReadings(windows), byteReadings(iso)};
    const EightBitFacts facts = readEightBit(path, readings[0], readings[1]);
    // Whether a reading can be the text at all; whether it reads as letters of Czech or Slovak
    // beside other letters wherever the two differ; and whether it does so inside a word where
    // the other reading is no such letter, as "š" in "Košík" is "ą" in the other.
    std::array<bool, 2> text{true, true};
    std::array<bool, 2> letters{true, true};
    std::array<bool, 2> evidence{false, false};
    for (std::size_t i = 0; i < facts.count.size(); ++i) {
        if (facts.count[i] == 0) {
            continue;
        }
        if (notText(readings[0][i]) && notText(readings[1][i])) {
            throw CsvError(facts.firstLine[i], "can't tell the file's encoding: " + notUtf8 +
                                                   ", and its byte " + hexByte(i) +
                                                   " is a control code in windows-1250 and "
                                                   "iso-8859-2; give --encoding");
        }
        for (std::size_t r = 0; r < 2; ++r) {
            text[r] = text[r] && !notText(readings[r][i]);
            if (readings[0][i] != readings[1][i]) {
                const bool letter = czechOrSlovak(readings[r][i]);
                letters[r] = letters[r] && letter && !facts.alone[r][i];
                evidence[r] = evidence[r] ||
                              (letter && facts.inside[r][i] && !czechOrSlovak(readings[1 - r][i]));
            }
        }
    }
    const bool alike = facts.firstDiffering.empty();
    const CsvEncoding detected = alike ? windows
                                       : detectorChoice(facts.controlLines + facts.otherLines)
                                             .value_or(text[1] ? iso : windows);
    const std::size_t chosen = detected == windows ? 0 : 1;
    const std::size_t other = 1 - chosen;
    if (!alike && (!text[chosen] || (text[other] && !(letters[chosen] && evidence[chosen])))) {
        throw CsvError(facts.firstDifferingLine,
                       "can't tell whether the file is windows-1250 or iso-8859-2: the line "
                       "reads \"" +
                           readAs(facts.firstDiffering, readings[0]) + "\" in one and \"" +
                           readAs(facts.firstDiffering, readings[1]) +
                           "\" in the other; give --encoding windows-1250 or --encoding "
                           "iso-8859-2");
    }
    // The reading taken must also look like the text of a list where the two agree: UTF-8's
    // letters read byte by byte give capitals after small letters and marks inside words.
    for (std::size_t i = 0; i < facts.count.size(); ++i) {
        if (facts.oddLine[chosen][i] != 0) {
            const bool same = readings[0][i] == readings[1][i];
            throw CsvError(facts.oddLine[chosen][i],
                           "can't tell the file's encoding: " + notUtf8 + ", and read as " +
                               (same ? std::string("windows-1250 or iso-8859-2")
                                     : std::string(encodingName(detected))) +
                               " its byte " + hexByte(i) + " is \"" + utf8Of(readings[chosen][i]) +
                               "\" where no Czech or Slovak text has it; give --encoding");
        }
    }
    return detected;
}

// The records at the start of text, up to the last whole one, as the number of each delimiter
// they hold outside quotes.
std::vector<std::array<std::size_t, 3>> delimiterCounts(std::string_view text) {
    std::vector<std::array<std::size_t, 3>> records;
    std::array<std::size_t, 3> counts{};
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == '\n') {
            records.push_back(counts);
            counts = {};
            if (records.size() == delimiterRecords) {
                break;
            }
        } else if (!quoted) {
            for (std::size_t d = 0; d < delimiters.size(); ++d) {
                counts[d] += c == delimiters[d] ? 1 : 0;
            }
        }
    }
    if (records.empty()) {
        records.push_back(counts);  // the header alone, without a line end
    }
    return records;
}

std::string plural(char delimiter) {
    return std::string(delimiterName(delimiter)) + "s";
}

}  // namespace

CsvEncoding guessEncoding(const std::filesystem::path& path) {
    std::string start;
    {
        CsvSourceFile file(path, CsvEncoding::Utf8);
        start = file.head();
    }
    if (start.rfind("\xEF\xBB\xBF", 0) == 0) {
        return CsvEncoding::Utf8;
    }
    if (start.rfind("\xFF\xFE", 0) == 0) {
        return CsvEncoding::Utf16LE;
    }
    if (start.rfind("\xFE\xFF", 0) == 0) {
        return CsvEncoding::Utf16BE;
    }
    if (start.substr(0, start.find('\n')).find('\0') != std::string::npos) {
        throw CsvError(1,
                       "the header holds NUL bytes, as UTF-16 without a byte-order mark does; "
                       "give --encoding utf-16le or --encoding utf-16be");
    }
    const Utf8Evidence utf8 = weighUtf8(path);
    if (utf8.isUtf8()) {
        return CsvEncoding::Utf8;
    }
    return guessEightBit(path,
                         utf8.invalid > 0
                             ? "it isn't UTF-8 (line " + std::to_string(utf8.firstInvalidLine) + ")"
                             : "as UTF-8 it holds characters no Czech or Slovak list has "
                               "(line " +
                                   std::to_string(utf8.firstImplausibleLine) + ")");
}

char guessDelimiter(std::string_view text) {
    const std::vector<std::array<std::size_t, 3>> records = delimiterCounts(text);
    const std::array<std::size_t, 3>& header = records.front();
    std::vector<std::size_t> inHeader;
    for (std::size_t d = 0; d < delimiters.size(); ++d) {
        if (header[d] > 0) {
            inHeader.push_back(d);
        }
    }
    if (inHeader.size() == 1) {
        return delimiters[inHeader.front()];
    }
    if (inHeader.empty()) {
        const bool none = std::all_of(records.begin(), records.end(), [](const auto& counts) {
            return counts == std::array<std::size_t, 3>{};
        });
        if (none) {
            return ',';
        }
        throw CsvError(1,
                       "can't tell the delimiter: the header holds no comma, semicolon or tab, "
                       "but the lines after it do; give --delimiter , or ; or tab");
    }
    std::vector<std::size_t> fitting;
    for (const std::size_t d : inHeader) {
        if (std::all_of(records.begin(), records.end(),
                        [&](const auto& counts) { return counts[d] == header[d]; })) {
            fitting.push_back(d);
        }
    }
    if (fitting.size() == 1) {
        return delimiters[fitting.front()];
    }
    const char first = delimiters[inHeader[0]];
    const char second = delimiters[inHeader[1]];
    throw CsvError(1, "can't tell the delimiter: the header holds " + plural(first) + " and " +
                          plural(second) +
                          ", and the lines after it don't settle which; give --delimiter " +
                          (first == '\t' ? "tab" : std::string(1, first)) + " or --delimiter " +
                          (second == '\t' ? "tab" : std::string(1, second)));
}

}  // namespace quorvel::tools
