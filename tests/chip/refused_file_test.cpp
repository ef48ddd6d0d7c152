// A configuration file that LOAD refuses leaves the register mirror exactly as it was, so
// that a later PROG cannot put part of it into the chip.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "link_rig.h"
#include "messages.h"

namespace qe::chip::test {
namespace {

TEST(RefusedFile, LeavesTheMirrorAsItWasAndTouchesNoChip) {
    const struct {
        const char* name;
        std::size_t bytes;  // of the file; nothing when it does not exist
        bool exists;
        const char* message;
    } cases[] = {
        {"a last word of one byte", 15, true, messages::kReadBeyondEnd},
        {"one byte", 1, true, messages::kReadBeyondEnd},
        {"no such file", 0, false, messages::kFileNotFound},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig rig;
        const RegisterImage before = rig.image;
        const auto path = std::filesystem::path(::testing::TempDir()) / "refused_file_test.qcf";
        std::filesystem::remove(path);
        if (c.exists) std::ofstream(path, std::ios::binary) << std::string(c.bytes, '\x07');

        const Result result = rig.session.loadFile(path);

        EXPECT_EQ(result.outcome, Outcome::FileFailed);
        EXPECT_EQ(result.reason, c.message);
        EXPECT_EQ(rig.sink.texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(rig.image, before);
        EXPECT_TRUE(rig.driver.frames().empty());
        std::filesystem::remove(path);
    }
}

TEST(RefusedFile, AnAcceptedFileReplacesOnlyItsWords) {
    LinkRig rig;
    const auto path = std::filesystem::path(::testing::TempDir()) / "accepted_file_test.qcf";
    std::ofstream(path, std::ios::binary) << std::string("\x05\x02\x00\x18", 4);

    EXPECT_TRUE(rig.session.loadFile(path).ok());

    EXPECT_EQ(rig.image[48], 0x0205);
    EXPECT_EQ(rig.image[49], 0x1800);
    EXPECT_EQ(rig.image[50], kUntouched);
    EXPECT_EQ(rig.image[47], kUntouched);
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace qe::chip::test
