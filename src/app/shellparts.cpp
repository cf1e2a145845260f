#include "app/shellparts.h"

namespace qv {

namespace {

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

ShellParts ShellParts::standIns(std::unique_ptr<Relocator> relocation,
                                std::unique_ptr<OverlayPresenter> overlay)
{
    return {std::move(relocation), std::move(overlay), std::make_unique<NoStatusItem>(),
            std::make_unique<NoOnboarding>()};
}

} // namespace qv
