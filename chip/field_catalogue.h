#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "register_map.h"

namespace qe::chip {

// How a field of the working registers is changed, if at all.
enum class FieldKind {
    Setting,       // a radio group of the settings panel: chosen by item
    Address,       // ADDR: the address change
    ZeroPosition,  // Zin: the zero position preset
    Hysteresis,    // Hyst: the hysteresis choice
    ReadOnly,      // shown, never changed (MONAGC)
};

// A control enabled only while another setting shows `enablingItem`.
struct DependentControl {
    const char* key;  // the dependent setting's name
    int enablingItem;
};

// One field of the working registers 48..51 (and of their EEPROM copies 0..3), named as the
// chip's data sheet names it. A Setting is a radio group of the settings panel and carries its
// items; front ends map the name to their own controls and command-line words.
struct WorkingField {
    const char* key;  // "ADDR", "Res", ...
    Field field;
    FieldKind kind;
    // For a Setting only:
    ItemMapping mapping = ItemMapping::Identity;
    std::vector<std::string> items = {};   // item captions, in order
    const char* failureMessage = nullptr;  // shown when the change cannot be written
    Derived derived = Derived::None;
    std::vector<DependentControl> dependents = {};
};

// A field chosen from a list of items.
using SettingGroup = WorkingField;

// Every field of words 48..51, in register and bit order: the one list of them.
const std::vector<WorkingField>& workingFields();
// By name in any letter case, as the command line names fields.
const WorkingField* findWorkingField(std::string_view name);

// `text` in lower case (ASCII), for the case-blind matching of names and item texts.
std::string lowered(std::string_view text);
// "ADDR, Reg35, Pdee, ...": for a message about an unknown name.
std::string fieldNameList();

// The fourteen Settings of the catalogue, in its order (the panel fills them in this order).
const std::vector<std::reference_wrapper<const SettingGroup>>& settingGroups();
// By exact name; null for a field that is no Setting.
const SettingGroup* findSettingGroup(std::string_view key);

// The item a group shows for the field's value in the image, and the word that results
// from choosing an item: the field replaced, every other bit of `word` kept.
int itemShown(const SettingGroup& group, const RegisterImage& image);
std::uint16_t wordForItem(const SettingGroup& group, std::uint16_t word, int item);

// Whether a dependent control is enabled while its group shows `item`.
bool dependentEnabled(const DependentControl& dependent, int item);

// A field's value and how it is shown: a Setting as the panel's item text, with the value
// added where the item does not say it exactly (SSIcfg 2 shows like 0); Hyst as its list item;
// ADDR, Zin and MONAGC in decimal. Two different values never read the same.
struct FieldValue {
    std::uint16_t value = 0;
    std::string text;
};
FieldValue decodeField(const WorkingField& field, std::uint16_t word);

// The same bits in the EEPROM copy of the working word (words 0..7 hold 48..55).
Field eepromCopy(Field field);

}  // namespace qe::chip
