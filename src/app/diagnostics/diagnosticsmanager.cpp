#include "app/diagnostics/diagnosticsmanager.h"

namespace qv {

namespace {
DiagnosticsManager *g_shared = nullptr;
}

DiagnosticsManager::DiagnosticsManager(QObject *parent) : QObject(parent) {}

DiagnosticsManager::~DiagnosticsManager()
{
    if (g_shared == this)
        g_shared = nullptr;
}

DiagnosticsManager *DiagnosticsManager::shared()
{
    if (g_shared)
        return g_shared;
    static DiagnosticsManager quiet;
    return &quiet;
}

void DiagnosticsManager::setShared(DiagnosticsManager *manager)
{
    g_shared = manager;
}

void DiagnosticsManager::log(const QString &name, const QString &detail)
{
    Q_UNUSED(name);
    Q_UNUSED(detail);
}

} // namespace qv
