#include "platform/application.h"

namespace qv {

QEvent::Type keyboardTakenElsewhereEvent()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

QObject *keyboardNotices()
{
    static QObject receiver;
    return &receiver;
}

} // namespace qv
