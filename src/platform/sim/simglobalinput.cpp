#include "platform/sim/simglobalinput.h"

namespace qv {

bool SimGlobalInput::createTap()
{
    if (refuseTap)
        return false;
    ++m_tapCreations;
    m_hasTap = true;
    m_enabled = true;
    setShortcuts(m_wanted);
    return true;
}

void SimGlobalInput::enableTap()
{
    if (m_hasTap)
        m_enabled = true;
}

QList<KeyCombination> SimGlobalInput::setShortcuts(const QList<KeyCombination> &combinations)
{
    m_wanted = combinations;
    m_shortcuts.clear();
    QList<KeyCombination> refused;
    if (!m_hasTap)
        return refused;
    for (const auto &combination : combinations) {
        if (heldElsewhere.contains(combination))
            refused.append(combination);
        else
            m_shortcuts.append(combination);
    }
    setRefusedShortcuts(refused);
    return refused;
}

bool SimGlobalInput::pressKey(int keyCode, quint32 flags, bool autorepeat)
{
    const bool consumed = delivering() && filterKeyDown(GlobalKeyEvent{keyCode, flags & keyModifierMask,
                                                                       autorepeat, eventTime});
    if (!consumed && keyboardHolder() == 0)
        keysReceivedByApplication.append(keyCode);
    return consumed;
}

void SimGlobalInput::releaseKey(int keyCode)
{
    if (delivering())
        emit keyReleased(keyCode);
}

void SimGlobalInput::scroll(int deltaY, const QPointF &location)
{
    if (delivering())
        emit wheelScrolled(deltaY, eventTime, location);
}

void SimGlobalInput::beginDrag(const QStringList &types)
{
    m_dragging = true;
    m_dragTypes = types;
    if (delivering())
        emit dragStarted();
}

void SimGlobalInput::moveDrag(const QPointF &location)
{
    if (delivering())
        emit dragMoved(location);
}

void SimGlobalInput::endDrag()
{
    const bool wasDragging = std::exchange(m_dragging, false);
    m_dragTypes.clear();
    if (wasDragging && delivering())
        emit dragEnded();
}

void SimGlobalInput::disableTap()
{
    if (!m_hasTap || !m_enabled)
        return;
    m_enabled = false;
    emit tapDisabled();
}

} // namespace qv
