#include "app/launchmanager.h"

#include <QLoggingCategory>

#include "platform/loginitem.h"

namespace qv {

Q_LOGGING_CATEGORY(lcLaunch, "quorvantis.launch")

void LaunchManager::setLaunchAtLogin(LoginItemService &loginItem, bool enabled)
{
    const bool isEnabled = loginItem.status() == LoginItemService::statusEnabled;
    if (enabled == isEnabled)
        return;
    const QString error = enabled ? loginItem.registerItem() : loginItem.unregisterItem();
    if (!error.isEmpty()) {
        qCWarning(lcLaunch).noquote() << QStringLiteral("❌ 开机自启设置失败: ") + error;
        return;
    }
    qCInfo(lcLaunch).noquote() << (enabled ? QStringLiteral("✅ 开机自启已启用")
                                           : QStringLiteral("✅ 开机自启已禁用"));
}

} // namespace qv
