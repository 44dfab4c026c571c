// Checks that need the C library's own Windows-1252 tables and POSIX resource limits.
#include <gtest/gtest.h>

#include <iconv.h>
#include <signal.h>
#include <sys/resource.h>

#include <clocale>
#include <cwctype>
#include <filesystem>
#include <fstream>

#include "fakes.hpp"
#include "store/identification_store.hpp"
#include "text/cp1252.hpp"
#include "text/path.hpp"

namespace corvalis {
namespace {

namespace fs = std::filesystem;

// glibc's converter, independent of ours; empty for the bytes it leaves unassigned.
std::optional<std::string> iconvToUtf8(char byte) {
    iconv_t converter = iconv_open("UTF-8", "WINDOWS-1252");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        ADD_FAILURE() << "iconv lacks WINDOWS-1252";
        return std::nullopt;
    }
    char in[1] = {byte};
    char out[8] = {};
    char* inPtr = in;
    char* outPtr = out;
    std::size_t inLeft = 1;
    std::size_t outLeft = sizeof out;
    const std::size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    if (result == static_cast<std::size_t>(-1)) {
        return std::nullopt;
    }
    return std::string(out, sizeof out - outLeft);
}

TEST(Cp1252AgainstIconv, AllBytesDecodeAsGlibcDoes) {
    int unassigned = 0;
    for (int value = 0; value < 256; ++value) {
        const char byte = static_cast<char>(value);
        const auto expected = iconvToUtf8(byte);
        const std::string ours = text::decodeCp1252(std::string(1, byte));
        if (expected) {
            EXPECT_EQ(ours, *expected) << "byte " << value;
        } else {
            // Unassigned in the page: kept as the C1 control of the same value.
            ++unassigned;
            const char32_t controlCode = static_cast<char32_t>(value);
            EXPECT_EQ(ours, (std::string{static_cast<char>(0xC2), static_cast<char>(controlCode)}));
        }
    }
    EXPECT_EQ(unassigned, 5);
}

// Unicode's simple case mapping from the C library, kept where both partners are in the page.
TEST(Cp1252AgainstIconv, CaseMappingMatchesTheCLibraryInsideThePage) {
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    for (int value = 0; value < 256; ++value) {
        const std::string byte(1, static_cast<char>(value));
        const auto utf8 = iconvToUtf8(byte[0]);
        if (!utf8) {
            continue;
        }
        wchar_t wide = 0;
        ASSERT_GE(std::mbtowc(&wide, utf8->data(), utf8->size()), 0);
        for (const bool upper : {true, false}) {
            const wchar_t mapped =
                static_cast<wchar_t>(upper ? std::towupper(wide) : std::towlower(wide));
            char buffer[8] = {};
            const int length = mapped == 0 ? 1 : std::wctomb(buffer, mapped);
            const std::string mappedUtf8(buffer, static_cast<std::size_t>(length));
            const bool partnerInPage = text::encodeCp1252(mappedUtf8) != "?";
            const std::string expected = partnerInPage ? mappedUtf8 : *utf8;
            EXPECT_EQ(upper ? text::toUpper(*utf8) : text::toLower(*utf8), expected)
                << "byte " << value << (upper ? " upper" : " lower");
        }
    }
    std::setlocale(LC_CTYPE, "C");
}

// Lowers the largest file size this process may write, and restores it.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    sighandler_t previousHandler_{};
};

TEST(StdFileSystemFailures, FailedWriteLeavesThePreviousFileIntact) {
    const fs::path folder =
        fs::temp_directory_path() / ("corvalis-fsize-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path file = folder / "pelmark.ini";
    std::ofstream(file, std::ios::binary) << "acme\r\n";

    test::FakeView view;
    store::StdFileSystem files;
    store::IdentificationStore store{files, folder.string(), view};
    view.box_ = "a much longer identification";
    {
        const FileSizeLimit limit(8);
        store.tratarIni(false);
    }
    std::ifstream in(file, std::ios::binary);
    const std::string content{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(content, "acme\r\n");
    EXPECT_EQ(view.messages_,
              std::vector<std::string>{"Ocorreu erro no procedimento 'tratarIni'."});
    EXPECT_FALSE(fs::exists(folder / "pelmark.ini.tmp"));
    fs::remove_all(folder);
}

// /proc takes no new files, not even from root: a read-only program folder.
TEST(StdFileSystemFailures, ReadOnlyFolderReportsAtStartAndAtEverySave) {
    test::FakeView view;
    store::StdFileSystem files;
    store::IdentificationStore store{files, "/proc", view};
    store.tratarIni(true);
    view.box_ = "acme";
    store.tratarIni(false);
    store.tratarIni(false);
    EXPECT_EQ(view.messages_,
              std::vector<std::string>(3, "Ocorreu erro no procedimento 'tratarIni'."));
    EXPECT_FALSE(fs::exists("/proc/pelmark.ini"));
}

TEST(Paths, FilesBesideTheProgramJoinWithOneSlash) {
    EXPECT_EQ(text::joinPath("/opt/corvalis", "pelmark.ini"), "/opt/corvalis/pelmark.ini");
    EXPECT_EQ(text::joinPath("/", "pelmark.ini"), "/pelmark.ini");
    EXPECT_EQ(text::joinPath("/opt/são paulo/", "Tol-Cloud.rdp"), "/opt/são paulo/Tol-Cloud.rdp");
}

}  // namespace
}  // namespace corvalis
