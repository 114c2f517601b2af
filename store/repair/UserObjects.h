// What a user added to the catalogue's files, beyond the program's own table, carried into a
// rebuilt catalogue: tables of their own with their rows, views and indexes. A trigger is not
// carried: the program made none and allows none (one that writes elsewhere makes every Save
// fail), so it is named instead, its definition kept with the originals.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

namespace quorvel::repair {

struct UserObjectsCarried {
    std::vector<std::string> kept;     // "qv.db: table notes (12 rows)"
    std::vector<std::string> dropped;  // "qv.db: trigger t", with why
};

// From old (the damaged qv.db as main, qv.mb as mb, read only) into the files in fresh, each in
// a transaction of its own. Never throws for an object: one that can't be made or read whole is
// named in dropped. Throws EDBEngineError when the new files can't be written.
void carryUserObjects(sqlite3* old, bool memoReadable, const std::filesystem::path& fresh,
                      UserObjectsCarried& carried);

// The names of the program's own objects in a file's schema.
bool isProgramObject(const std::string& schemaName, const std::string& name);

}  // namespace quorvel::repair
