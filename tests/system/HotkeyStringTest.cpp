#include "system/HotkeyString.h"

#include <gtest/gtest.h>

using namespace snipbrook::hotkey;

namespace {

std::optional<Hotkey> parse(const char *string) { return parseHotkeyString(QString::fromUtf8(string)); }
QString display(const char *string) { return hotkeyDisplayString(QString::fromUtf8(string)); }

} // namespace

TEST(HotkeyString, StoredStringsParseToTheirKeyAndMaskWhateverTheirCase)
{
    EXPECT_EQ(parse("cmd+shift+space"), (Hotkey{49, 0x0300}));
    EXPECT_EQ(parse("CMD+Shift+Space"), (Hotkey{49, 0x0300}));
    EXPECT_EQ(parse("shift+cmd+space"), (Hotkey{49, 0x0300}));
    EXPECT_EQ(parse("command+option+control+shift+f12"), (Hotkey{111, 0x1B00}));
    EXPECT_EQ(parse("ctrl+alt+return"), (Hotkey{36, 0x1800}));
    EXPECT_EQ(parse("opt+forwarddelete"), (Hotkey{117, 0x0800}));
    // A key alone parses: demanding a modifier is the recorder's business.
    EXPECT_EQ(parse("space"), (Hotkey{49, 0}));
}

TEST(HotkeyString, IrregularKeyCodesOfTheTableAreRight)
{
    // The Mac layout numbers keys by their place on the board, not alphabetically.
    const std::pair<const char *, quint16> samples[] = {
        {"a", 0},   {"s", 1},   {"i", 34},   {"m", 46},   {"n", 45},     {"z", 6},    {"0", 29},
        {"5", 23},  {"6", 22},  {"7", 26},   {"9", 25},   {"f3", 99},    {"f4", 118}, {"f5", 96},
        {"f8", 100}, {"f10", 109}, {"f11", 103}, {"delete", 51}, {"escape", 53}, {"tab", 48},
        {"left", 123}, {"right", 124}, {"down", 125}, {"up", 126},
    };
    for (const auto &[name, code] : samples)
        EXPECT_EQ(parse(name), (Hotkey{code, 0})) << name;
}

TEST(HotkeyString, StrayPiecesAreIgnoredAndTheLastKeyWins)
{
    EXPECT_EQ(parse("cmd+foo+k"), (Hotkey{40, 0x0100}));
    EXPECT_EQ(parse("cmd+a+b"), (Hotkey{11, 0x0100}));
    EXPECT_EQ(parse("++cmd++k+"), (Hotkey{40, 0x0100}));
}

TEST(HotkeyString, StringsWithoutAUsableKeyFail)
{
    EXPECT_FALSE(parse("cmd+shift"));
    EXPECT_FALSE(parse(""));
    EXPECT_FALSE(parse("+"));
    // Pieces are not trimmed.
    EXPECT_FALSE(parse("cmd + k"));
    EXPECT_FALSE(parse("cmd+k "));
    EXPECT_FALSE(parse("cmd+f13"));
}

TEST(HotkeyString, LogFormMapsPiecesAsWritten)
{
    EXPECT_EQ(display("cmd+shift+space"), QStringLiteral("⌘⇧Space"));
    EXPECT_EQ(display("shift+cmd+space"), QStringLiteral("⇧⌘Space"));
    EXPECT_EQ(display("ctrl+opt+k"), QStringLiteral("⌃⌥K"));
    EXPECT_EQ(display("CMD+Shift+Space"), QStringLiteral("CmdShiftSpace"));
    EXPECT_EQ(display("command+option+f12"), QStringLiteral("CommandOptionF12"));
    EXPECT_EQ(display("cmd++forwarddelete"), QStringLiteral("⌘Forwarddelete"));
    EXPECT_EQ(display("cmd+ k"), QStringLiteral("⌘ K"));
}

TEST(HotkeyString, KeyCapsUseThisDesktopsModifierNamesInAFixedOrder)
{
    EXPECT_EQ(hotkeyKeyCapsText(defaultHotkey), QStringLiteral("Ctrl+Shift+Space"));
    EXPECT_EQ(hotkeyKeyCapsText(QStringLiteral("shift+opt+ctrl+cmd+delete")),
              QStringLiteral("Ctrl+Super+Alt+Shift+Backspace"));
    EXPECT_EQ(hotkeyKeyCapsText(QStringLiteral("alt+f5")), QStringLiteral("Alt+F5"));
    EXPECT_EQ(hotkeyKeyCapsText(QStringLiteral("cmd+shift")), std::nullopt);
}

TEST(HotkeyString, MasksTranslateToTheToolkitsModifiersAndBack)
{
    EXPECT_EQ(qtModifiers(0x0300), Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(qtModifiers(0x1800), Qt::MetaModifier | Qt::AltModifier);
    EXPECT_EQ(modifierMask(Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier), 0x0300u);
    EXPECT_EQ(modifierMask(Qt::MetaModifier | Qt::AltModifier), 0x1800u);
    EXPECT_EQ(qtKey(49), Qt::Key_Space);
    EXPECT_EQ(qtKey(51), Qt::Key_Backspace);
    EXPECT_EQ(qtKey(117), Qt::Key_Delete);
    EXPECT_EQ(qtKey(0), Qt::Key_A);
    EXPECT_EQ(qtKey(200), std::nullopt);
}

TEST(HotkeyString, SwayBindingNamesTheKeysAsSwayReadsThem)
{
    const auto line = [](const char *string) { return swayBindingLine(QString::fromUtf8(string)); };
    EXPECT_EQ(line("shift+cmd+space"), QStringLiteral("bindsym ctrl+shift+space exec snipbrook popup"));
    // "ctrl" is Super and "opt" Alt; a written "alt" is Alt too.
    EXPECT_EQ(line("ctrl+opt+k"), QStringLiteral("bindsym mod4+mod1+k exec snipbrook popup"));
    EXPECT_EQ(line("CMD+ALT+Delete"), QStringLiteral("bindsym ctrl+mod1+BackSpace exec snipbrook popup"));
    EXPECT_EQ(line("cmd+forwarddelete"), QStringLiteral("bindsym ctrl+Delete exec snipbrook popup"));
    EXPECT_EQ(line("shift+f12"), QStringLiteral("bindsym shift+F12 exec snipbrook popup"));
    EXPECT_EQ(line("cmd+return"), QStringLiteral("bindsym ctrl+Return exec snipbrook popup"));
    EXPECT_EQ(line("cmd+shift"), std::nullopt);
}
