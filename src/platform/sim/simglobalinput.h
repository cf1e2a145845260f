#pragma once

#include <QList>
#include <QSet>
#include <QStringList>

#include <utility>

#include "platform/globalinput.h"

namespace qv {

// A simulated keyboard, wheel and drag source that sees every event, like a system-wide tap.
// Tests press keys, scroll and drag; what the filter let through is kept as what the focused
// application received.
class SimGlobalInput final : public GlobalInput
{
    Q_OBJECT
public:
    bool createTap() override;
    bool hasTap() const override { return m_hasTap; }
    bool tapEnabled() const override { return m_hasTap && m_enabled; }
    void enableTap() override;
    QList<KeyCombination> setShortcuts(const QList<KeyCombination> &combinations) override;
    bool isDraggingData() const override { return m_dragging && !m_dragTypes.isEmpty(); }
    void holdKeyboard(quint64 window) override { m_holder = window; }
    void releaseKeyboard() override { m_holder = 0; }
    void handKeyboardTo(quint64 window) override
    {
        if (m_holder != 0)
            keyboardHandedTo.append(window);
        m_holder = 0;
    }
    void setKeyboardChoice(quint64 returnWindow, quint64 escapeWindow, bool deciding) override
    {
        keyboardChoice = {returnWindow, escapeWindow};
        keyboardDeciding = deciding;
    }
    void setKeyTakingShortcuts(const QList<KeyCombination> &combinations) override
    {
        keyTakingShortcuts = combinations;
    }
    quint64 keyboardHolder() const override { return m_hasTap ? m_holder : 0; }

    // Drivers. Without a tap (or with it switched off) every key reaches the focused application and
    // nothing else is delivered. flags may carry Caps Lock; the filter sees them masked.
    // Returns true when the key was consumed.
    bool pressKey(int keyCode, quint32 flags, bool autorepeat = false);
    void releaseKey(int keyCode);
    void scroll(int deltaY, const QPointF &location);
    // A drag starts with the data types it offers (none: a drag without data, e.g. a window move).
    void beginDrag(const QStringList &types);
    void moveDrag(const QPointF &location);
    void endDrag();
    // The desktop switches the tap off, as after a time-out.
    void disableTap();

    // The event clock stamped on the next event, nanoseconds. Tests set it.
    quint64 eventTime = 0;
    // createTap() fails while this is set.
    bool refuseTap = false;
    // Combinations another program holds; setShortcuts() reports them.
    QList<KeyCombination> heldElsewhere;

    // Key codes of the key-downs the focused application received, in order (none while the
    // keyboard is held: they go to the holder).
    QList<int> keysReceivedByApplication;
    // The windows handKeyboardTo() handed a held keyboard to, in order.
    QList<quint64> keyboardHandedTo;
    // The last published keyboard choice: the windows Return and Esc would hand the keyboard to.
    std::pair<quint64, quint64> keyboardChoice{0, 0};
    // The holder still has a key to act on (published with the choice).
    bool keyboardDeciding = false;
    // The shortcuts last named as opening a surface that takes keys.
    QList<KeyCombination> keyTakingShortcuts;
    int tapCreations() const { return m_tapCreations; }
    // The combinations in force: none without a tap.
    QList<KeyCombination> shortcuts() const { return m_shortcuts; }

private:
    bool delivering() const { return m_hasTap && m_enabled; }

    bool m_hasTap = false;
    bool m_enabled = false;
    int m_tapCreations = 0;
    QList<KeyCombination> m_wanted;
    QList<KeyCombination> m_shortcuts;
    bool m_dragging = false;
    QStringList m_dragTypes;
    quint64 m_holder = 0;
};

} // namespace qv
