#pragma once

// The texts the tool shows in its message boxes for chip work, word for word. Some carry
// the misspellings users know from the tool; they are marked and must stay as they are.
// The adapter link's own texts (driver failures, "Port can not be opened", "Parameters are
// not OK") live with the link in adapter/, below this folder.

namespace qe::chip::messages {

// Settings refresh and READ.
inline constexpr const char* kReadingFailed = "The reading was unsuccessful.";

// PROG.
inline constexpr const char* kCannotWriteEeprom = "Can not write to the EEPROM";
inline constexpr const char* kNotCorrectlyWritten =
    "The data was not correctly written to the EEPROM";

// The radio groups' failed changes.
inline constexpr const char* kReg35Failed = "REG35 change was unsuccessful.";
inline constexpr const char* kPdeeFailed = "PDEE change was unsuccessful.";
inline constexpr const char* kPdtrFailed = "PDTR change was unsuccessful.";
inline constexpr const char* kAgcDisFailed = "AGCdis change was unsuccessful.";
inline constexpr const char* kPdintFailed = "PDint change was unsuccessful.";
inline constexpr const char* kSignFailed = "SIGN change was unsuccessful.";
inline constexpr const char* kBufSelFailed = "BufSel change was unsuccessful.";
inline constexpr const char* kAbriDisFailed = "ABRiDis change was unsuccessful.";
// Deliberate misspelling ("Reslution"): keep it.
inline constexpr const char* kResolutionFailed = "Reslution change was unsuccessful.";
inline constexpr const char* kUvwFailed = "UVW change was unsuccessful.";
inline constexpr const char* kSthFailed = "STH change was unsuccessful.";
inline constexpr const char* kSsiFailed = "SSI mode change was unsuccessful.";
inline constexpr const char* kDacFailed = "DAC change was unsuccessful.";
inline constexpr const char* kDactFailed = "DACT change was unsuccessful.";

// Address, zero position and hysteresis.
inline constexpr const char* kNumbersOnly = "Please enter numbers only.";
inline constexpr const char* kAddressRange = "The address must be between 0 and 127";
inline constexpr const char* kAddressFailed = "The address change was unsuccessful.";
inline constexpr const char* kZeroRange = "The value must be between 0 and 4095.";
inline constexpr const char* kZeroFailed = "The zero position change was unsuccessful.";
inline constexpr const char* kZeroHereFailed =
    "Setting current position as zero position was unsuccessful.";
// Deliberate misspelling ("hyseresis"): keep it.
inline constexpr const char* kHysteresisFailed = "The Digital hyseresis change was unsuccessful.";

// The one-chip rule. Deliberate grammar ("to connected"): keep it.
inline constexpr const char* kTooManyChips = "It is not allowed to connected more than one QE7204!";

// Configuration files.
inline constexpr const char* kReadBeyondEnd = "Read beyond end of file";
inline constexpr const char* kFileNotFound = "File not found";
inline constexpr const char* kFileAccessDenied = "File access denied";
inline constexpr const char* kDiskFull = "Disk full";
inline constexpr const char* kIoErrorPrefix = "I/O error ";  // then the error number

}  // namespace qe::chip::messages
