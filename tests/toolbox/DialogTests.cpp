// Dialog Manager: items from the template, edit-text selection and typing,
// values, drawing and ModalDialog through the input source.
#include "ToolboxTestSupport.h"

namespace {

const char* const kDialog = R"({ "DLOG": { "1000": {
  "bounds": [100, 100, 230, 420], "title": "Erase Time", "visible": true, "defaultItem": 1, "cancelItem": 2,
  "items": [
    { "kind": "button", "bounds": [96, 230, 116, 300], "text": "OK" },
    { "kind": "button", "bounds": [96, 140, 116, 210], "text": "Cancel" },
    { "kind": "staticText", "bounds": [12, 14, 48, 300], "text": "Erase every", "enabled": false },
    { "kind": "editText", "bounds": [60, 120, 76, 180], "text": "1.0" },
    { "kind": "checkBox", "bounds": [58, 14, 76, 110], "text": "Auto erase" }
  ] } } })";

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog_ = GetNewDialog(1000, nullptr, reinterpret_cast<WindowRef>(-1));
        ASSERT_NE(dialog_, nullptr);
    }
    void TearDown() override
    {
        DisposeDialog(dialog_);
        leaks_.ExpectNoToolboxObjectsLeft();
    }
    std::string Text(SInt16 item)
    {
        Str255 text;
        GetDialogItemText(dialog_, item, text);
        return PascalToString(text);
    }
    std::pair<int, int> Selection(SInt16 item)
    {
        SInt16 start, end;
        GetDialogItemSelection(dialog_, item, &start, &end);
        return {start, end};
    }
    ResourceScope resources_{kDialog};
    LeakCheck leaks_;
    DialogRef dialog_ = nullptr;
};

TEST_F(DialogTest, ItemsComeFromTheTemplate)
{
    EXPECT_LT(reinterpret_cast<uintptr_t>(dialog_), uintptr_t(1) << 32);
    EXPECT_EQ(GetToolboxObjectCounts().dialogs, leaks_.Objects().dialogs + 1);
    WindowRef window = GetDialogWindow(dialog_);
    EXPECT_EQ(GetDialogFromWindow(window), dialog_);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(CountDITL(dialog_), 5);
    EXPECT_EQ(GetDialogItemKind(dialog_, 1), DialogItemKind::button);
    EXPECT_EQ(GetDialogItemKind(dialog_, 4), DialogItemKind::editText);
    EXPECT_EQ(GetDialogItemKind(dialog_, 5), DialogItemKind::checkBox);
    EXPECT_EQ(GetDialogDefaultItem(dialog_), 1);
    EXPECT_EQ(GetDialogCancelItem(dialog_), 2);
    EXPECT_FALSE(IsDialogItemEnabled(dialog_, 3));
    EXPECT_TRUE(IsDialogItemEnabled(dialog_, 4));
    Rect r;
    EXPECT_EQ(*GetDialogItemBounds(dialog_, 4, &r), (Rect{60, 120, 76, 180}));
    EXPECT_EQ(Text(2), "Cancel");
    EXPECT_EQ(Text(4), "1.0");
    EXPECT_EQ(Selection(4), (std::pair<int, int>{0, 3}));  // the first edit text starts selected
    EXPECT_EQ(GetDialogFromWindow(nullptr), nullptr);
}

TEST_F(DialogTest, TypingReplacesTheSelection)
{
    SelectDialogItemText(dialog_, 4, 0, 32767);
    EXPECT_EQ(Selection(4), (std::pair<int, int>{0, 3}));
    TypeDialogText(dialog_, 4, Pstr("2.5"));
    EXPECT_EQ(Text(4), "2.5");
    EXPECT_EQ(Selection(4), (std::pair<int, int>{3, 3}));
    SelectDialogItemText(dialog_, 4, 1, 2);
    TypeDialogText(dialog_, 4, Pstr(","));
    EXPECT_EQ(Text(4), "2,5");
    TypeDialogText(dialog_, 4, Pstr("\b\b"));  // backspace twice from after the comma
    EXPECT_EQ(Text(4), "5");
    EXPECT_EQ(Selection(4), (std::pair<int, int>{0, 0}));
    SetDialogItemText(dialog_, 4, Pstr(""));
    EXPECT_EQ(Selection(4), (std::pair<int, int>{0, 0}));
    TypeDialogText(dialog_, 3, Pstr("x"));  // static text takes no typing
    EXPECT_EQ(Text(3), "Erase every");
}

TEST_F(DialogTest, CheckBoxValuesAndButtonTitles)
{
    EXPECT_EQ(GetDialogItemValue(dialog_, 5), 0);
    SetDialogItemValue(dialog_, 5, 1);
    EXPECT_EQ(GetDialogItemValue(dialog_, 5), 1);
    SetDialogItemText(dialog_, 1, Pstr("Done"));
    EXPECT_EQ(Text(1), "Done");
    EXPECT_EQ(GetDialogItemValue(dialog_, 4), 0);
}

TEST_F(DialogTest, ModalDialogAnswersFromTheInputSourceOrCancels)
{
    SInt16 hit = -1;
    ModalDialog(dialog_, &hit);
    EXPECT_EQ(hit, 2);
    FakeInput input;
    InputScope scope(&input);
    input.dialogAnswer = 1;
    ModalDialog(dialog_, &hit);
    EXPECT_EQ(hit, 1);
}

TEST_F(DialogTest, DrawDialogShowsTheDefaultRingTextsAndTheCheck)
{
    SetDialogItemValue(dialog_, 5, 1);
    DrawDialog(dialog_);
    CGrafPtr port = GetWindowPort(GetDialogWindow(dialog_));
    const UInt32 background = GetPortPixel(port, 5, 5);
    EXPECT_NE(background, kWhite);
    // The ring lies outside the OK button only.
    EXPECT_NE(GetPortPixel(port, 265, 93), background);
    EXPECT_EQ(GetPortPixel(port, 175, 93), background);
    int staticInk = 0, editInk = 0, boxInk = 0;
    for (int v = 12; v < 48; ++v)
        for (int h = 14; h < 300; ++h) staticInk += GetPortPixel(port, SInt16(h), SInt16(v)) != background;
    for (int v = 60; v < 76; ++v)
        for (int h = 120; h < 180; ++h) editInk += GetPortPixel(port, SInt16(h), SInt16(v)) != kWhite;
    for (int v = 62; v < 72; ++v)
        for (int h = 17; h < 25; ++h) boxInk += GetPortPixel(port, SInt16(h), SInt16(v)) != kWhite;
    EXPECT_GT(staticInk, 50);
    EXPECT_GT(editInk, 20);
    EXPECT_GT(boxInk, 5);  // the check mark
}

}  // namespace
