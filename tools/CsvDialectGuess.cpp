#include "CsvDialectGuess.h"

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

#include "CsvReader.h"
#include "CsvSourceFile.h"
#include "Utf8Validity.h"

namespace quorvel::tools {

namespace {

constexpr std::size_t blockSize = 1 << 20;
// Well-formed UTF-8 this long from the first byte above ASCII on makes a file UTF-8: 8-bit
// Czech text fails within a word.
constexpr std::size_t utf8Evidence = 1 << 16;
// ICU's detector reads this much of its input; the lines that tell the readings apart go first.
constexpr std::size_t detectorSample = 8000;
// The first records the delimiter is checked against.
constexpr std::size_t delimiterRecords = 100;

constexpr std::array<char, 3> delimiters{',', ';', '\t'};
constexpr char16_t noCharacter = 0xFFFF;

constexpr std::u16string_view czechAndSlovakLetters = u"áäčďéěíĺľňóôŕřšťúůýžÁÄČĎÉĚÍĹĽŇÓÔŔŘŠŤÚŮÝŽ";

// Well-formed UTF-8 or not, and if not the line where it stops being.
struct Utf8Reading {
    bool wellFormed = true;
    std::uint64_t badLine = 0;
};

Utf8Reading readAsUtf8(const std::filesystem::path& path) {
    CsvSourceFile file(path, CsvEncoding::Utf8);
    std::vector<char> block(blockSize);
    std::string text;  // what a character cut at the last block's end left, and the block
    std::uint64_t line = 1;
    bool nonAscii = false;
    std::size_t checked = 0;  // bytes found well-formed from the first non-ASCII one on
    for (std::size_t n; (n = file.read(block.data(), block.size())) > 0;) {
        text.append(block.data(), n);
        std::size_t from = 0;
        if (!nonAscii) {
            from = static_cast<std::size_t>(
                std::find_if(text.begin(), text.end(), [](char c) { return c & 0x80; }) -
                text.begin());
            nonAscii = from < text.size();
        }
        const std::size_t until =
            nonAscii ? std::min(text.size(), from + utf8Evidence - checked) : text.size();
        const Utf8Prefix prefix = validUtf8Prefix(std::string_view(text).substr(0, until));
        line += static_cast<std::uint64_t>(std::count(
            text.begin(), text.begin() + static_cast<std::ptrdiff_t>(prefix.valid), '\n'));
        if (prefix.valid < until && !prefix.cutShort) {
            return {false, line};
        }
        if (nonAscii && (checked += prefix.valid - from) >= utf8Evidence) {
            return {};
        }
        text.erase(0, prefix.valid);
    }
    const Utf8Prefix rest = validUtf8Prefix(text);  // the end of a short file
    line += static_cast<std::uint64_t>(
        std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(rest.valid), '\n'));
    return rest.valid == text.size() ? Utf8Reading{} : Utf8Reading{false, line};
}

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

// A byte that is a letter in both encodings: an ASCII letter, or one from 0xC0 on but × and ÷.
bool letterByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
           (byte >= 0xC0 && byte != 0xD7 && byte != 0xF7);
}

// What the guess needs of a file read byte by byte: which bytes above ASCII it holds, where,
// beside what, and the lines on which the two readings differ.
struct EightBitFacts {
    std::array<std::uint64_t, 128> count{};
    std::array<std::uint64_t, 128> firstLine{};
    std::array<bool, 128> alone{};   // somewhere without a letter before or after it
    std::array<bool, 128> inside{};  // somewhere with letters before and after it
    std::string controlLines;        // lines holding bytes 0x80-0x9F, for the detector
    std::string otherLines;          // lines holding the other bytes that differ
    std::string firstDiffering;
    std::uint64_t firstDifferingLine = 0;

    void addLine(const std::string& line, std::uint64_t number, const ByteReadings& a,
                 const ByteReadings& b);
};

void EightBitFacts::addLine(const std::string& line, std::uint64_t number, const ByteReadings& a,
                            const ByteReadings& b) {
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
        const bool before = k > 0 && letterByte(line[k - 1]);
        const bool after = k + 1 < line.size() && letterByte(line[k + 1]);
        alone[i] = alone[i] || (!before && !after);
        inside[i] = inside[i] || (before && after);
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
    EightBitFacts facts;
    CsvSourceFile file(path, CsvEncoding::Utf8);
    std::vector<char> block(blockSize);
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
                facts.addLine(line, number++, a, b);
                line.clear();
            }
        }
    }
    facts.addLine(line, number, a, b);
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

CsvEncoding guessEightBit(const std::filesystem::path& path, std::uint64_t badUtf8Line) {
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
            char byte[8];
            std::snprintf(byte, sizeof byte, "0x%02zX", 0x80 + i);
            throw CsvError(facts.firstLine[i],
                           "can't tell the file's encoding: it isn't UTF-8 (line " +
                               std::to_string(badUtf8Line) + "), and its byte " + byte +
                               " is a control code in windows-1250 and iso-8859-2; give "
                               "--encoding");
        }
        for (std::size_t r = 0; r < 2; ++r) {
            text[r] = text[r] && !notText(readings[r][i]);
            if (readings[0][i] != readings[1][i]) {
                const bool letter = czechOrSlovak(readings[r][i]);
                letters[r] = letters[r] && letter && !facts.alone[i];
                evidence[r] = evidence[r] ||
                              (letter && facts.inside[i] && !czechOrSlovak(readings[1 - r][i]));
            }
        }
    }
    if (facts.firstDiffering.empty()) {
        return windows;  // the two read alike
    }
    const CsvEncoding detected =
        detectorChoice(facts.controlLines + facts.otherLines).value_or(text[1] ? iso : windows);
    const std::size_t chosen = detected == windows ? 0 : 1;
    const std::size_t other = 1 - chosen;
    if (!text[chosen] || (text[other] && !(letters[chosen] && evidence[chosen]))) {
        throw CsvError(facts.firstDifferingLine,
                       "can't tell whether the file is windows-1250 or iso-8859-2: the line "
                       "reads \"" +
                           readAs(facts.firstDiffering, readings[0]) + "\" in one and \"" +
                           readAs(facts.firstDiffering, readings[1]) +
                           "\" in the other; give --encoding windows-1250 or --encoding "
                           "iso-8859-2");
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
    const Utf8Reading utf8 = readAsUtf8(path);
    return utf8.wellFormed ? CsvEncoding::Utf8 : guessEightBit(path, utf8.badLine);
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
