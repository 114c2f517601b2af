// qvtool create, and what every command does when the directory is missing or already holds a
// table: it fails with status 1, says why with the engine's own message and leaves the files
// exactly as they were.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "CatalogueReading.h"
#include "EDBEngineError.h"
#include "QvtoolProcess.h"
#include "TemporaryDirectory.h"
#include "engine/CatalogueSchema.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "query/Cursor.h"

namespace quorvel::testing {
namespace {

const std::vector<std::string> bothFiles{"qv.db", "qv.mb"};

TEST(QvtoolCreate, MakesAnEmptyCatalogueThatTheEngineOpens) {
    const TemporaryDirectory directory;
    const QvtoolRun run = runQvtool({"create", directory.path().string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(directoryListing(directory.path()), bothFiles);

    Engine engine(directory.path());
    const std::unique_ptr<Cursor> cursor =
        Cursor::open(engine.database(), "select * from qv\r\n\r\n\r\n", true);
    EXPECT_TRUE(cursor->isLive());
    EXPECT_EQ(cursor->fields().size(), 4u);
    EXPECT_TRUE(cursor->readFirst(20).empty());
}

// Each command, given a directory that already holds a table file.
class QvtoolRefusal : public ::testing::TestWithParam<std::vector<std::string>> {
  protected:
    QvtoolRun runIn(const std::filesystem::path& directory) {
        std::vector<std::string> arguments = GetParam();
        arguments.insert(arguments.begin() + 1, directory.string());
        return runQvtool(arguments);
    }

    // What the store itself says when asked to create a table over these files; it touches
    // nothing either.
    static std::string engineMessage(const std::filesystem::path& directory) {
        try {
            schema::createTable(directory);
        } catch (const EDBEngineError& error) {
            return error.message();
        }
        ADD_FAILURE() << "the store created a table over existing files";
        return {};
    }
};

TEST_P(QvtoolRefusal, AnExistingCatalogueStaysByteIdentical) {
    const TemporaryDirectory directory;
    ASSERT_EQ(runQvtool({"demo", directory.path().string()}).exitCode, 0);
    const std::string rows = fileBytes(directory.path() / "qv.db");
    const std::string memos = fileBytes(directory.path() / "qv.mb");

    const QvtoolRun run = runIn(directory.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "qvtool: " + engineMessage(directory.path()) + "\n");
    // What happened, not a permission the user has.
    EXPECT_EQ(run.err, "qvtool: File already exists.\r\nFile: " +
                           (directory.path() / "qv.db").string() + "\n");
    EXPECT_EQ(directoryListing(directory.path()), bothFiles);
    EXPECT_EQ(fileBytes(directory.path() / "qv.db"), rows);
    EXPECT_EQ(fileBytes(directory.path() / "qv.mb"), memos);
}

TEST_P(QvtoolRefusal, ALoneMemoFileIsKeptAndNoRowsFileIsLeftBehind) {
    const TemporaryDirectory directory;
    const std::string foreign = "not a memo file\n";
    { std::ofstream(directory.path() / "qv.mb", std::ios::binary) << foreign; }
    const QvtoolRun run = runIn(directory.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "qvtool: " + engineMessage(directory.path()) + "\n");
    EXPECT_NE(run.err.find((directory.path() / "qv.mb").string()), std::string::npos);
    EXPECT_EQ(directoryListing(directory.path()), std::vector<std::string>{"qv.mb"});
    EXPECT_EQ(fileBytes(directory.path() / "qv.mb"), foreign);
}

TEST_P(QvtoolRefusal, ALoneRowsFileIsKept) {
    const TemporaryDirectory directory;
    const std::string foreign = "not a table\n";
    { std::ofstream(directory.path() / "qv.db", std::ios::binary) << foreign; }
    const QvtoolRun run = runIn(directory.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find((directory.path() / "qv.db").string()), std::string::npos);
    EXPECT_EQ(directoryListing(directory.path()), std::vector<std::string>{"qv.db"});
    EXPECT_EQ(fileBytes(directory.path() / "qv.db"), foreign);
}

TEST_P(QvtoolRefusal, AMissingDirectoryIsAFailureAndIsNotCreated) {
    const TemporaryDirectory parent;
    const std::filesystem::path missing = parent.path() / "missing";
    const QvtoolRun run = runIn(missing);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "qvtool: " + missing.string() + ": no such directory\n");
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_P(QvtoolRefusal, AFileInPlaceOfTheDirectoryIsAFailure) {
    const TemporaryDirectory parent;
    const std::filesystem::path file = parent.path() / "file";
    { std::ofstream(file) << "x"; }
    const QvtoolRun run = runIn(file);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "qvtool: " + file.string() + ": not a directory\n");
    EXPECT_EQ(directoryListing(parent.path()), std::vector<std::string>{"file"});
}

std::string commandName(const ::testing::TestParamInfo<std::vector<std::string>>& command) {
    std::string name;
    for (const std::string& part : command.param) {
        name += (name.empty() ? "" : "_") + part;
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Commands, QvtoolRefusal,
                         ::testing::Values(std::vector<std::string>{"create"},
                                           std::vector<std::string>{"demo"},
                                           std::vector<std::string>{"generate", "100"},
                                           std::vector<std::string>{"generate", "100", "3"}),
                         commandName);

}  // namespace
}  // namespace quorvel::testing
