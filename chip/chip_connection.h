#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "adapter_link.h"
#include "chip_result.h"
#include "chip_session.h"
#include "ini_store.h"

namespace qe::chip {

// What a bus scan found, after the one-chip rule.
struct [[nodiscard]] ScanResult {
    Outcome outcome = Outcome::NoChip;  // Done: exactly one chip, now the session's chip
    bool newChip = false;  // one chip at an address other than the single one found before
    std::string reason;    // the one-chip rule's message when several chips answered

    bool ok() const { return outcome == Outcome::Done; }
};

// The adapter and the chips on its bus: start-up, the connection check, the scan with the
// one-chip rule, the chip supply and shutdown. The preferred adapter is the one named in
// the ini file ("Port Options" / "Last Opened"), read here at every connection attempt and
// rewritten when another adapter is chosen.
class ChipConnection {
public:
    ChipConnection(AdapterLink& link, ChipSession& session, std::string iniFilePath);

    const std::string& iniFilePath() const { return iniFilePath_; }

    // FormCreate's adapter part: line settings, enumeration (where the driver can list),
    // connection, the supply switched on when an adapter opened; then no chip known,
    // address 0 and a mirror of zeros.
    void startUp();

    // One connection attempt: the adapter named in the ini file preferred, the ini file
    // rewritten when another one is chosen.
    void connectAdapter();

    // The poll cycle's steps.
    void enumerateDevices();
    // While no adapter is open: enumerate and try to connect; still none: supply off.
    void connectIfNeeded();
    bool checkConnection();
    // The bus scan and the one-chip rule: one chip becomes the session's chip; several
    // show "It is not allowed to connected more than one QE7204!".
    ScanResult scan();

    // "Power ON": the supply on and, when the adapter reports it on, a scan. Outcome Done
    // means one chip answered (the caller then refreshes the settings, new chip or not).
    ScanResult powerOn();
    // "Power OFF".
    void powerOff();
    // At exit: the supply off and the adapter closed, when one is open.
    void shutDown();

    bool adapterOpen() const;
    bool chipPowered() const;
    const std::vector<std::uint8_t>& chipsFound() const;
    // Exactly one chip answered the last scan.
    bool oneChip() const { return chipsFound().size() == 1; }
    // The serial number of the adapter last chosen (the window layout's ini section).
    const std::string& adapterSerial() const;

private:
    ScanResult adoptScannedChip(int previousAddress);

    AdapterLink& link_;
    ChipSession& session_;
    std::string iniFilePath_;
    // Read at every attempt while no adapter is open; parsed again only when it changes.
    IniStore ini_;
};

}  // namespace qe::chip
