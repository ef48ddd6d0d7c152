// Replays a fuzz target's seed corpus and every crash kept for it, as an ordinary test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::filesystem::path> inputsIn(const std::string& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.is_regular_file() && entry.path().filename() != ".gitkeep")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(FuzzReplay, SeedCorpusAndKeptCrashes) {
    std::vector<std::filesystem::path> inputs;
    std::istringstream folders(QE7204_FUZZ_INPUTS);
    for (std::string folder; std::getline(folders, folder, ':');) {
        const auto found = inputsIn(folder);
        inputs.insert(inputs.end(), found.begin(), found.end());
    }
    ASSERT_FALSE(inputs.empty()) << "no seed corpus in " << QE7204_FUZZ_INPUTS;
    for (const auto& path : inputs) {
        SCOPED_TRACE(path.string());
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        // A broken invariant aborts the program, which fails this test with the input named.
        std::fprintf(stderr, "replaying %s\n", path.c_str());
        EXPECT_EQ(LLVMFuzzerTestOneInput(bytes.data(), bytes.size()), 0);
    }
}

}  // namespace
