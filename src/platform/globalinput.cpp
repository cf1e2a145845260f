#include "platform/globalinput.h"

#include <QStringList>

namespace qv {

namespace {

struct KeyName
{
    int keyCode;
    const char *name;
    // The key's XKB key code: the Linux input code of its place plus 8.
    quint8 xkbKeycode;
};

// Names and places of the classic Mac virtual key codes that shortcuts are stored with.
constexpr KeyName keyNames[] = {
    {0, "A", 38},          {1, "S", 39},         {2, "D", 40},
    {3, "F", 41},          {4, "H", 43},         {5, "G", 42},
    {6, "Z", 52},          {7, "X", 53},         {8, "C", 54},
    {9, "V", 55},          {10, "key 10", 94},   {11, "B", 56},
    {12, "Q", 24},         {13, "W", 25},        {14, "E", 26},
    {15, "R", 27},         {16, "Y", 29},        {17, "T", 28},
    {18, "1", 10},         {19, "2", 11},        {20, "3", 12},
    {21, "4", 13},         {22, "6", 15},        {23, "5", 14},
    {24, "=", 21},         {25, "9", 18},        {26, "7", 16},
    {27, "-", 20},         {28, "8", 17},        {29, "0", 19},
    {30, "]", 35},         {31, "O", 32},        {32, "U", 30},
    {33, "[", 34},         {34, "I", 31},        {35, "P", 33},
    {36, "Return", 36},    {37, "L", 46},        {38, "J", 44},
    {39, "'", 48},         {40, "K", 45},        {41, ";", 47},
    {42, "\\", 51},        {43, ",", 59},        {44, "/", 61},
    {45, "N", 57},         {46, "M", 58},        {47, ".", 60},
    {48, "Tab", 23},       {49, "Space", 65},    {50, "`", 49},
    {51, "Backspace", 22}, {53, "Esc", 9},       {96, "F5", 71},
    {97, "F6", 72},        {98, "F7", 73},       {99, "F3", 69},
    {100, "F8", 74},       {101, "F9", 75},      {103, "F11", 95},
    {109, "F10", 76},      {111, "F12", 96},     {115, "Home", 110},
    {116, "Page Up", 112}, {117, "Delete", 119}, {118, "F4", 70},
    {119, "End", 115},     {120, "F2", 68},      {121, "Page Down", 117},
    {122, "F1", 67},       {123, "Left", 113},   {124, "Right", 114},
    {125, "Down", 116},    {126, "Up", 111},
};

} // namespace

QStringList modifierNames(quint32 flags)
{
    QStringList names;
    if (flags & keyControlFlag)
        names << QStringLiteral("Ctrl");
    if (flags & keyOptionFlag)
        names << QStringLiteral("Alt");
    if (flags & keyShiftFlag)
        names << QStringLiteral("Shift");
    if (flags & keyCommandFlag)
        names << QStringLiteral("Super");
    return names;
}

QString describeKeyCombination(const KeyCombination &combination)
{
    QStringList parts = modifierNames(combination.flags);
    QString key = QStringLiteral("key %1").arg(combination.keyCode);
    for (const auto &entry : keyNames) {
        if (entry.keyCode == combination.keyCode) {
            key = QString::fromLatin1(entry.name);
            break;
        }
    }
    parts << key;
    return parts.join(QLatin1Char('+'));
}

std::optional<int> keyCodeAtXkbKeycode(quint32 xkbKeycode)
{
    for (const auto &entry : keyNames) {
        if (entry.xkbKeycode == xkbKeycode)
            return entry.keyCode;
    }
    return std::nullopt;
}

quint32 xkbKeycodeForKeyCode(int keyCode)
{
    for (const auto &entry : keyNames) {
        if (entry.keyCode == keyCode)
            return entry.xkbKeycode;
    }
    return 0;
}

} // namespace qv
