#include "views/bubble/bubbleviewstate.h"

namespace qv {

void BubbleViewState::setHeaderTitle(const QString &title)
{
    assign(m_headerTitle, title);
}
void BubbleViewState::setHasPermission(bool hasPermission)
{
    assign(m_hasPermission, hasPermission);
}
void BubbleViewState::setLanguage(AppLanguage language)
{
    assign(m_language, language);
}
void BubbleViewState::setBlurAmount(double blurAmount)
{
    assign(m_blurAmount, blurAmount);
}
void BubbleViewState::setTranslucent(bool translucent)
{
    assign(m_translucent, translucent);
}

void BubbleViewState::setHeaderIcon(const QImage &icon)
{
    // Pictures compare by identity; an equal-looking new picture is still a change.
    if (icon.cacheKey() == m_headerIcon.cacheKey())
        return;
    m_headerIcon = icon;
    emit changed();
}

} // namespace qv
