#pragma once

#include <QString>

namespace qv {

// Registration of the application to start at login. Main thread.
class LoginItemService
{
public:
    virtual ~LoginItemService() = default;

    static constexpr int statusEnabled = 1;
    // 1 when registered and enabled; any other value counts as not enabled.
    virtual int status() const = 0;
    // Empty on success, else a description of the failure.
    virtual QString registerItem() = 0;
    virtual QString unregisterItem() = 0;
};

} // namespace qv
