#pragma once

#include <QObject>
#include <QString>

namespace qv {

// The system's named notifications, posted with no object and no payload.
namespace Notifications {
inline const QString clipboardDidCapture = QStringLiteral("ClipboardManager.didCapture");
inline const QString shelfDidReceiveFile = QStringLiteral("FileShelfManager.didReceiveFile");
inline const QString updateArrowPosition = QStringLiteral("UpdateArrowPosition");
} // namespace Notifications

// Process-wide notification centre. post() delivers to every observer synchronously on the posting
// thread; observers that must run on the main thread connect with a context object living there
// (Qt then queues across threads).
class NotificationHub : public QObject
{
    Q_OBJECT
public:
    explicit NotificationHub(QObject *parent = nullptr) : QObject(parent) {}

    static NotificationHub *shared();
    static void setShared(NotificationHub *hub);

    void post(const QString &name) { emit posted(name); }

    // Calls fn (in context's thread) whenever `name` is posted; disconnects when context dies.
    template <typename Fn>
    QMetaObject::Connection observe(const QString &name, QObject *context, Fn fn)
    {
        return connect(this, &NotificationHub::posted, context, [name, fn](const QString &posted) {
            if (posted == name)
                fn();
        });
    }

signals:
    void posted(const QString &name);
};

} // namespace qv
