#include "views/onboarding/welcomeslide.h"

#include <QLabel>
#include <QLinearGradient>
#include <QVBoxLayout>

#include "core/color.h"
#include "ui/theme.h"
#include "views/onboarding/slidebutton.h"
#include "views/onboarding/slidesymbol.h"
#include "views/onboarding/slidetext.h"

namespace qv {

WelcomeSlide::WelcomeSlide(Scheduler &scheduler, std::function<void()> action, QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(25);
    layout->addStretch();

    auto *symbol = new SlideSymbol(scheduler, 80, this);
    QLinearGradient gradient(0, 0, 1, 1);
    gradient.setColorAt(0, Color::neonCyan());
    gradient.setColorAt(1, Color::neonPurple());
    symbol->setSymbol(QStringLiteral("circle.hexagongrid.fill"), gradient);
    QColor glow = Color::neonCyan();
    glow.setAlphaF(0.5f);
    symbol->setGlow(glow, 20);
    layout->addWidget(symbol, 0, Qt::AlignHCenter);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(10);
    m_title = SlideText::label(Theme::systemFont(32, QFont::Bold), Qt::white, this);
    m_desc = SlideText::label(SlideText::title3(), Theme::white(0.7), this);
    texts->addWidget(m_title);
    texts->addWidget(m_desc);
    layout->addLayout(texts);

    m_button = new SlideButton({SlideText::headline(), Qt::black, Color::neonCyan(), QColor(), 25,
                                QMargins(30, 12, 30, 12), QColor(), 0},
                               this);
    connect(m_button, &SlideButton::clicked, this, [action = std::move(action)] { action(); });
    layout->addSpacing(20);
    layout->addWidget(m_button, 0, Qt::AlignHCenter);
    layout->addStretch();
}

void WelcomeSlide::setTexts(const QString &title, const QString &desc, const QString &buttonText)
{
    m_title->setText(title);
    m_desc->setText(desc);
    m_button->setText(buttonText);
}

QString WelcomeSlide::title() const
{
    return m_title->text();
}

} // namespace qv
