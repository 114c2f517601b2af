#include "EDBEngineError.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(EDBEngineError, MessageJoinsCodeTextAndEntriesWithCrLf) {
    EDBEngineError error(engine_code::tableNotFound,
                         {{engine_code::tableNotFound, 0, "File: /tmp/x/qv.db"}});
    EXPECT_EQ(error.message(), "Table does not exist.\r\nFile: /tmp/x/qv.db");
}

TEST(EDBEngineError, DuplicateLinesIgnoringCaseAppearOnce) {
    EDBEngineError error(engine_code::recordLocked,
                         {{engine_code::recordLocked, 0, "RECORD LOCKED BY ANOTHER USER."},
                          {engine_code::ioError, 5, "disk I/O error"},
                          {engine_code::ioError, 5, "Disk I/O Error"}});
    EXPECT_EQ(error.message(), "Record locked by another user.\r\ndisk I/O error");
}

TEST(EDBEngineError, EntryWithNativeCodeContributesOnlyItsOwnText) {
    EDBEngineError error(engine_code::corruptFile,
                         {{engine_code::diskFull, 13, "database or disk is full"}});
    EXPECT_EQ(error.message(), "Corrupt table or memo file.\r\ndatabase or disk is full");
}

TEST(EDBEngineError, TextsAreTrimmedAndCutTo128Characters) {
    const std::string longText = "  " + std::string(126, 'x') + "\xC5\xA1" + "yyy  ";
    EDBEngineError error(0x2F7F, {{0x2F7F, 0, longText}});
    // The cut comes before the trim, so the two leading spaces count towards the 128.
    EXPECT_EQ(error.message(), std::string(126, 'x'));
}

TEST(EDBEngineError, WithoutAnyTextTheMessageNamesTheCode) {
    EDBEngineError error(0x2F7F, {{0x2F7E, 0, "   "}});
    EXPECT_EQ(error.message(), "Database engine error $2f7f");
}

TEST(EDBEngineError, BeforeTheSessionIsActiveTheInitialisationMessageIsGiven) {
    EDBEngineError error(engine_code::libraryNotFound, {{0x2108, 0, "whatever"}}, false);
    EXPECT_EQ(error.message(),
              "An error occurred while attempting to initialize the database engine "
              "(error $2108)");
    EXPECT_STREQ(error.kindName(), "EDBEngineError");
}

TEST(EDBEngineError, NotFoundCategoryIsTheHighByte0x22) {
    EXPECT_TRUE(EDBEngineError(engine_code::recordNotFound, {}).isNotFound());
    EXPECT_FALSE(EDBEngineError(engine_code::recordLocked, {}).isNotFound());
}

}  // namespace
}  // namespace quorvel
