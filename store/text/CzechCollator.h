// Czech order of texts, as a Czech reader expects it: ICU's collation for "cs", so that
// "Cesta" < "Čtenář" < "D" and "H" < "Ch" < "I", capitals and small letters together (a
// capital only after its small letter when the texts are otherwise equal), and runs of digits
// compared as numbers ("2/1998" < "12/1998"). An empty text comes before every other.
//
// A collator is not safe to share between threads; each connection or writer keeps its own.
#pragma once

#include <sqlite3.h>

#include <string>
#include <string_view>
#include <vector>

struct UCollator;

namespace quorvel {

class CzechCollator {
  public:
    // Throws EDBEngineError when ICU can't give the collation.
    CzechCollator();
    ~CzechCollator();
    CzechCollator(const CzechCollator&) = delete;
    CzechCollator& operator=(const CzechCollator&) = delete;

    // The sort key of UTF-8 text: keys compared bytewise (memcmp, shorter first on a common
    // prefix, as SQLite compares blobs) give the Czech order. The empty text's key is empty.
    // A malformed byte counts as U+FFFD. The view stays valid until the next call.
    std::string_view key(std::string_view text);
    // <0, 0 or >0 as a sorts before, with or after b.
    int compare(std::string_view a, std::string_view b) const;

    // Registers on db, for as long as this collator lives, the function czech_key(text) giving
    // key(text) as a blob (an empty blob for NULL), for ordering by a field without a key
    // column. It is never named in the files' schema: the sqlite3 tool reads and checks them
    // without us.
    void installOn(sqlite3* db);

  private:
    UCollator* collator_ = nullptr;
    std::vector<char16_t> utf16_;
    std::vector<unsigned char> key_;
};

}  // namespace quorvel
