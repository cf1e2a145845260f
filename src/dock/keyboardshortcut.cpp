#include "dock/keyboardshortcut.h"

#include <QVariant>

#include <climits>
#include <cmath>
#include <optional>

#include "core/settingskeys.h"
#include "core/settingsstore.h"

namespace qv::KeyboardShortcut {

namespace {

// A stored whole number, else none: text, Booleans and fractions are not key codes. Numbers read
// back from the settings file arrive as doubles.
std::optional<qint64> storedInteger(const SettingsStore &settings, const QString &key)
{
    const QVariant v = settings.value(key);
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return v.toLongLong();
    case QMetaType::Double: {
        const double d = v.toDouble();
        if (std::isfinite(d) && d == std::trunc(d) && std::abs(d) < 9.0e15)
            return qint64(d);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

struct KeyNameEntry
{
    int keyCode;
    const char16_t *name;
};

// Key code 36 is named by the cap size; the arrows are 123 left, 124 right, 125 down, 126 up.
constexpr KeyNameEntry keyNames[] = {
    {0, u"A"},   {1, u"S"},   {2, u"D"},   {3, u"F"},   {4, u"H"},   {5, u"G"},    {6, u"Z"},
    {7, u"X"},   {8, u"C"},   {9, u"V"},   {11, u"B"},  {12, u"Q"},  {13, u"W"},   {14, u"E"},
    {15, u"R"},  {16, u"Y"},  {17, u"T"},  {18, u"1"},  {19, u"2"},  {20, u"3"},   {21, u"4"},
    {22, u"6"},  {23, u"5"},  {24, u"="},  {25, u"9"},  {26, u"7"},  {27, u"-"},   {28, u"8"},
    {29, u"0"},  {30, u"]"},  {31, u"O"},  {32, u"U"},  {33, u"["},  {34, u"I"},   {35, u"P"},
    {37, u"L"},  {38, u"J"},  {39, u"'"},  {40, u"K"},  {41, u";"},  {42, u"\\"},  {43, u","},
    {44, u"/"},  {45, u"N"},  {46, u"M"},  {47, u"."},  {48, u"Tab"}, {49, u"Space"}, {53, u"Esc"},
    {123, u"←"}, {124, u"→"}, {125, u"↓"}, {126, u"↑"},
};

} // namespace

Keys switcherKeys()
{
    return {Settings::customKeyCode, Settings::customFlags};
}

Keys clipboardKeys()
{
    return {Settings::clipboardKeyCode, Settings::clipboardFlags};
}

Keys shelfKeys()
{
    return {Settings::shelfKeyCode, Settings::shelfFlags};
}

Keys keysOf(Hotkey hotkey)
{
    switch (hotkey) {
    case Hotkey::clipboard:
        return clipboardKeys();
    case Hotkey::shelf:
        return shelfKeys();
    case Hotkey::switcher:
        break;
    }
    return switcherKeys();
}

std::optional<Hotkey> takenBy(const SettingsStore &settings, const KeyCombination &shortcut, Hotkey recording)
{
    const KeyCombination wanted{shortcut.keyCode, shortcut.flags & keyModifierMask};
    const bool modulesOn = settings.get(Settings::enableModuleHotkeys);
    for (const Hotkey other : {Hotkey::switcher, Hotkey::clipboard, Hotkey::shelf}) {
        if (other == recording)
            continue;
        const bool inForce = other == Hotkey::switcher ? globalSwitcherEnabled(settings)
                                                       : modulesOn || recording != Hotkey::switcher;
        if (inForce && read(settings, keysOf(other)) == wanted)
            return other;
    }
    return std::nullopt;
}

bool holdsCommandModifier(const KeyCombination &shortcut)
{
    return shortcut.flags & (keyControlFlag | keyOptionFlag | keyCommandFlag);
}

namespace {

// The modifier flags a key press carries fit in these bits; a stored value beyond them (4294967295,
// every bit set) was written by no recorder and names no modifiers anybody pressed.
constexpr qint64 eventFlagBits = 0xFFFFFF;

// The stored pair, each half that is absent or unusable read as its default, and why a half that
// is stored was not usable (empty when both were).
struct StoredPair
{
    KeyCombination shortcut;
    QString storedText;
    QStringList problems;
};

StoredPair storedPair(const SettingsStore &settings, const Keys &keys)
{
    const auto code = storedInteger(settings, keys.keyCode.key());
    const auto flags = storedInteger(settings, keys.flags.key());
    StoredPair pair;
    // A key code with no place on the keyboard would be grabbed on no key, and the grab's refusal
    // would be blamed on another program.
    const bool codeUsable =
        code && *code >= INT_MIN && *code <= INT_MAX && xkbKeycodeForKeyCode(int(*code)) != 0;
    if (code && !codeUsable)
        pair.problems << QStringLiteral("no key of this keyboard");
    pair.shortcut.keyCode = codeUsable ? int(*code) : keys.keyCode.defaultValue;
    const bool flagsUsable = flags && *flags >= 0 && *flags <= eventFlagBits;
    if (flags && !flagsUsable)
        pair.problems << QStringLiteral("no modifiers of a key press");
    pair.shortcut.flags = quint32(flagsUsable ? *flags : keys.flags.defaultValue) & keyModifierMask;
    pair.storedText = QStringLiteral("%1=%2, %3=%4")
                          .arg(keys.keyCode.key())
                          .arg(code ? *code : qint64(pair.shortcut.keyCode))
                          .arg(keys.flags.key())
                          .arg(flags ? *flags : qint64(pair.shortcut.flags));
    return pair;
}

} // namespace

KeyCombination read(const SettingsStore &settings, const Keys &keys)
{
    const StoredPair stored = storedPair(settings, keys);
    if (!holdsCommandModifier(stored.shortcut))
        return {keys.keyCode.defaultValue, quint32(keys.flags.defaultValue) & keyModifierMask};
    return stored.shortcut;
}

std::optional<SetAside> setAside(const SettingsStore &settings, const Keys &keys)
{
    StoredPair stored = storedPair(settings, keys);
    if (!holdsCommandModifier(stored.shortcut))
        stored.problems << QStringLiteral("no Ctrl, Alt or Super");
    if (stored.problems.isEmpty())
        return std::nullopt;
    return SetAside{stored.shortcut, stored.storedText, stored.problems.join(QStringLiteral("; "))};
}

void write(SettingsStore &settings, const Keys &keys, const KeyCombination &shortcut)
{
    settings.set(keys.keyCode, shortcut.keyCode);
    settings.set(keys.flags, int(shortcut.flags & keyModifierMask));
}

QString keyName(int keyCode, KeycapSize size)
{
    if (keyCode == 36)
        return size == KeycapSize::large ? QStringLiteral("Return") : QStringLiteral("⏎");
    for (const auto &entry : keyNames) {
        if (entry.keyCode == keyCode)
            return QString::fromUtf16(entry.name);
    }
    return QStringLiteral("Key");
}

QStringList keycapParts(const KeyCombination &shortcut, KeycapSize size)
{
    QStringList parts = modifierNames(shortcut.flags);
    parts << keyName(shortcut.keyCode, size);
    return parts;
}

QString words(const KeyCombination &shortcut, const QString &separator)
{
    return keycapParts(shortcut, KeycapSize::large).join(separator);
}

QString namingSwitcher(const QString &text, const KeyCombination &switcher)
{
    const KeyCombination byDefault{Settings::customKeyCode.defaultValue,
                                   quint32(Settings::customFlags.defaultValue)};
    QString named = text;
    for (const QString &separator : {QStringLiteral(" + "), QStringLiteral("+")})
        named.replace(words(byDefault, separator), words(switcher, separator));
    return named;
}

bool globalSwitcherEnabled(const SettingsStore &settings)
{
    const QVariant switcher = settings.value(Settings::enableGlobalSwitcher.key());
    return switcher.typeId() == QMetaType::Bool ? switcher.toBool() : true;
}

} // namespace qv::KeyboardShortcut
