#pragma once

#include <atomic>
#include <cstdint>
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
    // Null, with `error` set, when the file cannot be created. Without `stop`, a FIFO that
    // nobody reads is an error at once (the window must not wait). With it, a FIFO's reader
    // is waited for, to open it and to take the rows, as shell tools do, until `stop` is set
    // (a script's Ctrl-C or TERM); a write already under way then gets a short grace to end
    // on a whole row.
    static std::unique_ptr<RecordingFile> create(const std::string& path, std::string& error,
                                                 const std::atomic<bool>* stop = nullptr);
    ~RecordingFile() override;

    RecordingFile(const RecordingFile&) = delete;
    RecordingFile& operator=(const RecordingFile&) = delete;

    bool write(std::string_view bytes) override;
    bool truncate(std::uint64_t size) override;
    bool close() override;
    std::string errorText() const override { return error_; }

    const std::string& path() const { return path_; }

    // Why a wait for the FIFO's reader ended without it.
    static constexpr const char* kStoppedText = "stopped while waiting for its reader";

private:
    RecordingFile(int descriptor, std::string path, const std::atomic<bool>* stop);
    bool waitUntilWritable(std::size_t writtenOfThisCall);
    bool fail(int error);

    int descriptor_;
    std::string path_;
    const std::atomic<bool>* stop_;
    std::int64_t stopSeenMs_ = -1;
    std::string error_;
};

}  // namespace qe
