#include "access_table.hpp"

#include <gtest/gtest.h>

#include "server_process.hpp"

namespace corvalis::control_server {
namespace {

using testing_support::TemporaryFolder;

TEST(AccessTable, KeepsRecordsAsWrittenAndMarksCancelledOnes) {
    std::vector<TableProblem> problems;
    const auto table = AccessTable::parse(
        "  # indented comment\r\n"
        "\t\r\n"
        "acme=host|a||3389||e|f|g|\r\n"
        "!old=10.0.0.1|a|b|3389|8080|c|d|e|f",
        problems);
    EXPECT_TRUE(problems.empty());
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table.cancelled_count(), 1u);

    const auto acme = table.find("acme");
    EXPECT_EQ(acme.outcome, LookupOutcome::record);
    EXPECT_EQ(acme.record, "host|a||3389||e|f|g|") << "empty items and no CR";
    EXPECT_EQ(table.find("old").outcome, LookupOutcome::cancelled);
    EXPECT_EQ(table.find("!old").outcome, LookupOutcome::unknown);
    EXPECT_EQ(table.find("acm").outcome, LookupOutcome::unknown);
}

TEST(AccessTable, TellsWhetherALongerIdentificationMayStillFollow) {
    std::vector<TableProblem> problems;
    const auto table = AccessTable::parse(
        "ab=1|2|3|4|5|6|7|8|9\n"
        "abc=1|2|3|4|5|6|7|8|9\n"
        "abd=1|2|3|4|5|6|7|8|9\n"
        "b=1|2|3|4|5|6|7|8|9\n",
        problems);
    EXPECT_TRUE(table.find("ab").extended_by_longer_identification);
    EXPECT_TRUE(table.find("a").extended_by_longer_identification);
    EXPECT_FALSE(table.find("abc").extended_by_longer_identification);
    EXPECT_FALSE(table.find("abd").extended_by_longer_identification);
    EXPECT_FALSE(table.find("b").extended_by_longer_identification);
    EXPECT_FALSE(table.find("ac").extended_by_longer_identification);
}

TEST(AccessTable, LoadsFromAFileAndRejectsFilesWithoutRecords) {
    TemporaryFolder folder;
    const auto good = folder.write("good.txt", "acme=1|2|3|4|5|6|7|8|9\nbad\n");
    const auto loaded = load_access_table(good);
    ASSERT_NE(loaded.table, nullptr);
    EXPECT_EQ(loaded.table->size(), 1u);
    ASSERT_EQ(loaded.problems.size(), 1u);
    EXPECT_EQ(loaded.problems[0].line_number, 2u);

    const auto empty = load_access_table(folder.write("empty.txt", ""));
    EXPECT_EQ(empty.table, nullptr);
    EXPECT_EQ(empty.failure, "no valid record");

    const auto absent = load_access_table(folder.path() / "absent.txt");
    EXPECT_EQ(absent.table, nullptr);
    EXPECT_TRUE(absent.failure.starts_with("cannot open")) << absent.failure;

    EXPECT_EQ(load_access_table(folder.path()).table, nullptr) << "a folder is no table";
}

}  // namespace
}  // namespace corvalis::control_server
