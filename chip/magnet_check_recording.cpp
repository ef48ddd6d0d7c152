#include "magnet_check_recording.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <sstream>
#include <string_view>

#include "regular_file.h"

namespace qe::chip {

namespace {

// Hours of readouts at 20 a second; anything larger is no recording of ours.
constexpr std::size_t kLargestRecording = std::size_t{1} << 30;
constexpr std::string_view kFirstLine = "# QE7204 readouts; chip address ";
constexpr std::string_view kSerialPart = "; adapter serial ";

// The fields of one CSV row; a quoted field may hold commas and doubled quotes.
std::vector<std::string> csvFields(std::string_view line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

template <typename Number>
std::optional<Number> numberIn(const std::string& text) {
    Number value{};
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end) return std::nullopt;
    return value;
}

std::string withoutCarriageReturn(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace

MagnetRecording readMagnetRecording(std::istream& in) {
    MagnetRecording recording;
    std::string line;
    if (!std::getline(in, line) || !line.starts_with(kFirstLine)) {
        recording.error = "This is no recording of QE7204 readouts";
        return recording;
    }
    line = withoutCarriageReturn(line);
    const std::size_t serialAt = line.find(kSerialPart);
    const std::string address = line.substr(kFirstLine.size(), serialAt == std::string::npos
                                                                   ? std::string::npos
                                                                   : serialAt - kFirstLine.size());
    recording.source.chipAddress = numberIn<int>(address).value_or(0);
    if (serialAt != std::string::npos)
        recording.source.adapterSerial = line.substr(serialAt + kSerialPart.size());

    if (!std::getline(in, line)) {
        recording.error = "The recording has no column names";
        return recording;
    }
    const std::vector<std::string> names = csvFields(withoutCarriageReturn(line));
    const auto column = [&names](std::string_view name) -> std::optional<std::size_t> {
        for (std::size_t i = 0; i < names.size(); ++i)
            if (names[i] == name) return i;
        return std::nullopt;
    };
    const auto time = column("time");
    const auto elapsed = column("elapsed_s");
    const auto absolute = column("AbsPos");
    const auto status = column("MagnetStatus");
    const auto tacho = column("Tacho");
    const auto hertz = column("hz");
    const auto agc = column("agc_percent");
    const auto alarm = column("TachoAlarm");
    if (!time || !elapsed || !absolute || !status || !tacho || !hertz || !agc || !alarm) {
        recording.error = "The recording lacks a column the magnet check needs";
        return recording;
    }

    int row = 2;
    while (std::getline(in, line)) {
        ++row;
        line = withoutCarriageReturn(line);
        if (line.empty()) continue;
        const std::vector<std::string> f = csvFields(line);
        const auto at = [&f](std::size_t i) { return i < f.size() ? f[i] : std::string(); };
        const auto seconds = numberIn<double>(at(*elapsed));
        const auto position = numberIn<int>(at(*absolute));
        const auto magnetStatus = numberIn<int>(at(*status));
        const auto tachoRaw = numberIn<int>(at(*tacho));
        const auto tachoHz = numberIn<double>(at(*hertz));
        const auto agcPercent = numberIn<double>(at(*agc));
        const auto tachoAlarm = numberIn<int>(at(*alarm));
        if (!seconds || !position || !magnetStatus || !tachoRaw || !tachoHz || !agcPercent ||
            !tachoAlarm) {
            recording.error = "Line " + std::to_string(row) + " of the recording is no readout";
            recording.samples.clear();
            return recording;
        }
        if (recording.samples.empty()) recording.source.date = at(*time);
        // As magnetSample() makes it from the readout the row was written from.
        MagnetSample s;
        s.seconds = *seconds;
        s.position = *position;
        s.agcLevel = static_cast<int>(std::lround(*agcPercent * 16.0 / 100.0));
        s.magnetStatus = *magnetStatus;
        s.tachoHz = *tachoHz;
        s.tachoRaw = *tachoRaw;
        s.tachoAlarm = *tachoAlarm != 0;
        recording.samples.push_back(s);
    }
    return recording;
}

MagnetRecording readMagnetRecordingFile(const std::string& path) {
    RegularFile file(path, RegularFile::Access::Read);
    std::vector<std::uint8_t> bytes;
    if (file.error() == 0) bytes = file.read(kLargestRecording);
    if (file.error() != 0) {
        MagnetRecording refused;
        refused.error = std::strerror(file.error());
        return refused;
    }
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    return readMagnetRecording(in);
}

MagnetCheckResult checkRecording(const MagnetRecording& recording, int turns) {
    if (!recording.error.empty()) return {std::nullopt, recording.error};
    MagnetCheck check(turns);
    for (const MagnetSample& s : recording.samples) {
        if (check.complete()) break;
        check.add(s);
    }
    MagnetCheckResult result = check.result();
    if (result.report) result.report->source = recording.source;
    return result;
}

}  // namespace qe::chip
