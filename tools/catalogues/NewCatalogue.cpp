#include "catalogues/NewCatalogue.h"

#include <string>
#include <system_error>

#include "engine/CatalogueSchema.h"

namespace quorvel::tools {

NewCatalogue::NewCatalogue(std::filesystem::path directory) : directory_(std::move(directory)) {
    schema::createTable(directory_);
}

NewCatalogue::~NewCatalogue() {
    if (kept_) {
        return;
    }
    // Both files are ours: createTable made them with O_EXCL. So are their journals, since no
    // one else knew of the files yet.
    for (const char* name : {schema::rowsFileName, schema::memoFileName}) {
        std::error_code ignored;
        std::filesystem::remove(directory_ / name, ignored);
        std::filesystem::remove(directory_ / (std::string(name) + "-journal"), ignored);
    }
}

}  // namespace quorvel::tools
