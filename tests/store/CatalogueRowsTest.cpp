// The store's row writer and row reader, on real catalogue files: issues added all or nothing
// with the rules and sort keys of every row, and read back in stored and in Czech order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EDBEngineError.h"
#include "TempCatalogue.h"
#include "rows/CatalogueRowReader.h"
#include "rows/CatalogueRowWriter.h"

namespace quorvel {
namespace {

using Issue = std::vector<std::string>;  // the four fields as written and read

IssueFields fieldsOf(const Issue& issue) {
    return {issue[0], issue[1], issue[2], issue[3]};
}

std::vector<Issue> readAll(Database& database, SortOrder order) {
    CatalogueRowReader reader(database, order);
    std::vector<Issue> issues;
    IssueFields fields;
    while (reader.next(fields)) {
        issues.push_back({std::string(fields[0]), std::string(fields[1]), std::string(fields[2]),
                          std::string(fields[3])});
    }
    EXPECT_EQ(reader.rowCount(), issues.size());
    EXPECT_FALSE(reader.next(fields)) << "a reader at its end stays there";
    return issues;
}

// In stored order; the titles and numbers sort differently in Czech than by bytes.
const std::vector<Issue> issues = {
    {"Hrad", "10/1990", "", "obsah\r\nna dvou řádcích"},
    {"Chata", "2/1990", "stavba", ""},
    {"Čaj", "", "", ""},
    {"Cukr", "1/1991", "recepty", "jen obsah"},
};

TEST(CatalogueRows, WrittenIssuesAreReadBackInStoredAndInTheProgramsSortedOrder) {
    testing::TempCatalogue catalogue;
    Engine engine(catalogue.dir());
    CatalogueRowWriter writer(engine.database());
    for (const Issue& issue : issues) {
        writer.add(fieldsOf(issue));
    }
    writer.commit();

    struct Case {
        SortOrder order;
        std::vector<std::size_t> expected;  // indexes into issues
    };
    for (const Case& c :
         {Case{SortOrder::Unsorted, {0, 1, 2, 3}}, Case{SortOrder::ByTitle, {3, 2, 0, 1}}}) {
        std::vector<Issue> expected;
        for (const std::size_t i : c.expected) {
            expected.push_back(issues[i]);
        }
        EXPECT_EQ(readAll(engine.database(), c.order), expected)
            << "order " << static_cast<int>(c.order);
    }
    // Empty texts are stored as no value, as every row the program writes.
    testing::PlainConnection plain(catalogue.dir());
    EXPECT_EQ(plain.integer("SELECT count(*) FROM qv WHERE cislo IS NULL OR "
                            "nejzajimavejsi_casti IS NULL"),
              2);
    EXPECT_EQ(plain.integer("SELECT count(*) FROM mb.memo"), 2);
}

TEST(CatalogueRows, ARefusedIssueOrAWriterLetGoAddsNothing) {
    testing::TempCatalogue catalogue;
    catalogue.fill({{"Stávající", "1/2000", {}, "obsah"}});
    Engine engine(catalogue.dir());
    engine.database();
    const testing::DirSnapshot before = testing::snapshot(catalogue.dir());
    {
        CatalogueRowWriter writer(engine.database());
        writer.add(fieldsOf(issues[0]));
        const std::string longNumber(16, '1');
        const std::optional<EDBEngineError> error = testing::engineErrorOf([&] {
            writer.add({"Vesmír", longNumber, "", "obsah"});
        });
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->message(), "Value too large.\r\nField: Cislo");
        EXPECT_THROW(writer.commit(), std::logic_error) << "a spent writer can't commit";
    }
    {
        CatalogueRowWriter writer(engine.database());
        writer.add(fieldsOf(issues[1]));
    }
    EXPECT_EQ(readAll(engine.database(), SortOrder::Unsorted),
              (std::vector<Issue>{{"Stávající", "1/2000", "", "obsah"}}));
    EXPECT_TRUE(testing::snapshot(catalogue.dir()) == before) << "a refused write changed a file";
}

TEST(CatalogueRows, ANewCatalogueIsFilledOnlyByACommit) {
    for (const bool commit : {false, true}) {
        testing::TempCatalogue catalogue;
        {
            CatalogueRowWriter writer = CatalogueRowWriter::forNewCatalogue(catalogue.dir());
            for (const Issue& issue : issues) {
                writer.add(fieldsOf(issue));
            }
            if (commit) {
                writer.commit();
            }
        }
        Engine engine(catalogue.dir());
        EXPECT_EQ(readAll(engine.database(), SortOrder::Unsorted),
                  commit ? issues : std::vector<Issue>{});
        // With the rows' sort keys: the Czech order.
        const std::vector<Issue> sorted = {issues[3], issues[2], issues[0], issues[1]};
        EXPECT_EQ(readAll(engine.database(), SortOrder::ByTitle),
                  commit ? sorted : std::vector<Issue>{});
    }
}

}  // namespace
}  // namespace quorvel
