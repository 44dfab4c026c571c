// The identification file through the wide file APIs, in a folder with blanks and non-ASCII
// letters.
#include <gtest/gtest.h>

#include "support.hpp"
#include "win32_file_system.hpp"

namespace corvalis::win32::testing {
namespace {

class FileStore : public ::testing::Test {
protected:
    TestFolder folder;
    Win32FileSystem files;
    std::filesystem::path file = folder.identificationFile();
};

TEST_F(FileStore, ReadOfAMissingFileCreatesItEmpty) {
    EXPECT_EQ(files.readOrCreate(utf8(file), 64), std::optional<std::string>(""));
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(std::filesystem::file_size(file), 0u);
}

TEST_F(FileStore, ReadGivesTheRawBytesUpToTheLimit) {
    writeBytes(file, "a\xE7\xE3o\r\nmais\r\n");
    EXPECT_EQ(files.readOrCreate(utf8(file), 64),
              std::optional<std::string>("a\xE7\xE3o\r\nmais\r\n"));
    EXPECT_EQ(files.readOrCreate(utf8(file), 4), std::optional<std::string>("a\xE7\xE3o"));
}

TEST_F(FileStore, ReplaceLeavesExactlyTheBytesAndNoTemporaryFile) {
    writeBytes(file, "uma identificacao mais longa\r\n");
    ASSERT_TRUE(files.replace(utf8(file), "acme\r\n"));
    EXPECT_EQ(readBytes(file), "acme\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(FileStore, ReplaceRewritesInPlaceWhenNoNewFileCanBeMadeBesideIt) {
    writeBytes(file, "antiga\r\n");
    std::filesystem::path temporary = file;
    temporary += L".tmp";
    std::filesystem::create_directory(temporary);  // the temporary file's name is taken
    ASSERT_TRUE(files.replace(utf8(file), "nova\r\n"));
    EXPECT_EQ(readBytes(file), "nova\r\n");
}

TEST_F(FileStore, AFolderInTheFilesPlaceFailsBothWays) {
    std::filesystem::create_directory(file);
    EXPECT_EQ(files.readOrCreate(utf8(file), 64), std::nullopt);
    EXPECT_FALSE(files.replace(utf8(file), "acme\r\n"));
    EXPECT_TRUE(std::filesystem::is_directory(file));
}

TEST_F(FileStore, AMissingFolderFailsBothWays) {
    const std::filesystem::path nowhere = folder.path() / L"não existe" / L"pelmark.ini";
    EXPECT_EQ(files.readOrCreate(utf8(nowhere), 64), std::nullopt);
    EXPECT_FALSE(files.replace(utf8(nowhere), "acme\r\n"));
}

}  // namespace
}  // namespace corvalis::win32::testing
