#include "Usage.h"

#include "CatalogueSchema.h"
#include "SearchPatterns.h"
#include "SyntheticIssues.h"

namespace quorvel::tools {

std::string usageText() {
    std::string text =
        "Usage: qvtool create DIR\n"
        "       qvtool demo DIR\n"
        "       qvtool generate DIR N [SEED]\n"
        "       qvtool --help\n"
        "\n"
        "Makes a Quorvel catalogue: the table qv as the two files qv.db (rows) and qv.mb\n"
        "(memo texts) in the directory DIR, which must exist.\n"
        "\n"
        "  create DIR             an empty catalogue.\n"
        "  demo DIR               a demo catalogue of 50 issues of Czech periodicals.\n"
        "  generate DIR N [SEED]  a catalogue of N made-up issues, for benchmarks. The same\n"
        "                         N and SEED (default 1) always give the same rows.\n"
        "\n"
        "qvtool never overwrites: when DIR holds qv.db or qv.mb already it stops, says why\n"
        "and changes nothing. A run that fails removes the files it made.\n"
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
        "Progress goes to stderr.\n"
        "\n"
        "Exit status: 0 done, 1 failed (the reason on stderr), 2 wrong usage.\n";
    return text;
}

}  // namespace quorvel::tools
