#include "platform/x11/x11localeservice.h"

#include <QLocale>

namespace qv {

X11LocaleService::X11LocaleService() : m_languages(QLocale::system().uiLanguages()) {}

} // namespace qv
