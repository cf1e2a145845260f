#include <gtest/gtest.h>

#include <QHash>

#include <climits>

#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "dock/eventtapshortcutstate.h"
#include "dock/keyboardshortcut.h"

using namespace qv;
using namespace qv::KeyboardShortcut;

namespace {

struct KeycapRow
{
    const char *name;
    KeyCombination shortcut;
    KeycapSize size;
    QStringList expected;
};

class Keycaps : public ::testing::TestWithParam<KeycapRow>
{
};

constexpr quint32 all = keyModifierMask;

} // namespace

TEST_P(Keycaps, ModifiersInTheFixedOrderThenTheKeyName)
{
    EXPECT_EQ(keycapParts(GetParam().shortcut, GetParam().size), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Keycaps,
    ::testing::Values(
        KeycapRow{"switcherDefault", {48, keyOptionFlag}, KeycapSize::large, {"Alt", "Tab"}},
        KeycapRow{"clipboardDefault", {8, keyOptionFlag}, KeycapSize::small, {"Alt", "C"}},
        KeycapRow{"shelfDefault", {1, keyOptionFlag}, KeycapSize::small, {"Alt", "S"}},
        KeycapRow{"allModifiers", {49, all}, KeycapSize::large, {"Ctrl", "Alt", "Shift", "Super", "Space"}},
        KeycapRow{"shiftOptionThree", {20, keyOptionFlag | keyShiftFlag}, KeycapSize::small, {"Alt", "Shift", "3"}},
        KeycapRow{"returnSmall", {36, keyOptionFlag}, KeycapSize::small, {"Alt", "⏎"}},
        KeycapRow{"negativeCode", {-5, keyShiftFlag}, KeycapSize::small, {"Shift", "Key"}},
        KeycapRow{"noModifiers", {40, 0}, KeycapSize::large, {"K"}},
        KeycapRow{"bitsOutsideTheMask", {0, keyCapsLockFlag | 0x800000 | keyShiftFlag}, KeycapSize::large,
                  {"Shift", "A"}}),
    [](const auto &info) { return std::string(info.param.name); });

// A cap naming another key than the one the global input path grabs for the same code shows a
// recorded shortcut as a different key. Code 10, `, Backspace, the function and page keys have no cap.
TEST(Keycaps, NameTheKeyTheGlobalInputTableHasAtEachCode)
{
    const QList<int> uncapped{10, 50, 51, 96, 97, 98, 99, 100, 101, 103, 109, 111, 115, 116, 117, 118, 119,
                              120, 121, 122};
    const QHash<QString, QString> arrows{{"Left", "←"}, {"Right", "→"}, {"Down", "↓"}, {"Up", "↑"}};
    for (int code = 0; code < 128; ++code) {
        const QString name = xkbKeycodeForKeyCode(code) ? describeKeyCombination({code, 0}) : "Key";
        EXPECT_EQ(keyName(code, KeycapSize::large),
                  uncapped.contains(code) ? "Key" : arrows.value(name, name))
            << code << (name == "Key" ? ", which the global input table lacks" : qPrintable(" " + name));
    }
}

struct StoredRow
{
    const char *name;
    QVariant keyCode; // invalid: nothing stored
    QVariant flags;
    KeyCombination expected;
};

class StoredShortcut : public ::testing::TestWithParam<StoredRow>
{
};

// What the pages show is what the matcher matches: both read the pair through read().
TEST_P(StoredShortcut, ReadsAsTheMatcherMatches)
{
    SettingsStore settings;
    if (GetParam().keyCode.isValid())
        settings.setValue(Settings::customKeyCode.key(), GetParam().keyCode);
    if (GetParam().flags.isValid())
        settings.setValue(Settings::customFlags.key(), GetParam().flags);
    const KeyCombination shown = read(settings, switcherKeys());
    EXPECT_EQ(shown, GetParam().expected);
    EventTapShortcutState state;
    state.loadSettings(settings);
    EXPECT_EQ((KeyCombination{state.targetKeyCode, state.targetFlags}), shown);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StoredShortcut,
    ::testing::Values(
        StoredRow{"nothingStored", {}, {}, {48, keyOptionFlag}},
        StoredRow{"recorded", 40, int(all), {40, all}},
        StoredRow{"fromTheFileAsDoubles", 9.0, double(0x60000), {9, 0x60000}},
        StoredRow{"negativeFlagsAreTheDefault", 12, -1, {12, keyOptionFlag}},
        StoredRow{"capsLockBitDropped", 0, int(keyCapsLockFlag | keyOptionFlag), {0, keyOptionFlag}},
        StoredRow{"textIsTheDefault", QStringLiteral("K"), QStringLiteral("x"), {48, keyOptionFlag}},
        StoredRow{"noModifierIsTheDefault", 8, int(keyCapsLockFlag), {48, keyOptionFlag}},
        StoredRow{"shiftAloneIsTheDefault", 40, int(keyShiftFlag), {48, keyOptionFlag}},
        StoredRow{"noFlagsIsTheDefault", 40, 0, {48, keyOptionFlag}},
        StoredRow{"fractionIsTheDefault", 3.5, 1e300, {48, keyOptionFlag}},
        // A key code with no place on the keyboard is no key to grab: the default serves (once such a
        // code was grabbed on nothing, Alt+Tab stopped and the message blamed another program).
        StoredRow{"largestKeyCodeIsNoKey", INT_MAX, int(keyOptionFlag), {48, keyOptionFlag}},
        StoredRow{"smallestFromTheFileIsNoKey", double(INT_MIN), double(keyOptionFlag), {48, keyOptionFlag}},
        StoredRow{"negativeKeyCodeAndEveryFlagBit", -5, qint64(4294967295), {48, keyOptionFlag}},
        StoredRow{"aCodeBetweenTheKeysIsNoKey", 52, int(keyControlFlag), {48, keyControlFlag}},
        StoredRow{
            "flagsPastAKeyPressAreTheDefault", 12, qint64(0x1000000) | keyControlFlag, {12, keyOptionFlag}},
        StoredRow{"lastKeyOfTheKeyboard", 126, int(keyCommandFlag), {126, keyCommandFlag}},
        StoredRow{"beyondAnIntIsTheDefault", qint64(INT_MAX) + 1, int(keyControlFlag), {48, keyControlFlag}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(StoredShortcut, WriteStoresTheKeyCodeFirstAndMasksTheFlags)
{
    SettingsStore settings;
    QStringList order;
    QObject::connect(&settings, &SettingsStore::changed, [&](const QString &key) { order << key; });
    write(settings, clipboardKeys(), {40, keyOptionFlag | keyCapsLockFlag});
    EXPECT_EQ(order, (QStringList{"clipboardKeyCode", "clipboardFlags"}));
    EXPECT_EQ(read(settings, clipboardKeys()), (KeyCombination{40, keyOptionFlag}));
}

// Which of our hotkeys already takes a combination: the module pairs count for the switcher only
// while they are on, for each other always; the switcher while it is on; a recorder's own pair is
// no conflict.
TEST(StoredShortcut, TakenByNamesTheOtherHotkeyInForce)
{
    using KeyboardShortcut::Hotkey;
    SettingsStore settings;
    const KeyCombination altC{8, keyOptionFlag};
    const KeyCombination altS{1, keyOptionFlag | keyCapsLockFlag};
    const KeyCombination altTab{48, keyOptionFlag};
    EXPECT_EQ(takenBy(settings, altC, Hotkey::switcher), std::nullopt);
    EXPECT_EQ(takenBy(settings, altS, Hotkey::clipboard), Hotkey::shelf);
    EXPECT_EQ(takenBy(settings, altTab, Hotkey::shelf), Hotkey::switcher);
    EXPECT_EQ(takenBy(settings, altC, Hotkey::clipboard), std::nullopt);
    settings.set(Settings::enableModuleHotkeys, true);
    EXPECT_EQ(takenBy(settings, altC, Hotkey::switcher), Hotkey::clipboard);
    EXPECT_EQ(takenBy(settings, altS, Hotkey::switcher), Hotkey::shelf);
    EXPECT_EQ(takenBy(settings, {8, keyControlFlag}, Hotkey::switcher), std::nullopt);
    settings.set(Settings::enableGlobalSwitcher, false);
    EXPECT_EQ(takenBy(settings, altTab, Hotkey::clipboard), std::nullopt);
}
