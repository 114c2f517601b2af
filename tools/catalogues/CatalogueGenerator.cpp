#include "catalogues/CatalogueGenerator.h"

#include <algorithm>

#include "catalogues/CatalogueIssue.h"
#include "catalogues/NewCatalogue.h"
#include "catalogues/SyntheticIssues.h"
#include "rows/CatalogueRowWriter.h"

namespace quorvel::tools {

namespace {

// Rows between two calls of progress.
constexpr std::uint64_t progressEvery = 50000;

}  // namespace

void generateCatalogue(const std::filesystem::path& directory, std::uint64_t rows,
                       std::uint64_t seed, const std::function<void(std::uint64_t)>& progress) {
    NewCatalogue catalogue(directory);
    {
        CatalogueRowWriter writer = CatalogueRowWriter::forNewCatalogue(directory);
        SyntheticIssues issues(seed);
        std::uint64_t written = 0;
        progress(0);
        while (written < rows) {
            const std::uint64_t stretchEnd = std::min(rows, written + progressEvery);
            for (; written < stretchEnd; ++written) {
                const CatalogueIssue issue = issues.next();
                writer.add({issue.title, issue.number, issue.parts, issue.contents});
            }
            progress(written);
        }
        writer.commit();
    }
    catalogue.keep();
}

}  // namespace quorvel::tools
