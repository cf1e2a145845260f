#include "views/settings/keydownmonitor.h"

#include <QApplication>
#include <QKeyEvent>

#include "platform/application.h"

namespace qv {

namespace {

struct QtKeyMapping
{
    int qtKey;
    int keyCode;
};

// Qt keys and the classic Mac virtual key code of the key that types them on a US keyboard, for a
// key-down without a scan code (made by a program, not typed). The characters a key types with
// Shift ("#" is Shift+3) map to that key, since the recorded shortcut names the key and the held
// modifiers, not the character.
constexpr QtKeyMapping keyMappings[] = {
    {Qt::Key_A, 0},           {Qt::Key_S, 1},          {Qt::Key_D, 2},           {Qt::Key_F, 3},
    {Qt::Key_H, 4},           {Qt::Key_G, 5},          {Qt::Key_Z, 6},           {Qt::Key_X, 7},
    {Qt::Key_C, 8},           {Qt::Key_V, 9},          {Qt::Key_B, 11},          {Qt::Key_Q, 12},
    {Qt::Key_W, 13},          {Qt::Key_E, 14},         {Qt::Key_R, 15},          {Qt::Key_Y, 16},
    {Qt::Key_T, 17},          {Qt::Key_1, 18},         {Qt::Key_Exclam, 18},     {Qt::Key_2, 19},
    {Qt::Key_At, 19},         {Qt::Key_3, 20},         {Qt::Key_NumberSign, 20}, {Qt::Key_4, 21},
    {Qt::Key_Dollar, 21},     {Qt::Key_6, 22},         {Qt::Key_AsciiCircum, 22}, {Qt::Key_5, 23},
    {Qt::Key_Percent, 23},    {Qt::Key_Equal, 24},     {Qt::Key_Plus, 24},       {Qt::Key_9, 25},
    {Qt::Key_ParenLeft, 25},  {Qt::Key_7, 26},         {Qt::Key_Ampersand, 26},  {Qt::Key_Minus, 27},
    {Qt::Key_Underscore, 27}, {Qt::Key_8, 28},         {Qt::Key_Asterisk, 28},   {Qt::Key_0, 29},
    {Qt::Key_ParenRight, 29}, {Qt::Key_BracketRight, 30}, {Qt::Key_BraceRight, 30}, {Qt::Key_O, 31},
    {Qt::Key_U, 32},          {Qt::Key_BracketLeft, 33}, {Qt::Key_BraceLeft, 33}, {Qt::Key_I, 34},
    {Qt::Key_P, 35},          {Qt::Key_Return, 36},    {Qt::Key_Enter, 36},      {Qt::Key_L, 37},
    {Qt::Key_J, 38},          {Qt::Key_Apostrophe, 39}, {Qt::Key_QuoteDbl, 39},  {Qt::Key_K, 40},
    {Qt::Key_Semicolon, 41},  {Qt::Key_Colon, 41},     {Qt::Key_Backslash, 42},  {Qt::Key_Bar, 42},
    {Qt::Key_Comma, 43},      {Qt::Key_Less, 43},      {Qt::Key_Slash, 44},      {Qt::Key_Question, 44},
    {Qt::Key_N, 45},          {Qt::Key_M, 46},         {Qt::Key_Period, 47},     {Qt::Key_Greater, 47},
    {Qt::Key_Tab, 48},        {Qt::Key_Backtab, 48},   {Qt::Key_Space, 49},      {Qt::Key_QuoteLeft, 50},
    {Qt::Key_AsciiTilde, 50}, {Qt::Key_Backspace, 51}, {Qt::Key_Escape, 53},     {Qt::Key_F5, 96},
    {Qt::Key_F6, 97},         {Qt::Key_F7, 98},        {Qt::Key_F3, 99},         {Qt::Key_F8, 100},
    {Qt::Key_F9, 101},        {Qt::Key_F11, 103},      {Qt::Key_F10, 109},       {Qt::Key_F12, 111},
    {Qt::Key_Home, 115},      {Qt::Key_PageUp, 116},   {Qt::Key_Delete, 117},    {Qt::Key_F4, 118},
    {Qt::Key_End, 119},       {Qt::Key_F2, 120},       {Qt::Key_PageDown, 121},  {Qt::Key_F1, 122},
    {Qt::Key_Left, 123},      {Qt::Key_Right, 124},    {Qt::Key_Down, 125},      {Qt::Key_Up, 126},
};

} // namespace

KeyDownMonitor::KeyDownMonitor(Handler handler, QObject *parent) : QObject(parent), m_handler(std::move(handler))
{
    qApp->installEventFilter(this);
}

KeyDownMonitor::~KeyDownMonitor()
{
    qApp->removeEventFilter(this);
}

void KeyDownMonitor::remove(KeyDownMonitor *&monitor)
{
    if (!monitor)
        return;
    qApp->removeEventFilter(monitor);
    monitor->m_handler = nullptr;
    monitor->deleteLater();
    monitor = nullptr;
}

std::optional<int> KeyDownMonitor::macKeyCode(int qtKey)
{
    for (const auto &mapping : keyMappings) {
        if (mapping.qtKey == qtKey)
            return mapping.keyCode;
    }
    return std::nullopt;
}

std::optional<KeyCombination> KeyDownMonitor::combination(const QKeyEvent &event)
{
    // The scan code names the key pressed whatever the layout: on a French keyboard the key of "&"
    // and "1" is the place of 1, not that of 7 (where a US keyboard has "&").
    const auto code =
        event.nativeScanCode() != 0 ? keyCodeAtXkbKeycode(event.nativeScanCode()) : macKeyCode(event.key());
    if (!code)
        return std::nullopt;
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    quint32 flags = 0;
    if (modifiers & Qt::ShiftModifier)
        flags |= keyShiftFlag;
    if (modifiers & Qt::ControlModifier)
        flags |= keyControlFlag;
    if (modifiers & Qt::AltModifier)
        flags |= keyOptionFlag;
    if (modifiers & Qt::MetaModifier)
        flags |= keyCommandFlag;
    return KeyCombination{*code, flags};
}

bool KeyDownMonitor::eventFilter(QObject *watched, QEvent *event)
{
    // A key with a modifier first asks whether a shortcut wants it; accepting that question keeps
    // every in-application shortcut quiet and brings the key-down itself here. Events other threads
    // post go to objects that are not widgets: those are let through before the event is read.
    if (watched == keyboardNotices() && event->type() == keyboardTakenElsewhereEvent()) {
        // The callback may remove this monitor: it runs from a copy.
        if (const std::function<void()> onTaken = m_onTaken)
            onTaken();
        return false;
    }
    if (!watched->isWidgetType())
        return false;
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    const auto pressed = combination(*key);
    if (!pressed)
        return false;
    if (type == QEvent::ShortcutOverride) {
        if (pressed->flags & keyModifierMask)
            key->accept();
        return false;
    }
    // The handler may remove this monitor: it runs from a copy.
    const Handler handler = m_handler;
    if (!handler || !handler(*pressed))
        return false;
    key->accept();
    return true;
}

} // namespace qv
