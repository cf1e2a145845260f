#include "views/onboarding/buttonslide.h"

#include <QLabel>

#include "ui/theme.h"
#include "views/onboarding/slidetext.h"

namespace qv {

ButtonSlide::ButtonSlide(const SlideButton::Look &buttonLook, std::function<void()> action, QWidget *parent)
    : QWidget(parent), m_title(SlideText::label(Theme::systemFont(32, QFont::Bold), Qt::white, this)),
      m_desc(SlideText::label(SlideText::title3(), Theme::white(0.7), this)),
      m_button(new SlideButton(buttonLook, this))
{
    connect(m_button, &SlideButton::clicked, this, [action = std::move(action)] { action(); });
}

void ButtonSlide::setTexts(const QString &title, const QString &desc, const QString &buttonText)
{
    m_title->setText(title);
    m_desc->setText(desc);
    m_button->setText(buttonText);
}

QString ButtonSlide::title() const
{
    return m_title->text();
}

QString ButtonSlide::desc() const
{
    return m_desc->text();
}

} // namespace qv
