#include "app/notificationhub.h"

namespace qv {

namespace {
NotificationHub *g_shared = nullptr;
}

NotificationHub *NotificationHub::shared()
{
    return g_shared;
}

void NotificationHub::setShared(NotificationHub *hub)
{
    g_shared = hub;
}

} // namespace qv
