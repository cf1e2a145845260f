#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <memory>
#include <variant>

namespace qv {

// Accessibility-style elements of other applications: the Dock's tiles, other windows. Results carry
// the error codes the program tells apart; an unreadable attribute is simply an absent value to
// most callers.
namespace AXError {
inline constexpr int success = 0;
inline constexpr int failure = -25200;
inline constexpr int illegalArgument = -25201;
inline constexpr int invalidElement = -25202;
inline constexpr int cannotComplete = -25204;
inline constexpr int attributeUnsupported = -25205;
inline constexpr int actionUnsupported = -25206;
inline constexpr int apiDisabled = -25211;
inline constexpr int noValue = -25212;
} // namespace AXError

class AXElement;
using AXElementPtr = std::shared_ptr<AXElement>;
using AXValue = std::variant<std::monostate, bool, double, QString, QPointF, QSizeF, QRectF, AXElementPtr,
                             QList<AXElementPtr>>;

struct AXResult
{
    int error = AXError::success;
    AXValue value;

    bool ok() const { return error == AXError::success; }
    template <typename T>
    const T *as() const
    {
        return ok() ? std::get_if<T>(&value) : nullptr;
    }
};

// One element. Calls may come from any thread and may block up to the messaging timeout.
class AXElement
{
public:
    virtual ~AXElement() = default;
    virtual AXResult copyAttribute(const QString &name) = 0;
    virtual int setAttribute(const QString &name, const AXValue &value) = 0;
    virtual int performAction(const QString &name) = 0;
    // Longest wait for the owning application to answer one call, in seconds.
    virtual void setMessagingTimeout(double seconds) = 0;
    virtual qint64 pid() const = 0;
};

// Entry point to other applications' elements. Safe from any thread.
class AccessibilityService
{
public:
    virtual ~AccessibilityService() = default;
    // Whether this process may read and drive other applications' elements.
    virtual bool isProcessTrusted() const = 0;
    // The application element of a running process; never null (calls on a gone process fail).
    virtual AXElementPtr applicationElement(qint64 pid) = 0;
};

} // namespace qv
