#pragma once

#include <QLocale>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "comm/device_data.h"

// The controller's 36 configuration parameters as the user meets them: the tab of
// the editor, the control, the DeviceData field, the coding between the two, and the
// parameter file's key. The editor, the parameter file and the identification step's
// presets are all driven by this one table.
namespace params {

constexpr int kTabCount = 9;

// Position in the editor's tab control; a tab's table number is a different thing.
struct TabDef {
    int position;
    TableId table;
    const char* caption;      // tab caption
    const char* page_name;    // objectName of the tab sheet
    const char* ini_section;  // section of the parameter file
};
const std::array<TabDef, kTabCount>& tabs();
const TabDef& tab(int position);

enum class ValueKind {
    Real,           // edit; 32-bit float
    Whole32,        // edit; signed 32-bit
    Whole8,         // edit; signed 8-bit, low eight bits of the number kept
    Choice8,        // list; position in 8 bits, -1 for none
    Choice32,       // list; position in 32 bits, -1 for none
    ChoicePlusOne,  // list; position + 1 in 32 bits (TPID)
};
inline bool is_list(ValueKind k) {
    return k == ValueKind::Choice8 || k == ValueKind::Choice32 || k == ValueKind::ChoicePlusOne;
}

// The DeviceData field of a parameter; exactly one pointer is set.
struct FieldRef {
    float* real = nullptr;
    std::int32_t* i32 = nullptr;
    std::int8_t* i8 = nullptr;
    FieldRef(float& f) : real(&f) {}
    FieldRef(std::int32_t& v) : i32(&v) {}
    FieldRef(std::int8_t& v) : i8(&v) {}
};

// What a control is put to: an edit's text, a list's position, or left alone.
struct Initial {
    const char* text = nullptr;  // edits
    int position = -1;           // lists
    bool set = false;
};
constexpr Initial text(const char* t) { return {t, -1, true}; }
constexpr Initial item(int p) { return {nullptr, p, true}; }
constexpr Initial untouched() { return {}; }

struct Entries {
    const char* const* items = nullptr;
    int count = 0;
};

struct ParamDef {
    int tab;               // position of its tab
    const char* mnemonic;  // shown beside the control; empty for the address
    const char* label;     // Czech label; '\n' breaks it into two lines
    const char* control;   // objectName of the edit or list
    ValueKind kind;
    FieldRef (*field)(DeviceData&);
    Entries entries;       // lists only
    const char* ini_key;   // nullptr: not in the parameter file
    int file_order;        // order of the entry in a saved file, 1-based; 0 if not saved
    Initial file_default;  // loaded when the file lacks the key
    Initial preset;        // set before each showing of the editor

    TableId table() const;
    QString entry(int position) const;  // list entry text
};

// All 36, tab by tab, each tab's parameters in display order.
const std::vector<ParamDef>& catalogue();
// The parameters of one tab, in display order.
std::vector<const ParamDef*> tab_params(int position);
// By control name; nullptr if there is none.
const ParamDef* find_control(const QString& control);
// The parameter file's entries in the order a save writes them.
std::vector<const ParamDef*> file_entries();

// Reals: two decimals after at most five significant digits, exponent notation when
// more than five digits stand before the separator; the locale's separator.
QString format_real(double value, const QLocale& locale = QLocale());
// A decimal number with the locale's separator that fits a float; nothing otherwise.
std::optional<float> parse_real(const QString& text, const QLocale& locale = QLocale());
// Parsed as parse_real but at full precision (the set-point rule compares these).
std::optional<double> parse_number(const QString& text, const QLocale& locale = QLocale());
// A whole decimal number within 32 bits.
std::optional<std::int32_t> parse_whole(const QString& text);

// Codings between a field and its control.
QString edit_text(const ParamDef& p, DeviceData& d);  // edits
int list_position(const ParamDef& p, DeviceData& d);  // lists; -1 for none
void store_position(const ParamDef& p, DeviceData& d, int position);
// Edits: stores the converted text and answers true; false leaves the field 0.
bool store_text(const ParamDef& p, DeviceData& d, const QString& text);

}  // namespace params
