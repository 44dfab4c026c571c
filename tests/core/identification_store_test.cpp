#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "fakes.hpp"
#include "store/identification_store.hpp"

namespace corvalis::store {
namespace {

namespace fs = std::filesystem;

// A fresh folder that stands for the program's folder; removed afterwards.
class TemporaryFolder {
public:
    TemporaryFolder() {
        std::random_device random;
        path_ = fs::temp_directory_path() / ("corvalis-test-" + std::to_string(random()));
        fs::create_directories(path_);
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::string utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class StoreOnDisk : public ::testing::Test {
protected:
    fs::path file() const { return folder_.path() / "pelmark.ini"; }

    TemporaryFolder folder_;
    test::FakeView view_;
    StdFileSystem files_;
    IdentificationStore store_{files_, utf8(folder_.path()), view_};
};

TEST_F(StoreOnDisk, FirstStartCreatesAnEmptyFileAndLeavesTheBox) {
    store_.tratarIni(true);
    EXPECT_TRUE(fs::exists(file()));
    EXPECT_EQ(fs::file_size(file()), 0u);
    EXPECT_EQ(view_.box_, "");
    EXPECT_TRUE(view_.messages_.empty());
}

TEST_F(StoreOnDisk, WriteNormalisesAndEndsTheLineWithCrLf) {
    view_.box_ = "  Acme ";
    store_.tratarIni(false);
    EXPECT_EQ(readBytes(file()), "acme\r\n");
    EXPECT_EQ(view_.box_, "  Acme ");  // the box is Connect's business

    view_.box_ = "AÇÃO Š";
    store_.tratarIni(false);
    EXPECT_EQ(readBytes(file()), "a\xE7\xE3o \x9A\r\n");
    EXPECT_FALSE(fs::exists(folder_.path() / "pelmark.ini.tmp"));
}

TEST_F(StoreOnDisk, RoundTripThroughWindows1252) {
    view_.box_ = "são paulo €";
    store_.tratarIni(false);
    view_.box_.clear();
    store_.tratarIni(true);
    EXPECT_EQ(view_.box_, "são paulo €");
}

TEST_F(StoreOnDisk, OnlyTheFirstLineIsReadAndShownUnchanged) {
    writeBytes(file(), "  Hand Edited \r\nsecond\r\n");
    store_.tratarIni(true);
    EXPECT_EQ(view_.box_, "  Hand Edited ");

    writeBytes(file(), "\r\nsecond\r\n");
    store_.tratarIni(true);
    EXPECT_EQ(view_.box_, "");

    writeBytes(file(), "unix\nsecond\n");
    store_.tratarIni(true);
    EXPECT_EQ(view_.box_, "unix");

    writeBytes(file(), "no line end");
    store_.tratarIni(true);
    EXPECT_EQ(view_.box_, "no line end");
    EXPECT_TRUE(view_.messages_.empty());
}

TEST_F(StoreOnDisk, EmptyFileLeavesTheBoxAsItWas) {
    writeBytes(file(), "");
    view_.box_ = "typed";
    store_.tratarIni(true);
    EXPECT_EQ(view_.box_, "typed");
}

TEST_F(StoreOnDisk, FolderThatCannotHoldTheFileReportsEachTime) {
    writeBytes(folder_.path() / "not-a-folder", "x");
    IdentificationStore broken{files_, utf8(folder_.path() / "not-a-folder"), view_};
    view_.box_ = "kept";
    broken.tratarIni(true);
    EXPECT_EQ(view_.box_, "kept");
    broken.tratarIni(false);
    EXPECT_EQ(view_.messages_,
              std::vector<std::string>(2, "Ocorreu erro no procedimento 'tratarIni'."));
}

TEST_F(StoreOnDisk, AFolderInTheWayOfTheTemporaryFileFallsBackToWritingInPlace) {
    writeBytes(file(), "old\r\n");
    fs::create_directory(folder_.path() / "pelmark.ini.tmp");
    view_.box_ = "new";
    store_.tratarIni(false);
    EXPECT_EQ(readBytes(file()), "new\r\n");
    EXPECT_TRUE(view_.messages_.empty());
}

TEST(StoreWithFailures, FailedWriteIsReportedAndFailedReadKeepsTheBox) {
    test::FakeView view;
    test::FakeFileSystem files;
    IdentificationStore store{files, "/app", view};
    files.failReads_ = true;
    view.box_ = "kept";
    store.tratarIni(true);
    EXPECT_EQ(view.box_, "kept");
    files.failWrites_ = true;
    store.tratarIni(false);
    EXPECT_EQ(view.messages_,
              std::vector<std::string>(2, "Ocorreu erro no procedimento 'tratarIni'."));
}

}  // namespace
}  // namespace corvalis::store
