#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "register_map.h"

namespace qe::cli {

// How a field of the working registers is changed, if at all.
enum class FieldKind {
    Setting,       // a radio group of the settings panel: chosen by item
    Address,       // ADDR: the address change
    ZeroPosition,  // Zin: the zero position preset
    Hysteresis,    // Hyst: the hysteresis choice
    ReadOnly,      // shown, never changed (MONAGC)
};

// A field of the working registers 48..51 as the command line names it: the chip's own
// field name, matched in any letter case.
struct WorkingField {
    const char* name;
    chip::Field field;
    FieldKind kind;
    const chip::SettingGroup* group = nullptr;  // for Setting
};

// Every field of words 48..51, in register and bit order.
const std::vector<WorkingField>& workingFields();
const WorkingField* findWorkingField(std::string_view name);
// "ADDR, Reg35, Pdee, ...": for a message about an unknown name.
std::string fieldNameList();

// The same bits in the EEPROM copy of the working word (words 0..7 hold 48..55).
chip::Field eepromCopy(chip::Field field);

// A field's value and the text the settings panel shows for it.
struct FieldValue {
    std::uint16_t value = 0;
    std::string text;
};
FieldValue decodeField(const WorkingField& field, std::uint16_t word);

// What `NAME=TEXT` asks for: for a Setting the item to choose, else the number to enter.
// The text is one of the panel's item texts (any letter case; the degree sign may be left
// out) or a number; for a Setting a number is the field's raw value, decimal or 0x-hex,
// and item texts win over numbers ("UVW=1" is one pole pair, "UVW=0x1" is raw value 1).
struct FieldChoice {
    int item = -1;
    std::uint16_t value = 0;
    std::string error;  // why the text is not a value of the field, with the valid ones
    bool ok() const { return error.empty(); }
};
FieldChoice parseFieldValue(const WorkingField& field, const std::string& text);

}  // namespace qe::cli
