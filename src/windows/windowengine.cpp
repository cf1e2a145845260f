#include "windows/windowengine.h"

namespace qv {

WindowEngine::WindowEngine(QObject *parent) : QObject(parent) {}

void WindowEngine::setContextMenuOpen(bool open)
{
    if (m_isContextMenuOpen == open)
        return;
    m_isContextMenuOpen = open;
    emit isContextMenuOpenChanged(open);
}

} // namespace qv
