// Reading a regular file takes the memory its contents need, not the memory its limit allows.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "regular_file.h"

namespace qe {
namespace {

constexpr std::size_t kLargeLimit = 64u << 20;

class RegularFileRead : public ::testing::Test {
protected:
    void TearDown() override { std::filesystem::remove(path_); }

    void write(const std::string& text, std::ios::openmode mode = std::ios::trunc) {
        std::ofstream(path_, std::ios::binary | mode) << text;
    }

    static std::string text(const std::vector<std::uint8_t>& bytes) {
        return {bytes.begin(), bytes.end()};
    }

    const std::filesystem::path path_ = std::filesystem::path(::testing::TempDir()) /
                                        ("regular_file_test." + std::to_string(::getpid()));
};

TEST_F(RegularFileRead, ASmallFileUnderALargeLimitTakesOnlyItsSize) {
    write("38 bytes of something that is a JPEG.");
    RegularFile file(path_, RegularFile::Access::Read);
    ASSERT_EQ(file.error(), 0);

    const std::vector<std::uint8_t> bytes = file.read(kLargeLimit);

    EXPECT_EQ(file.error(), 0);
    EXPECT_EQ(text(bytes), "38 bytes of something that is a JPEG.");
    EXPECT_LE(bytes.capacity(), 64u);
}

TEST_F(RegularFileRead, TheLimitCutsAndShowsAnOversizedFile) {
    const struct {
        const char* name;
        std::size_t limit;
        const char* expected;
    } cases[] = {
        {"limit below the size", 4, "0123"},
        {"limit at the size", 10, "0123456789"},
        {"one beyond the size shows the end", 11, "0123456789"},
        {"empty limit", 0, ""},
    };
    write("0123456789");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RegularFile file(path_, RegularFile::Access::Read);
        EXPECT_EQ(text(file.read(c.limit)), c.expected);
        EXPECT_EQ(file.error(), 0);
    }
}

TEST_F(RegularFileRead, AFileThatGrewAfterOpeningIsReadToItsNewEndWithinTheLimit) {
    write("first part;");
    const std::string grown(100'000, 'x');
    {
        RegularFile file(path_, RegularFile::Access::Read);
        ASSERT_EQ(file.stamp().size, 11u);
        write(grown, std::ios::app);

        EXPECT_EQ(text(file.read(kLargeLimit)), "first part;" + grown);
    }
    {
        RegularFile file(path_, RegularFile::Access::Read);
        write("more", std::ios::app);

        EXPECT_EQ(text(file.read(11 + grown.size() + 2)), "first part;" + grown + "mo");
    }
}

TEST_F(RegularFileRead, AFileThatShrankAfterOpeningGivesWhatIsLeft) {
    write("0123456789");
    RegularFile file(path_, RegularFile::Access::Read);
    write("012");

    EXPECT_EQ(text(file.read(kLargeLimit)), "012");
    EXPECT_EQ(file.error(), 0);
}

}  // namespace
}  // namespace qe
