#include "views/onboarding/welcomeslide.h"

#include <QLabel>
#include <QLinearGradient>
#include <QVBoxLayout>

#include "core/color.h"
#include "ui/theme.h"
#include "views/onboarding/slidesymbol.h"
#include "views/onboarding/slidetext.h"

namespace qv {

WelcomeSlide::WelcomeSlide(Scheduler &scheduler, std::function<void()> action, QWidget *parent)
    : ButtonSlide({SlideText::headline(), Qt::black, Color::neonCyan(), QColor(), 25,
                   QMargins(30, 12, 30, 12), QColor(), 0},
                  std::move(action), parent)
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
    texts->addWidget(titleLabel());
    texts->addWidget(descLabel());
    layout->addLayout(texts);

    layout->addSpacing(20);
    layout->addWidget(button(), 0, Qt::AlignHCenter);
    layout->addStretch();
}

} // namespace qv
