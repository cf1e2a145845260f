#include "platform/globalinput.h"

#include <QStringList>

namespace qv {

namespace {

struct KeyName
{
    int keyCode;
    const char *name;
};

// Names of the classic Mac virtual key codes that shortcuts are stored with.
constexpr KeyName keyNames[] = {
    {0, "A"},      {1, "S"},           {2, "D"},          {3, "F"},        {4, "H"},       {5, "G"},
    {6, "Z"},      {7, "X"},           {8, "C"},          {9, "V"},        {11, "B"},      {12, "Q"},
    {13, "W"},     {14, "E"},          {15, "R"},         {16, "Y"},       {17, "T"},      {18, "1"},
    {19, "2"},     {20, "3"},          {21, "4"},         {22, "6"},       {23, "5"},      {24, "="},
    {25, "9"},     {26, "7"},          {27, "-"},         {28, "8"},       {29, "0"},      {30, "]"},
    {31, "O"},     {32, "U"},          {33, "["},         {34, "I"},       {35, "P"},      {36, "Return"},
    {37, "L"},     {38, "J"},          {39, "'"},         {40, "K"},       {41, ";"},      {42, "\\"},
    {43, ","},     {44, "/"},          {45, "N"},         {46, "M"},       {47, "."},      {48, "Tab"},
    {49, "Space"}, {50, "`"},          {51, "Backspace"}, {53, "Esc"},     {96, "F5"},     {97, "F6"},
    {98, "F7"},    {99, "F3"},         {100, "F8"},       {101, "F9"},     {103, "F11"},   {109, "F10"},
    {111, "F12"},  {115, "Home"},      {116, "Page Up"},  {117, "Delete"}, {118, "F4"},    {119, "End"},
    {120, "F2"},   {121, "Page Down"}, {122, "F1"},       {123, "Left"},   {124, "Right"}, {125, "Down"},
    {126, "Up"},
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

} // namespace qv
