// The form of a CSV file to import, told from the file itself when the user doesn't give it: its
// encoding from its bytes, its delimiter from its first lines. A guess is made only when the file
// leaves no doubt; otherwise the import is refused with the options that settle it, since a file
// read in the wrong form would store wrong text that no one might notice.
//
// Encoding, in this order:
//   - a byte-order mark names UTF-8, UTF-16LE or UTF-16BE;
//   - UTF-8 when every byte is ASCII, or when the file's characters above ASCII, weighed over a
//     good stretch, are more often ones a Czech or Slovak list holds than not (Utf8Evidence);
//     a file that is so and has bytes that aren't UTF-8 is refused at the first of them by the
//     reader, never read in an 8-bit encoding that would garble its letters;
//   - otherwise one of the two Czech 8-bit encodings, chosen by ICU's charset detector from the
//     lines on which they differ, and taken only when the other reading can't be the text.
//     The two agree but for the bytes 0x80-0x9F, control codes in ISO-8859-2 that no
//     spreadsheet writes (so they make it windows-1250), and a few bytes above 0xA0 (Š Ť Ž š ť ž
//     in one, © « ® ą » ľ in the other). Where those upper bytes alone differ, the chosen
//     reading must give letters of Czech or Slovak beside other letters wherever they stand,
//     and at least once, inside a word, a letter the other reading doesn't give ("Košík", not
//     "Koąík"). When the two read alike it doesn't matter which: windows-1250. A byte that is
//     a control code in both is refused, and so is a reading that puts a capital after a small
//     letter or a mark inside a word, as UTF-8's letters read byte by byte do ("ÄŚtenĂ­").
//
// Delimiter: the one of comma, semicolon and tab that the header holds outside quotes. A header
// with two of them is settled by the records after it: the one delimiter that gives each of
// them as many fields as the header. A header with none (a single column) takes the comma when
// no record holds any of them either.
#pragma once

#include <filesystem>
#include <string_view>

#include "csv/CsvInputDialect.h"

namespace quorvel::tools {

// Throws CsvError when it can't be sure, std::runtime_error when the file can't be read.
CsvEncoding guessEncoding(const std::filesystem::path& path);

// text is the start of the file as UTF-8: the header and as many records as it holds. Throws
// CsvError when it can't be sure.
char guessDelimiter(std::string_view text);

}  // namespace quorvel::tools
