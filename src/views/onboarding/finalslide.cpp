#include "views/onboarding/finalslide.h"

#include <QLabel>
#include <QLinearGradient>
#include <QVBoxLayout>

#include "core/color.h"
#include "ui/theme.h"
#include "views/onboarding/slidesymbol.h"
#include "views/onboarding/slidetext.h"

namespace qv {

namespace {
const QColor orange(255, 159, 10);
} // namespace

FinalSlide::FinalSlide(Scheduler &scheduler, std::function<void()> action, QWidget *parent)
    : ButtonSlide({SlideText::headline(), Qt::black, Qt::white, QColor(), 30, QMargins(30, 14, 30, 14),
                   Theme::black(0.33), 10},
                  std::move(action), parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(30);
    layout->addStretch();

    auto *symbol = new SlideSymbol(scheduler, 84, this);
    QLinearGradient gradient(0, 1, 0, 0); // from the bottom up
    gradient.setColorAt(0, Color::neonRed());
    gradient.setColorAt(1, orange);
    symbol->setSymbol(QStringLiteral("rocket.fill"), gradient);
    QColor glow = orange;
    glow.setAlphaF(0.5f);
    symbol->setGlow(glow, 20);
    layout->addWidget(symbol, 0, Qt::AlignHCenter);

    // Title and description sit in the outer stack, 30 apart.
    layout->addWidget(titleLabel());
    layout->addWidget(descLabel());

    layout->addSpacing(20);
    layout->addWidget(button(), 0, Qt::AlignHCenter);
    layout->addStretch();
}

} // namespace qv
