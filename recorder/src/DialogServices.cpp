// Dialog services: the extension's resource bracket, dialogs made from its
// resources, the modal phase and the reading and writing of dialog items.
//
// Numbers in edit-text items:
// - written as the shortest text that reads back as the same double ("1",
//   "2.5", "0.999", "1e+20"); a value that is not finite writes an empty item;
// - read from the item's text with surrounding blanks ignored, an optional
//   sign, and a decimal point or a decimal comma; the whole text must be the
//   number. The result is kept within lowest..highest. Text that is no number
//   (empty, "abc", "2.5 min", "1,000.5", out of the double's range) gives the
//   value the item was last set to with HostSetItemNumber since the dialog was
//   made, or else lowest, also kept within the bounds. The result is never NaN.
// - the style argument of HostSetItemNumber is accepted and not used.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "RecorderImpl.h"
#include "Services.h"
#include "toolbox/Toolbox.h"

namespace {

// The platform's standard cancel item: the answer when no modal dialog is
// open, so that a caller's wait loop ends instead of spinning.
constexpr SInt16 kStdCancelItemIndex = 2;

struct ResourceBracket {
    int16_t extensionID;
    SInt16 previousFile;
};

// What HostGetModalFilter hands out: a token; the toolbox's ModalDialog needs no filter.
struct ModalFilterToken {
    int16_t kind;
};

// Dialogs are kept with their toolbox serial numbers: the extension may
// dispose of a dialog without ending its modal phase, and a later dialog may
// be made at the same address.
struct ModalDialogEntry {
    DialogRef dialog;
    UInt32 serial;
};
struct LastNumber {
    DialogRef dialog;
    double value;
};

std::vector<ResourceBracket> gBrackets;
std::vector<ModalDialogEntry> gModalDialogs;                    // innermost last
std::map<std::pair<UInt32, int16_t>, LastNumber> gLastNumbers;  // by (dialog serial, item)
ModalFilterToken gModalFilter{0};

bool HasItem(DialogRef dialog, int16_t item)
{
    return GetDialogSerial(dialog) != 0 && item >= 1 && item <= CountDITL(dialog);
}

void ForgetNumbers(UInt32 serial)
{
    std::erase_if(gLastNumbers, [&](const auto& number) { return number.first.first == serial; });
}

// Forgets what is kept about dialogs that have since been disposed.
void DropDisposedDialogs()
{
    std::erase_if(gModalDialogs,
                  [](const ModalDialogEntry& entry) { return GetDialogSerial(entry.dialog) != entry.serial; });
    std::erase_if(gLastNumbers,
                  [](const auto& number) { return GetDialogSerial(number.second.dialog) != number.first.first; });
}

std::string FormatNumber(double value)
{
    if (!std::isfinite(value)) return std::string();
    if (value == 0) value = 0.0;  // "0", not "-0"
    char text[64];
    auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::optional<double> ParseNumber(std::string text)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.back())) text.pop_back();
    size_t begin = 0;
    while (begin < text.size() && blank(text[begin])) ++begin;
    text.erase(0, begin);
    if (text.empty()) return std::nullopt;

    size_t commas = std::count(text.begin(), text.end(), ',');
    size_t points = std::count(text.begin(), text.end(), '.');
    if (commas + points > 1) return std::nullopt;
    std::replace(text.begin(), text.end(), ',', '.');
    if (text[0] == '+') {
        text.erase(0, 1);
        if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
    }
    // from_chars also reads "inf" and "nan"; only digits count here.
    if (text.find_first_of("0123456789") == std::string::npos) return std::nullopt;
    double value = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

double KeepWithin(double value, double lowest, double highest)
{
    if (std::isnan(lowest)) lowest = -std::numeric_limits<double>::infinity();
    if (std::isnan(highest)) highest = std::numeric_limits<double>::infinity();
    if (lowest > highest) std::swap(lowest, highest);
    if (std::isnan(value)) value = std::isfinite(lowest) ? lowest : std::isfinite(highest) ? highest : 0.0;
    return std::clamp(value, lowest, highest);
}

void RemoveModal(DialogRef dialog)
{
    std::erase_if(gModalDialogs, [&](const ModalDialogEntry& entry) { return entry.dialog == dialog; });
}

}  // namespace

namespace services {

void HostBeginResources(int16_t extensionID)
{
    gBrackets.push_back({extensionID, CurResFile()});
    ExtensionBundle* bundle = SessionAccess::State().BundleOf(extensionID);
    if (bundle && bundle->ResourceFile() >= 0) UseResFile(bundle->ResourceFile());
}

void HostEndResources(int16_t)
{
    if (gBrackets.empty()) return;
    UseResFile(gBrackets.back().previousFile);
    gBrackets.pop_back();
}

DialogRef HostGetDialog(int16_t resourceID)
{
    DropDisposedDialogs();
    return GetNewDialog(resourceID, nullptr, nullptr);
}

void HostOpenModal(DialogRef dialog)
{
    DropDisposedDialogs();
    UInt32 serial = GetDialogSerial(dialog);
    if (serial == 0) return;
    RemoveModal(dialog);
    gModalDialogs.push_back({dialog, serial});
    WindowRef window = GetDialogWindow(dialog);
    ShowWindow(window);
    SelectWindow(window);
    DrawDialog(dialog);
}

// Numbers remembered for a dialog end with its modal phase.
void HostCloseModal(DialogRef dialog)
{
    DropDisposedDialogs();
    UInt32 serial = GetDialogSerial(dialog);
    if (serial == 0) return;
    RemoveModal(dialog);
    ForgetNumbers(serial);
    HideWindow(GetDialogWindow(dialog));
}

ModalFilterUPP HostGetModalFilter(int16_t) { return reinterpret_cast<ModalFilterUPP>(&gModalFilter); }

void HostModalDialog(ModalFilterUPP, int16_t* itemHit)
{
    SInt16 item = kStdCancelItemIndex;
    DropDisposedDialogs();
    if (!gModalDialogs.empty()) {
        ModalDialog(gModalDialogs.back().dialog, &item);  // redraws the dialog before it waits
    }
    if (itemHit) *itemHit = item;
}

void HostSetItemNumber(DialogRef dialog, int16_t item, double value, int16_t, uint8_t select)
{
    if (!HasItem(dialog, item)) return;
    Str255 text;
    CopyCStringToPascal(FormatNumber(value), text);
    SetDialogItemText(dialog, item, text);
    UInt32 serial = GetDialogSerial(dialog);
    if (std::isfinite(value))
        gLastNumbers[{serial, item}] = {dialog, value};
    else
        gLastNumbers.erase({serial, item});
    if (select) SelectDialogItemText(dialog, item, 0, 32767);
}

void HostSetItemText(DialogRef dialog, int16_t item, ConstStr255Param text)
{
    if (!HasItem(dialog, item)) return;
    static const unsigned char kEmpty[1] = {0};
    SetDialogItemText(dialog, item, text ? text : kEmpty);
}

void HostSetItemValue(DialogRef dialog, int16_t item, uint8_t value)
{
    if (!HasItem(dialog, item)) return;
    SetDialogItemValue(dialog, item, value ? 1 : 0);
}

double HostGetItemNumber(DialogRef dialog, int16_t item, double lowest, double highest)
{
    std::optional<double> value;
    if (HasItem(dialog, item)) {
        Str255 text;
        GetDialogItemText(dialog, item, text);
        value = ParseNumber(PascalToString(text));
        if (!value) {
            auto last = gLastNumbers.find({GetDialogSerial(dialog), item});
            if (last != gLastNumbers.end()) value = last->second.value;
        }
    }
    return KeepWithin(value ? *value : lowest, lowest, highest);
}

}  // namespace services
