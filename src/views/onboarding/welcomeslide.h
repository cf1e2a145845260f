#pragma once

#include "views/onboarding/buttonslide.h"

namespace qv {

class Scheduler;

// The first slide: the program's symbol, a greeting and the button that starts the walk-through.
class WelcomeSlide : public ButtonSlide
{
    Q_OBJECT
public:
    WelcomeSlide(Scheduler &scheduler, std::function<void()> action, QWidget *parent = nullptr);
};

} // namespace qv
