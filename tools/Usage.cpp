#include "Usage.h"

#include "CsvColumns.h"
#include "SearchPatterns.h"
#include "SyntheticIssues.h"
#include "engine/CatalogueSchema.h"

namespace quorvel::tools {

std::string usageText() {
    std::string text =
        "Usage: qvtool create DIR\n"
        "       qvtool demo DIR\n"
        "       qvtool generate DIR N [SEED]\n"
        "       qvtool import CSV DIR [--delimiter ,|;|tab] [--encoding NAME] [--ignore-extra]\n"
        "                             [--dry-run]\n"
        "       qvtool export DIR CSV [--order vytisk|cislo] [--excel]\n"
        "       qvtool holdings DIR [--title TEXT] [--csv FILE] [--html FILE]\n"
        "       qvtool check DIR\n"
        "       qvtool repair DIR\n"
        "       qvtool backup DIR NAME\n"
        "       qvtool restore NAME DIR\n"
        "       qvtool --help\n"
        "\n"
        "Makes a Quorvel catalogue: the table qv as the two files qv.db (rows) and qv.mb\n"
        "(memo texts) in the directory DIR, which must exist.\n"
        "\n"
        "  create DIR             an empty catalogue.\n"
        "  demo DIR               a demo catalogue of 50 issues of Czech periodicals.\n"
        "  generate DIR N [SEED]  a catalogue of N made-up issues, for benchmarks. The same\n"
        "                         N and SEED (default 1) always give the same rows.\n"
        "  import CSV DIR [--delimiter ,|;|tab] [--encoding NAME] [--ignore-extra] [--dry-run]\n"
        "                         adds the rows of the file CSV to the catalogue in DIR (made\n"
        "                         by create, say): all of them or none. The file's encoding\n"
        "                         and delimiter are told from the file unless given; when\n"
        "                         they can't be told for sure, import stops and asks for\n"
        "                         them. NAME is utf-8, utf-16le (or utf-16), utf-16be,\n"
        "                         windows-1250 (or cp1250) or iso-8859-2 (or latin2). With\n"
        "                         --ignore-extra, columns that name no field are left out\n"
        "                         rather than refused. --dry-run only reads the file and\n"
        "                         tells what would be imported: the columns, the first\n"
        "                         rows as they would be stored, every row that would be\n"
        "                         refused, and the count; it doesn't open the catalogue.\n"
        "  export DIR CSV [--order vytisk|cislo] [--excel]\n"
        "                         writes the rows of the catalogue in DIR to the new file\n"
        "                         CSV: in stored order, or as the program shows them sorted\n"
        "                         by title (vytisk) or by issue number (cislo). With\n"
        "                         --excel, as a Czech spreadsheet program opens it with a\n"
        "                         double click: UTF-8 with a byte-order mark, fields\n"
        "                         separated by semicolons.\n"
        "  holdings DIR [--title TEXT] [--csv FILE] [--html FILE]\n"
        "                         which issues of each periodical the catalogue in DIR\n"
        "                         holds: for each title (only TEXT, in any case, with\n"
        "                         --title) and year, the numbers held, missing and held\n"
        "                         more than once, and the Cislo texts that don't read.\n"
        "                         Read are \"3/1998\", \"3/98\", \"3-4/1998\" (a double\n"
        "                         issue), \"1998/3\" and \"č. 3/1998\"; a year's run ends\n"
        "                         at the title's highest number in any year. Written as\n"
        "                         text, or to new files: --csv (header\n"
        "                         Vytisk,Rok,Mame,Chybi,Vicekrat,Jine) and --html (a\n"
        "                         page with a chart per periodical).\n"
        "  check DIR              whether the catalogue in DIR is sound, changing nothing:\n"
        "                         SQLite's integrity check of both files (their pages, and\n"
        "                         each index against its table), every memo text has its\n"
        "                         row, and every row's sort keys are those of its Vytisk\n"
        "                         and Cislo (rows another program wrote have none). Prints\n"
        "                         each finding, naming the file, with a count. It reads\n"
        "                         under a read lock: a running program's Save waits for it.\n"
        "  repair DIR             mends the catalogue in DIR so that check finds nothing,\n"
        "                         refused while a copy of Quorvel has it open (which then\n"
        "                         can't open it until the repair ends). A sound catalogue\n"
        "                         is left as it is. Otherwise the files are first kept as\n"
        "                         they were in DIR/qv-before-repair-DATE-TIME; then, when\n"
        "                         the tables read whole, the sort indexes are built afresh\n"
        "                         and the sort keys made from the fields, in place; when\n"
        "                         they don't, every row and memo text that can still be\n"
        "                         read is copied into a new catalogue that takes the old\n"
        "                         one's place. A memo text without its row gets a row of\n"
        "                         its own, its fields empty. Says how many rows it kept.\n"
        "  backup DIR NAME        writes the catalogue in DIR as NAME.db and NAME.mb, as\n"
        "                         the program's export does: one committed version, even\n"
        "                         beside a running program. Never overwrites; both files\n"
        "                         are synced to the disk before it ends with status 0.\n"
        "  restore NAME DIR       puts the backup NAME.db and NAME.mb in place of the\n"
        "                         catalogue in DIR, refused while a copy of Quorvel has it\n"
        "                         open (which then can't open it until the restore ends).\n"
        "                         The backup is checked first; a damaged one, or two files\n"
        "                         that are not one pair, are refused. The catalogue's files\n"
        "                         are kept with their journals in\n"
        "                         DIR/qv-before-restore-DATE-TIME, then replaced in one\n"
        "                         commit: stopped at any moment, DIR holds the old\n"
        "                         catalogue or the restored one. Says how many rows and\n"
        "                         memo texts it restored.\n"
        "\n"
        "qvtool never overwrites: when DIR holds qv.db or qv.mb already it stops, says why\n"
        "and changes nothing. A run that fails removes the files it made.\n"
        "\n"
        "CSV files are as RFC 4180 has them: a header line, then one line per issue; a field\n"
        "with the delimiter, a quote or a line break is put in double quotes, a quote in it\n"
        "doubled. An empty field is a field without a value. Export writes UTF-8, commas and\n"
        "CR LF (with --excel a byte-order mark and semicolons) and the header\n"
        "Vytisk,Cislo,Nejzajimavejsi_casti,Obsah_vytisku. Import takes CR LF or LF; a comma,\n"
        "semicolon or tab between fields; UTF-8 with a byte-order mark or without, UTF-16 with\n"
        "one, windows-1250 or iso-8859-2. These two differ in a few letters, š ť ž Š Ť Ž\n"
        "among them; a file whose readings in the two can't be told apart must name its\n"
        "encoding. The header names the columns, in any order, in any case, with diacritics\n"
        "or without; a column is named by its field, its caption in the program or another\n"
        "name listed here:\n";
    for (const auto& names : fieldNames) {
        std::string line = "  ";
        for (const char* name : names) {
            line += std::string(line.size() > 2 ? ", " : "") + name;
        }
        text += line + "\n";
    }
    text +=
        "A column may be missing but for Vytisk's; its field is then empty. Import adds all\n"
        "rows or none: a row the program would refuse (a title empty, a single space or over\n"
        "50 characters, Cislo over 15, Nejzajimavejsi_casti over 150) or a line that isn't\n"
        "such CSV stops it with the line and the reason, and the catalogue stays as it was.\n"
        "Export never replaces an existing file and leaves no partial one behind.\n"
        "\n"
        "Generated issues: titles \"adjective noun\" from a Czech vocabulary, issue numbers\n"
        "\"n/yyyy\", interesting parts of up to 150 characters, memos of " +
        std::to_string(SyntheticIssues::shortestContents) + " to " +
        std::to_string(SyntheticIssues::longestContents) +
        " characters\n"
        "in paragraphs, with CR LF or LF line breaks. Each field holds one rare pattern\n"
        "(in about 1 row of " +
        std::to_string(rareOneIn) + ") and one common pattern (in about 1 row of " +
        std::to_string(commonOneIn) +
        "),\n"
        "for searches with like \"%PATTERN%\"; no other text holds them:\n";
    for (const FieldPatterns& patterns : generatedPatterns) {
        text += std::string("  ") + schema::columns[patterns.column].fieldName + ": rare \"" +
                patterns.rare + "\", common \"" + patterns.common + "\"\n";
    }
    text +=
        "Progress goes to stderr (for import, export, check, backup and restore only when it\n"
        "is a terminal).\n"
        "\n"
        "Exit status: 0 done, 1 failed (the reason on stderr; for check, a catalogue\n"
        "damaged or inconsistent), 2 wrong usage.\n";
    return text;
}

}  // namespace quorvel::tools
