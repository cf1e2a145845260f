#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QTest>

#include <gtest/gtest.h>

#include "core/localization.h"
#include "core/permissionmonitor.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"
#include "support/screenshot.h"
#include "support/textfit.h"
#include "views/onboarding/finalslide.h"
#include "views/onboarding/onboardingview.h"
#include "views/onboarding/pagedots.h"
#include "views/onboarding/permissionslide.h"
#include "views/onboarding/slidebutton.h"
#include "views/onboarding/welcomeslide.h"

using namespace qv;

namespace {

// A desktop without settings pages, as X11 is.
class NoPagesProbe final : public PermissionProbe
{
public:
    bool screenCapturePreflight() override { return false; }
    bool isAccessibilityTrusted() override { return true; }
    bool canListenToKeyEvents() override { return false; }
    bool hasSettingsPages() const override { return false; }
    bool openSettingsPage(const QString &) override { return ++opened, false; }
    void requestScreenCapture() override {}
    int opened = 0;
};

class OnboardingViewTest : public ::testing::Test
{
protected:
    OnboardingViewTest()
    {
        permissions.screenCapture = false;
        permissions.accessibility = false;
        permissions.inputMonitoring = false;
    }

    std::unique_ptr<OnboardingView> makeView(PermissionProbe &probe)
    {
        auto view = std::make_unique<OnboardingView>(
            probe, settings, scheduler, [this] { ++relaunches; }, [this] { ++completions; });
        view->show();
        return view;
    }
    std::unique_ptr<OnboardingView> makeView() { return makeView(permissions); }

    SimPermissions permissions;
    SettingsStore settings;
    ManualScheduler scheduler;
    int relaunches = 0;
    int completions = 0;
};

struct AdvanceRow
{
    const char *name;
    bool screenAtStart;
    int tab;
    bool screen; // the values the next poll reads
    bool accessibility;
    bool input;
    int expectedTab;
};

class OnboardingAdvance : public OnboardingViewTest, public ::testing::WithParamInterface<AdvanceRow>
{
};

} // namespace

TEST_P(OnboardingAdvance, MovesOnlyWhenTheShownSlidesPermissionIsGranted)
{
    const AdvanceRow row = GetParam();
    permissions.screenCapture = row.screenAtStart;
    auto view = makeView();
    view->setCurrentTab(row.tab);
    permissions.screenCapture = row.screen;
    permissions.accessibility = row.accessibility;
    permissions.inputMonitoring = row.input;
    scheduler.advance(0.5);
    EXPECT_EQ(view->currentTab(), row.expectedTab);
    // Every slide shows the state read, whether it moved or not.
    EXPECT_EQ(view->permissionSlide(1)->showsGrantedState(), row.screen);
    EXPECT_EQ(view->permissionSlide(2)->showsGrantedState(), row.accessibility);
}

INSTANTIATE_TEST_SUITE_P(Rows, OnboardingAdvance,
                         ::testing::Values(AdvanceRow{"grantShown", false, 1, true, false, false, 2},
                                           AdvanceRow{"grantedBeforeOpening", true, 1, true, false, false, 1},
                                           AdvanceRow{"grantOtherSlide", false, 1, false, true, false, 1},
                                           AdvanceRow{"revoked", true, 1, false, false, false, 1},
                                           AdvanceRow{"grantOnWelcome", false, 0, true, true, true, 0},
                                           AdvanceRow{"grantInputShown", false, 3, false, false, true, 4}),
                         [](const auto &info) { return std::string(info.param.name); });

// Each permission slide's Continue and Skip lead to the slide after it, never past one.
TEST_F(OnboardingViewTest, ContinueAndSkipOfEachPermissionSlideLeadToTheNextSlide)
{
    auto view = makeView();
    for (int slide = 1; slide <= 3; ++slide) {
        PermissionSlide &shown = *view->permissionSlide(slide);
        for (SlideButton *button : {shown.continueButton(), shown.skipButton()}) {
            ASSERT_NE(button, nullptr) << "slide " << slide;
            view->setCurrentTab(slide);
            scheduler.advance(1);
            button->click();
            scheduler.advance(1);
            EXPECT_EQ(view->currentTab(), slide + 1) << "'" << button->text().toStdString() << "' on slide "
                                                     << slide << " led to slide " << view->currentTab();
        }
    }
}

TEST_F(OnboardingViewTest, DotJumpsToTheEndAndItsButtonFinishesWithoutAnyGrant)
{
    auto view = makeView();
    PageDots &dots = *view->pageDots();
    QTest::mouseClick(&dots, Qt::LeftButton, {}, dots.dotCenter(4));
    EXPECT_EQ(view->currentTab(), 4);
    QTest::mouseClick(&dots, Qt::LeftButton, {}, dots.dotCenter(2));
    EXPECT_EQ(view->currentTab(), 2);
    view->setCurrentTab(4);

    view->finalSlide()->button()->click();
    scheduler.advance(0.37);
    EXPECT_EQ(completions, 0);
    EXPECT_LT(view->dismissOpacity(), 0.2);
    scheduler.advance(0.02);
    EXPECT_EQ(completions, 1);
    scheduler.advance(2);
    EXPECT_EQ(completions, 1);
    EXPECT_DOUBLE_EQ(view->dismissScale(), 0.8);
    EXPECT_DOUBLE_EQ(view->dismissOpacity(), 0.0);
    // Pressed twice, finished once.
    view->finishOnboarding();
    scheduler.advance(1);
    EXPECT_EQ(completions, 1);
}

TEST_F(OnboardingViewTest, EveryTextFollowsALiveLanguageSwitch)
{
    auto view = makeView();
    EXPECT_EQ(view->welcomeSlide()->title(), QStringLiteral("Welcome to Quorvantis"));
    settings.set(Settings::appLanguage, QStringLiteral("Deutsch"));
    EXPECT_EQ(view->welcomeSlide()->title(), QStringLiteral("Willkommen bei Quorvantis"));
    EXPECT_EQ(view->permissionSlide(1)->title(), QStringLiteral("Bildschirmaufnahme"));
    EXPECT_EQ(view->permissionSlide(3)->title(), QStringLiteral("Eingabeüberwachung"));
    EXPECT_EQ(view->finalSlide()->title(), QStringLiteral("Alles bereit!"));
    settings.set(Settings::customFlags, int(keyCommandFlag)); // the last slide names it as it is in force
    EXPECT_TRUE(view->finalSlide()->desc().contains(QStringLiteral("Mit Super + Tab wechselst du")));
    EXPECT_EQ(view->permissionSlide(2)->openSettingsButton()->text(),
              Localization::text(u"ob_open_settings", AppLanguage::german));
    view->setCurrentTab(1);
    scheduler.advance(1);
    saveScreenshot(*view, QStringLiteral("onboarding_1_screen_de"));
}

// The fades of the slide's blocks were declared but never built: blocks appeared and vanished.
TEST_F(OnboardingViewTest, BlocksThatAppearFadeInOnTheScheduler)
{
    auto view = makeView();
    PermissionSlide &screen = *view->permissionSlide(1);
    screen.openSettingsButton()->click();
    EXPECT_LT(screen.blockOpacity(screen.restartBlock()), 0.05);
    scheduler.advance(PermissionSlide::blockFadeDuration / 2);
    const double halfway = screen.blockOpacity(screen.restartBlock());
    EXPECT_GT(halfway, 0.1);
    EXPECT_LT(halfway, 0.9);
    scheduler.advance(PermissionSlide::blockFadeDuration);
    EXPECT_DOUBLE_EQ(screen.blockOpacity(screen.restartBlock()), 1.0);

    permissions.screenCapture = true;
    for (int step = 0; step < 40 && !screen.showsGrantedState(); ++step)
        scheduler.advance(0.025);
    ASSERT_TRUE(screen.showsGrantedState());
    EXPECT_LT(screen.blockOpacity(screen.grantedBlock()), 1.0);
    scheduler.advance(PermissionSlide::blockFadeDuration + 0.05);
    EXPECT_DOUBLE_EQ(screen.blockOpacity(screen.grantedBlock()), 1.0);
}

// A block whose fade another block's fade cuts short ends where it was going, fully shown: the
// restart block, cut short by a grant, shows again whole when the grant is taken back.
TEST_F(OnboardingViewTest, ABlockWhoseFadeIsCutShortEndsFullyShown)
{
    auto view = makeView();
    PermissionSlide &screen = *view->permissionSlide(1);
    screen.openSettingsButton()->click();
    scheduler.advance(PermissionSlide::blockFadeDuration / 4);
    ASSERT_LT(screen.blockOpacity(screen.restartBlock()), 0.9);
    screen.setGranted(true);
    scheduler.advance(PermissionSlide::blockFadeDuration + 0.05);
    screen.setGranted(false);
    scheduler.advance(PermissionSlide::blockFadeDuration + 0.05);
    ASSERT_TRUE(screen.showsRestartBlock());
    const auto *effect =
        qobject_cast<const QGraphicsOpacityEffect *>(screen.restartBlock()->graphicsEffect());
    EXPECT_DOUBLE_EQ(effect ? effect->opacity() : 1.0, 1.0)
        << "the restart block, its fade cut short by the granted block's, stayed half transparent";
}

TEST_F(OnboardingViewTest, SettingsPagesOpenAndTheRestartBlockShowsOnlyAfterwardsOnTheScreenSlide)
{
    auto view = makeView();
    PermissionSlide &screen = *view->permissionSlide(1);
    PermissionSlide &access = *view->permissionSlide(2);
    EXPECT_FALSE(screen.showsRestartBlock());

    screen.openSettingsButton()->click();
    EXPECT_EQ(permissions.screenCaptureRequests, 1);
    EXPECT_TRUE(permissions.openedSettingsPages.isEmpty());
    scheduler.advance(0.5);
    EXPECT_EQ(permissions.openedSettingsPages,
              QStringList{QString::fromLatin1(OnboardingView::screenRecordingAddress)});
    EXPECT_TRUE(screen.showsRestartBlock());
    view->setCurrentTab(1);
    scheduler.advance(1);
    saveScreenshot(*view, QStringLiteral("onboarding_1_screen_restart"));
    screen.restartButton()->click();
    EXPECT_EQ(relaunches, 1);

    access.openSettingsButton()->click();
    EXPECT_EQ(permissions.openedSettingsPages.last(),
              QString::fromLatin1(OnboardingView::accessibilityAddress));
    EXPECT_TRUE(access.hasClickedSettings());
    EXPECT_FALSE(access.showsRestartBlock());
    EXPECT_FALSE(view->permissionSlide(3)->showsPrivacyNote());
    EXPECT_TRUE(access.showsPrivacyNote());

    // Granted: the check mark, the granted text and Continue; the buttons go.
    permissions.screenCapture = true;
    scheduler.advance(0.5);
    EXPECT_EQ(screen.shownSymbol(), QStringLiteral("checkmark.circle.fill"));
    EXPECT_TRUE(screen.showsGrantedState());
    EXPECT_FALSE(screen.showsRestartBlock());
}

TEST_F(OnboardingViewTest, WithoutSettingsPagesTheSlidesExplainWhatTheDesktopNeeds)
{
    NoPagesProbe probe;
    auto view = makeView(probe);
    for (int slide = 1; slide <= 3; ++slide) {
        EXPECT_EQ(view->permissionSlide(slide)->openSettingsButton(), nullptr);
        EXPECT_NE(view->permissionSlide(slide)->skipButton(), nullptr);
    }
    view->setCurrentTab(1);
    EXPECT_FALSE(view->permissionSlide(1)->showsRestartBlock());
    scheduler.advance(1);
    saveScreenshot(*view, QStringLiteral("onboarding_1_screen_x11"));
    view->setCurrentTab(2);
    scheduler.advance(1);
    saveScreenshot(*view, QStringLiteral("onboarding_2_access_x11_granted"));
    view->setCurrentTab(3);
    scheduler.advance(1);
    saveScreenshot(*view, QStringLiteral("onboarding_3_input_x11"));
    EXPECT_EQ(probe.opened, 0);
}

// Every slide in every language: every text, control and picture shows whole.
TEST_F(OnboardingViewTest, EverySlideFitsInEveryLanguage)
{
    auto view = makeView();
    for (const AppLanguage language : allAppLanguages) {
        settings.set(Settings::appLanguage, rawValue(language));
        const QString code = Localization::languageCode(language).toString();
        for (int tab = 0; tab < OnboardingView::slideCount; ++tab) {
            view->setCurrentTab(tab);
            scheduler.advance(1);
            QApplication::processEvents();
            EXPECT_EQ(cutTexts(*view).join(u'\n').toStdString(), "") << qPrintable(code) << " slide " << tab;
            if (code == "ja" || code == "fr")
                saveScreenshot(*view, QStringLiteral("onboarding_%1_%2").arg(tab).arg(code));
        }
    }
}

TEST_F(OnboardingViewTest, ScreenshotsOfEverySlide)
{
    auto view = makeView();
    const char *names[] = {"onboarding_0_welcome", "onboarding_1_screen", "onboarding_2_access",
                           "onboarding_3_input", "onboarding_4_ready"};
    for (int tab = 0; tab < OnboardingView::slideCount; ++tab) {
        view->setCurrentTab(tab);
        scheduler.advance(1);
        saveScreenshot(*view, QString::fromLatin1(names[tab]));
    }
    EXPECT_EQ(view->currentTab(), 4);
}
