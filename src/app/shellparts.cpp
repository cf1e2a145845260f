#include "app/shellparts.h"

namespace qv {

namespace {

class NoOverlay final : public OverlayPresenter
{
public:
    void setupOverlayWindow() override {}
    void setupGlobalOverlayWindow() override {}
    void setupPeekingWindow() override {}
    void setupBindings(DockMonitor &, WindowEngine &) override {}
    void startMouseCheckTimer() override {}
    void hideOverlay(bool) override {}
};

class NoStatusItem final : public StatusItem
{
public:
    void setupStatusItem() override {}
};

class NoOnboarding final : public OnboardingPresenter
{
public:
    void showOnboarding() override {}
    bool isOpen() const override { return false; }
};

} // namespace

ShellParts ShellParts::standIns(std::unique_ptr<Relocator> relocation)
{
    return {std::move(relocation), std::make_unique<NoOverlay>(),
            std::make_unique<NoStatusItem>(), std::make_unique<NoOnboarding>()};
}

} // namespace qv
