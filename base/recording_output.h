#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace qe {

// Where a recording's bytes go: a file in the tool, a fake with a small "disk" in tests.
class RecordingOutput {
public:
    virtual ~RecordingOutput() = default;
    // Writes all of `bytes` through to the system. False when not all of them could be
    // written; some may have been.
    [[nodiscard]] virtual bool write(std::string_view bytes) = 0;
    // Cuts the output back to its first `size` bytes, so that a failed write leaves no
    // partial line behind.
    virtual bool truncate(std::uint64_t size) = 0;
    virtual bool close() = 0;
    // Why the last call failed, e.g. "No space left on device".
    virtual std::string errorText() const = 0;
};

// A file on disk, created or emptied when opened.
class RecordingFile final : public RecordingOutput {
public:
    // Whether opening a FIFO waits for its reader: the window must not, a script may.
    enum class ReaderWait { No, Yes };

    // Null, with `error` set, when the file cannot be created.
    static std::unique_ptr<RecordingFile> create(const std::string& path, std::string& error,
                                                 ReaderWait wait = ReaderWait::No);
    ~RecordingFile() override;

    RecordingFile(const RecordingFile&) = delete;
    RecordingFile& operator=(const RecordingFile&) = delete;

    bool write(std::string_view bytes) override;
    bool truncate(std::uint64_t size) override;
    bool close() override;
    std::string errorText() const override { return error_; }

    const std::string& path() const { return path_; }

private:
    RecordingFile(std::FILE* file, std::string path);
    bool fail(int error);

    std::FILE* file_;
    std::string path_;
    std::string error_;
};

}  // namespace qe
