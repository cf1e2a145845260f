#include "views/onboarding/onboardingview.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QRadialGradient>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

#include "core/color.h"
#include "core/localization.h"
#include "core/permissionmonitor.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "dock/keyboardshortcut.h"
#include "platform/permissions.h"
#include "runtime/scheduler.h"
#include "ui/dockglassbackground.h"
#include "ui/spring.h"
#include "views/onboarding/finalslide.h"
#include "views/onboarding/pagedots.h"
#include "views/onboarding/permissionslide.h"
#include "views/onboarding/welcomeslide.h"

namespace qv {

namespace {

constexpr int windowWidth = 600;
constexpr int windowHeight = 450;
constexpr double backdropBlur = 40;
constexpr double screenSettingsDelay = 0.5;
constexpr double completeDelay = 0.38;
constexpr double dismissResponse = 0.35;
constexpr double dismissDamping = 0.75;
constexpr double dismissedScale = 0.8;
constexpr double tabResponse = 0.4;
constexpr double tabDamping = 0.8;

// A soft disc of `color` at 0.15, 300 wide, blurred by 60: drawn as a radial fade.
void paintGlow(QPainter &painter, const QPointF &center, const QColor &color)
{
    constexpr double radius = 150;
    constexpr double blur = 60;
    QRadialGradient gradient(center, radius + blur);
    QColor inner = color;
    inner.setAlphaF(0.15f);
    QColor outer = color;
    outer.setAlphaF(0);
    gradient.setColorAt(0, inner);
    gradient.setColorAt((radius - blur) / (radius + blur), inner);
    gradient.setColorAt(1, outer);
    painter.fillRect(QRectF(center.x() - radius - blur, center.y() - radius - blur, 2 * (radius + blur),
                            2 * (radius + blur)),
                     gradient);
}

} // namespace

OnboardingView::OnboardingView(PermissionProbe &probe, SettingsStore &settings, Scheduler &scheduler,
                               std::function<void()> relaunch, std::function<void()> onComplete,
                               QWidget *parent)
    : QWidget(parent), m_probe(probe), m_settings(settings), m_scheduler(scheduler),
      m_onComplete(std::move(onComplete)), m_monitor(new PermissionMonitor(probe, scheduler, this)),
      m_slideChange(scheduler), m_dismiss(scheduler)
{
    setFixedSize(windowWidth, windowHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);

    m_content = new QWidget(this);
    m_content->setGeometry(rect());
    m_slides = new QStackedWidget(m_content);
    m_slides->setGeometry(rect());

    const auto goTo = [this](int index) { return [this, index] { setCurrentTab(index); }; };
    m_welcome = new WelcomeSlide(scheduler, goTo(1), m_slides);
    m_slides->addWidget(m_welcome);

    // Without settings pages (X11) there is nothing to open: the slides explain instead.
    const bool pages = probe.hasSettingsPages();
    const auto opener = [this](const char *address) {
        return [this, address] { m_probe.openSettingsPage(QString::fromLatin1(address)); };
    };
    const std::array<PermissionSlide::Actions, 3> actions{{
        {pages ? std::function<void()>([this] { requestScreenRecording(); }) : nullptr, std::move(relaunch),
         goTo(2), goTo(2)},
        {pages ? std::function<void()>(opener(accessibilityAddress)) : nullptr, nullptr, goTo(3), goTo(3)},
        {pages ? std::function<void()>(opener(inputMonitoringAddress)) : nullptr, nullptr, goTo(4), goTo(4)},
    }};
    const std::array<const char *, 3> icons{"rectangle.dashed.badge.record", "hand.point.up.left.fill",
                                            "keyboard.fill"};
    for (size_t i = 0; i < 3; ++i) {
        m_permissions[i] =
            new PermissionSlide(scheduler, QString::fromLatin1(icons[i]), actions[i], m_slides);
        m_slides->addWidget(m_permissions[i]);
    }
    m_final = new FinalSlide(
        scheduler, [this] { finishOnboarding(); }, m_slides);
    m_slides->addWidget(m_final);

    m_leavingSlide = new QLabel(m_content);
    m_leavingSlide->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_leavingSlide->setGeometry(rect());
    m_leavingOpacity = new QGraphicsOpacityEffect(m_leavingSlide);
    m_leavingSlide->setGraphicsEffect(m_leavingOpacity);
    m_leavingSlide->hide();

    m_dots = new PageDots(
        scheduler, [this](int index) { setCurrentTab(index); }, m_content);
    const QSize dots = m_dots->sizeHint();
    m_dots->setGeometry((windowWidth - dots.width()) / 2, windowHeight - 20 - dots.height(), dots.width(),
                        dots.height());

    // The monitor's first values were read before these connections: a permission granted already
    // moves nothing, only one granted while its slide shows.
    PermissionMonitor &monitor = *m_monitor;
    m_permissions[0]->setGranted(monitor.screenRecordGranted());
    m_permissions[1]->setGranted(monitor.accessibilityGranted());
    m_permissions[2]->setGranted(monitor.inputMonitoringGranted());
    connect(&monitor, &PermissionMonitor::screenRecordGrantedChanged, this,
            [this](bool granted) { advanceOnGrant(1, granted); });
    connect(&monitor, &PermissionMonitor::accessibilityGrantedChanged, this,
            [this](bool granted) { advanceOnGrant(2, granted); });
    connect(&monitor, &PermissionMonitor::inputMonitoringGrantedChanged, this,
            [this](bool granted) { advanceOnGrant(3, granted); });

    connect(&m_settings, &SettingsStore::changed, this, [this](const QString &key) {
        if (key == Settings::appLanguage.key() || key == Settings::customKeyCode.key() ||
            key == Settings::customFlags.key())
            applyTexts();
    });
    applyTexts();
}

OnboardingView::~OnboardingView()
{
    m_completeTimer.cancel();
    m_screenSettingsTimer.cancel();
}

void OnboardingView::applyTexts()
{
    const AppLanguage language = Localization::storedLanguage(m_settings);
    const auto text = [language](const char *key) {
        return Localization::text(QLatin1String(key), language);
    };
    // Texts that name what the other desktop's settings grant have a Linux wording on X11.
    const bool pages = m_probe.hasSettingsPages();
    const auto desc = [&](const char *key) {
        return pages ? text(key) : text(QByteArray(key).append("_x11").constData());
    };

    m_welcome->setTexts(text("ob_welcome"), text("ob_welcome_desc"), text("ob_get_started"));
    PermissionSlide::Texts common{{},
                                  {},
                                  text("ob_granted"),
                                  text("ob_continue"),
                                  text("ob_open_settings"),
                                  text("ob_skip"),
                                  std::nullopt,
                                  std::nullopt,
                                  std::nullopt};
    PermissionSlide::Texts screen = common;
    screen.title = text("ob_screen_recording");
    screen.desc = desc("ob_screen_desc");
    screen.privacyNote = text("ob_privacy_screen");
    screen.restartHint = text("ob_restart_hint");
    screen.restartButtonText = text("ob_restart_app");
    m_permissions[0]->setTexts(screen);
    PermissionSlide::Texts access = common;
    access.title = text("ob_accessibility");
    access.desc = desc("ob_access_desc");
    access.privacyNote = text("ob_privacy_access");
    m_permissions[1]->setTexts(access);
    PermissionSlide::Texts input = common;
    input.title = text("ob_input_monitoring");
    input.desc = desc("ob_input_desc");
    m_permissions[2]->setTexts(input);
    // The last slide names the switcher's shortcut in force.
    m_final->setTexts(
        text("ob_ready"),
        KeyboardShortcut::namingSwitcher(
            text("ob_ready_desc"), KeyboardShortcut::read(m_settings, KeyboardShortcut::switcherKeys())),
        text("ob_start_btn"));
}

void OnboardingView::setCurrentTab(int index)
{
    if (index < 0 || index >= slideCount || m_finishing)
        return;
    if (index != m_currentTab && isVisible()) {
        m_leavingSlide->setPixmap(m_slides->currentWidget()->grab());
        m_leavingOpacity->setOpacity(1);
        m_leavingSlide->show();
        m_leavingSlide->raise();
        m_dots->raise();
        m_slideChange.start(
            1, 0, springSettlingTime(tabResponse, tabDamping), Animation::spring(tabResponse, tabDamping),
            [this](double opacity) { m_leavingOpacity->setOpacity(std::clamp(opacity, 0.0, 1.0)); },
            [this] { m_leavingSlide->hide(); });
    }
    m_currentTab = index;
    m_slides->setCurrentIndex(index);
    m_dots->setCurrent(index);
}

void OnboardingView::advanceOnGrant(int slide, bool granted)
{
    m_permissions[size_t(slide - 1)]->setGranted(granted);
    if (granted && m_currentTab == slide)
        setCurrentTab(slide + 1);
}

void OnboardingView::openScreenRecordingSettings()
{
    m_probe.openSettingsPage(QString::fromLatin1(screenRecordingAddress));
}

void OnboardingView::requestScreenRecording()
{
    // The desktop may show its own prompt; its page opens half a second later in every case.
    m_probe.requestScreenCapture();
    m_screenSettingsTimer.cancel();
    m_screenSettingsTimer = m_scheduler.after(screenSettingsDelay, [self = QPointer<OnboardingView>(this)] {
        if (self)
            self->openScreenRecordingSettings();
    });
}

void OnboardingView::finishOnboarding()
{
    if (m_finishing)
        return;
    m_finishing = true;
    // The content is drawn from a still picture while it shrinks and fades.
    m_dismissFrame = m_content->grab();
    m_content->hide();
    m_dismiss.start(0, 1, springSettlingTime(dismissResponse, dismissDamping),
                    Animation::spring(dismissResponse, dismissDamping), [this](double progress) {
                        m_dismissScale = 1 + (dismissedScale - 1) * progress;
                        m_dismissOpacity = std::clamp(1 - progress, 0.0, 1.0);
                        update();
                    });
    m_completeTimer = m_scheduler.after(completeDelay, [self = QPointer<OnboardingView>(this)] {
        if (self && self->m_onComplete)
            self->m_onComplete();
    });
}

void OnboardingView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath whole;
    whole.addRect(QRectF(rect()));
    // An ordinary window of its own: the glass is painted opaque.
    DockGlassBackground::paint(painter, whole, backdropBlur);
    const QPointF center(width() / 2.0, height() / 2.0);
    painter.save();
    painter.translate(center);
    painter.scale(m_dismissScale, m_dismissScale);
    painter.translate(-center);
    painter.setOpacity(m_dismissOpacity);
    paintGlow(painter, center + QPointF(-150, -100), Color::neonCyan());
    paintGlow(painter, center + QPointF(150, 100), Color::neonPurple());
    if (m_finishing)
        painter.drawPixmap(0, 0, m_dismissFrame);
    painter.restore();
}

void OnboardingView::mousePressEvent(QMouseEvent *event)
{
    // The window has no title bar: it moves by dragging its background.
    if (event->button() == Qt::LeftButton && window()->windowHandle())
        window()->windowHandle()->startSystemMove();
    QWidget::mousePressEvent(event);
}

} // namespace qv
