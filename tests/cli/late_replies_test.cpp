// A command line on a bench whose adapter answers late: it waits as long as a real adapter
// may take, and no late byte ever becomes a wrong answer.
#include <algorithm>
#include <sstream>

#include "cli_rig.h"
#include "exit_status.h"

namespace qe::cli::test {
namespace {

using Args = std::vector<std::string>;

class LateReplies : public CliRig {
protected:
    // Replies to frames that start with `prefix` come `ms` after their frame.
    void delayRepliesTo(std::vector<std::uint8_t> prefix, std::uint32_t ms) {
        onSimulation = [prefix, ms](sim::SimulatedDriver& driver) {
            driver.adapter().delayRepliesTo(prefix, ms);
        };
    }
};

TEST_F(LateReplies, SupplyAnswer21MsLateStillReadsTheChip) {
    delayRepliesTo({'Z', 4}, 21);
    for (int run = 0; run < 10; ++run) {
        SCOPED_TRACE(run);
        const Run r = this->run({"--simulate", "get", "Res"});
        EXPECT_EQ(r.status, kExitSuccess) << r.err;
        EXPECT_EQ(r.out, "4096\n");
        EXPECT_EQ(r.err, "");
    }
}

// Held to the window's 20 ms the supply answer is missed, but its late byte is never taken
// for a second chip.
TEST_F(LateReplies, SupplyAnswerPastTheReplyTimeOutMakesNoPhantomChip) {
    delayRepliesTo({'Z', 4}, 21);
    for (int run = 0; run < 10; ++run) {
        SCOPED_TRACE(run);
        const Run r = this->run({"--simulate", "--reply-timeout", "20", "get", "Res"});
        EXPECT_EQ(r.err.find("more than one"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("Chips answer at"), std::string::npos) << r.err;
    }
}

TEST_F(LateReplies, WatchReadsEveryOutputThatComes24MsLate) {
    delayRepliesTo({'V'}, 24);
    const Run r = run({"--simulate", "watch", "--count", "20", "--interval", "50"});
    EXPECT_EQ(r.status, kExitSuccess) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 20) << r.out;  // one line each
}

}  // namespace
}  // namespace qe::cli::test
