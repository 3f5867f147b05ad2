// The recorder's dialog services: the resource bracket, dialogs from the
// current resources, the modal phase and numbers in dialog items.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "FakeInput.h"
#include "PascalText.h"
#include "ResourceFiles.h"
#include "recorder/Recorder.h"
#include "toolbox/Toolbox.h"

namespace {

// The two extensions' IDs: the order they are attached in.
constexpr int16_t kExtensionA = 1;
constexpr int16_t kExtensionB = 2;

// The erase-time dialog's items: OK, Cancel, check box, number, unit label.
const char* const kEraseDialogItems = R"([
  { "kind": "button",     "bounds": [76, 240, 96, 310], "text": "OK" },
  { "kind": "button",     "bounds": [76, 152, 96, 222], "text": "Cancel" },
  { "kind": "checkBox",   "bounds": [20, 16, 38, 196],  "text": "Erase automatically every" },
  { "kind": "editText",   "bounds": [20, 200, 38, 250], "text": "1" },
  { "kind": "staticText", "bounds": [21, 258, 38, 318], "text": "minutes" }
])";

// Extensions that only bring their resource files.
int32_t ResourcesOnly(int16_t, uint8_t*, const HostServiceTable*) { return 0; }

class DialogServicesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialogsBefore_ = GetToolboxObjectCounts().dialogs;
        originalFile_ = CurResFile();
        std::string a = WriteTempFile("dialogs_a.rsrc.json", std::string(R"({ "DLOG": {
            "1000": { "bounds": [100, 100, 212, 430], "title": "From A", "visible": false,
                      "defaultItem": 1, "cancelItem": 2, "items": )") +
                                                                 kEraseDialogItems + "} } }");
        std::string b = WriteTempFile("dialogs_b.rsrc.json", R"({ "DLOG": {
            "1000": { "bounds": [100, 100, 200, 300], "title": "From B", "items": [] },
            "2000": { "bounds": [100, 100, 200, 300], "title": "Only in B", "items": [] } } })");
        ExtensionBundle& extensionA = recorder_.AttachExtension(ResourcesOnly, a, "a");
        ExtensionBundle& extensionB = recorder_.AttachExtension(ResourcesOnly, b, "b");
        ASSERT_EQ(extensionA.ExtensionID(), kExtensionA);
        ASSERT_EQ(extensionB.ExtensionID(), kExtensionB);
        fileA_ = extensionA.ResourceFile();
        fileB_ = extensionB.ResourceFile();
        UseResFile(fileB_);  // as when it was opened last
    }

    void TearDown() override
    {
        SetInputSource(nullptr);
        for (DialogRef dialog : dialogs_) DisposeDialog(dialog);
        UseResFile(originalFile_);
        EXPECT_EQ(GetToolboxObjectCounts().dialogs, dialogsBefore_);
    }

    DialogRef GetDialog(int16_t id)
    {
        DialogRef dialog = host_.HostGetDialog(id);
        if (dialog) dialogs_.push_back(dialog);
        return dialog;
    }

    std::string Title(DialogRef dialog)
    {
        Str255 title;
        GetWTitle(GetDialogWindow(dialog), title);
        return PascalToString(title);
    }

    std::string ItemText(DialogRef dialog, int16_t item)
    {
        Str255 text;
        GetDialogItemText(dialog, item, text);
        return PascalToString(text);
    }

    // The erase-time dialog from A, with item 4 showing text.
    DialogRef NumberDialog(const std::string& text)
    {
        host_.HostBeginResources(kExtensionA);
        DialogRef dialog = GetDialog(1000);
        host_.HostEndResources(kExtensionA);
        if (dialog) SetDialogItemText(dialog, 4, Pstr(text));
        return dialog;
    }

    Recorder recorder_;
    const HostServiceTable& host_ = recorder_.ServiceTable();
    int16_t fileA_ = -1, fileB_ = -1;
    std::vector<DialogRef> dialogs_;
    int dialogsBefore_ = 0;
    int16_t originalFile_ = 0;
};

TEST_F(DialogServicesTest, ResourceBracketsNestAndRestoreTheCurrentFile)
{
    ASSERT_EQ(CurResFile(), fileB_);  // opened last
    host_.HostBeginResources(kExtensionA);
    EXPECT_EQ(CurResFile(), fileA_);
    DialogRef fromA = GetDialog(1000);
    ASSERT_NE(fromA, nullptr);
    EXPECT_EQ(Title(fromA), "From A");
    EXPECT_EQ(GetDialog(2000), nullptr) << "a newer file is not searched from A";

    host_.HostBeginResources(kExtensionB);
    EXPECT_EQ(CurResFile(), fileB_);
    DialogRef onlyB = GetDialog(2000);
    ASSERT_NE(onlyB, nullptr);
    EXPECT_EQ(Title(onlyB), "Only in B");
    host_.HostEndResources(kExtensionB);
    EXPECT_EQ(CurResFile(), fileA_);
    host_.HostEndResources(kExtensionA);
    EXPECT_EQ(CurResFile(), fileB_);

    // An extension without a resource file leaves the current file, and an
    // unbalanced end changes nothing.
    UseResFile(fileA_);
    host_.HostBeginResources(99);
    EXPECT_EQ(CurResFile(), fileA_);
    host_.HostEndResources(99);
    host_.HostEndResources(99);
    EXPECT_EQ(CurResFile(), fileA_);
    EXPECT_EQ(GetDialog(1234), nullptr);
}

TEST_F(DialogServicesTest, NumbersAreWrittenAsTheShortestTextThatReadsBack)
{
    DialogRef dialog = NumberDialog("");
    ASSERT_NE(dialog, nullptr);
    const std::vector<std::pair<double, std::string>> cases = {
        {1.0, "1"},       {2.5, "2.5"},    {0.999, "0.999"},
        {0.1, "0.1"},     {100, "100"},    {-0.0, "0"},
        {-3.25, "-3.25"}, {1e-7, "1e-07"}, {std::numeric_limits<double>::quiet_NaN(), ""}};
    for (const auto& [value, text] : cases) {
        host_.HostSetItemNumber(dialog, 4, value, 1, 0);
        EXPECT_EQ(ItemText(dialog, 4), text) << value;
    }
    host_.HostSetItemNumber(dialog, 4, 1.0 / 3, 1, 1);
    EXPECT_EQ(std::stod(ItemText(dialog, 4)), 1.0 / 3);
    SInt16 start = -1, end = -1;
    GetDialogItemSelection(dialog, 4, &start, &end);
    EXPECT_EQ(start, 0);
    EXPECT_GE(end, int(ItemText(dialog, 4).size())) << "select: typing replaces the whole number";
}

TEST_F(DialogServicesTest, ItemNumbersAreParsedAndKeptWithinBounds)
{
    DialogRef dialog = NumberDialog("");
    ASSERT_NE(dialog, nullptr);
    const std::vector<std::pair<std::string, double>> cases = {{"2.5", 2.5}, {"  7 ", 7}, {"\t0,5", 0.5}, {"+3", 3},
                                                               {".5", 0.5},  {"5.", 5},   {"1e1", 10},    {"500", 100},
                                                               {"0", 0.1},   {"-4", 0.1}, {"100", 100},   {"0.1", 0.1}};
    for (const auto& [text, expected] : cases) {
        SetDialogItemText(dialog, 4, Pstr(text));
        EXPECT_EQ(host_.HostGetItemNumber(dialog, 4, 0.1, 100.0), expected) << '"' << text << '"';
    }
}

TEST_F(DialogServicesTest, TextThatIsNoNumberGivesTheLastNumberSetOrLowest)
{
    DialogRef dialog = NumberDialog("abc");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(host_.HostGetItemNumber(dialog, 4, 0.1, 100.0), 0.1) << "never set: lowest";

    host_.HostSetItemNumber(dialog, 4, 2.5, 1, 1);
    for (const char* text : {"abc", "", "   ", "2.5 min", "1,000.5", "1.2.3", "nan", "inf", "-", "+-1", "1e999"}) {
        SetDialogItemText(dialog, 4, Pstr(text));
        EXPECT_EQ(host_.HostGetItemNumber(dialog, 4, 0.1, 100.0), 2.5) << '"' << text << '"';
    }
    host_.HostSetItemNumber(dialog, 4, 500, 1, 0);
    SetDialogItemText(dialog, 4, Pstr("x"));
    EXPECT_EQ(host_.HostGetItemNumber(dialog, 4, 0.1, 100.0), 100) << "the last number is kept within bounds too";

    // Odd bounds and items never give NaN.
    EXPECT_EQ(host_.HostGetItemNumber(dialog, 4, 100.0, 0.1), 100);
    double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(std::isnan(host_.HostGetItemNumber(dialog, 4, nan, nan)));
    EXPECT_EQ(host_.HostGetItemNumber(dialog, 99, 0.1, 100.0), 0.1);
    EXPECT_EQ(host_.HostGetItemNumber(nullptr, 4, 0.1, 100.0), 0.1);
    host_.HostSetItemText(dialog, 99, Pstr("ignored"));
    host_.HostSetItemNumber(nullptr, 4, 1, 1, 1);
}

TEST_F(DialogServicesTest, ModalPhaseRunsTheDialogThroughTheInputSource)
{
    FakeInput script;
    script.dialogSteps.push_back([](DialogRef dialog) {
        TypeDialogText(dialog, 4, Pstr("2.5"));
        return SInt16(4);
    });
    script.dialogSteps.push_back([](DialogRef) { return SInt16(3); });
    script.dialogSteps.push_back([](DialogRef) { return SInt16(1); });
    SetInputSource(&script);

    DialogRef dialog = NumberDialog("");
    ASSERT_NE(dialog, nullptr);
    WindowRef window = GetDialogWindow(dialog);
    EXPECT_FALSE(IsWindowVisible(window));
    host_.HostSetItemNumber(dialog, 4, 1.0, 1, 1);
    host_.HostOpenModal(dialog);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(FrontWindow(), window);

    // The erase-time loop as the extension runs it.
    double value = 1.0;
    bool autoOn = false;
    int16_t item = 0;
    do {
        host_.HostSetItemValue(dialog, 3, autoOn);
        host_.HostSetItemText(dialog, 5, Pstr(value == 1.0 ? "minute" : "minutes"));
        ModalFilterUPP filter = host_.HostGetModalFilter(201);
        ASSERT_NE(filter, nullptr);
        host_.HostModalDialog(filter, &item);
        if (item == 3) autoOn = !autoOn;
        if (item == 4) {
            value = host_.HostGetItemNumber(dialog, 4, 0.1, 100.0);
            autoOn = true;
        }
    } while (item != 1 && item != 2);
    EXPECT_EQ(item, 1);
    EXPECT_EQ(value, 2.5);
    EXPECT_FALSE(autoOn);
    EXPECT_EQ(script.dialogWaits, 3);
    EXPECT_EQ(GetDialogItemValue(dialog, 3), 0) << "the box as set before the last wait";
    EXPECT_EQ(ItemText(dialog, 5), "minutes");

    host_.HostCloseModal(dialog);
    EXPECT_FALSE(IsWindowVisible(window));
    // No modal dialog open: the answer is the standard cancel item, so a wait loop ends.
    host_.HostModalDialog(host_.HostGetModalFilter(201), &item);
    EXPECT_EQ(item, 2);
    EXPECT_EQ(script.dialogWaits, 3);
}

// A dialog disposed without HostCloseModal leaves the modal phase: the next
// wait runs the dialog below it, and never a later dialog at its address.
TEST_F(DialogServicesTest, DialogDisposedInItsModalPhaseIsNoLongerRun)
{
    FakeInput script;
    std::vector<DialogRef> asked;
    SetInputSource(&script);
    auto dispose = [&](DialogRef dialog) {
        DisposeDialog(dialog);
        std::erase(dialogs_, dialog);
    };
    ModalFilterUPP filter = host_.HostGetModalFilter(201);

    DialogRef outer = NumberDialog("1");
    ASSERT_NE(outer, nullptr);
    host_.HostOpenModal(outer);
    DialogRef inner = NumberDialog("2");
    host_.HostOpenModal(inner);
    host_.HostSetItemNumber(inner, 4, 2.5, 1, 0);
    dispose(inner);
    DialogRef later = NumberDialog("abc");  // the zone gives it the freed block
    EXPECT_EQ(host_.HostGetItemNumber(later, 4, 0.1, 100.0), 0.1) << "a disposed dialog's number carried over";

    script.dialogSteps.push_back([&](DialogRef dialog) {
        asked.push_back(dialog);
        return SInt16(1);
    });
    int16_t item = 0;
    host_.HostModalDialog(filter, &item);
    EXPECT_EQ(item, 1);
    EXPECT_EQ(asked, std::vector<DialogRef>{outer});
    host_.HostCloseModal(outer);

    host_.HostOpenModal(later);
    dispose(later);
    host_.HostModalDialog(filter, &item);
    EXPECT_EQ(item, 2) << "no modal dialog is left: the standard cancel item";
    EXPECT_EQ(script.dialogWaits, 1);
    host_.HostCloseModal(later);  // late, and harmless
}

}  // namespace
