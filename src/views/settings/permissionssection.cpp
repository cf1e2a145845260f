#include "views/settings/permissionssection.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "core/color.h"
#include "core/localization.h"
#include "platform/permissions.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/onboarding/onboardingview.h"
#include "views/onboarding/slidebutton.h"

namespace qv {

namespace {

} // namespace

PermissionsSection::PermissionsSection(PermissionProbe &probe, Scheduler &scheduler, AppLanguage language,
                                       QWidget *parent)
    : CardFrame(Theme::white(0.05), Theme::white(0.1), 12, parent), m_probe(probe)
{
    const auto text = [language](const char *key) { return settingsText(key, language); };
    // Where there is no settings page to open, the rows say what the desktop needs, as the first-run
    // window does.
    const bool pages = probe.hasSettingsPages();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);
    layout->addWidget(settingsLabel(text("permissions_title"), 14, QFont::Bold, Theme::white(0.8), this));
    m_rows[0] = makeRow(text("perm_screen_recording"), text(pages ? "perm_screen_desc" : "ob_screen_desc_x11"),
                        pages ? OnboardingView::screenRecordingAddress : nullptr);
    m_rows[1] = makeRow(text("perm_accessibility"), text(pages ? "perm_access_desc" : "ob_access_desc_x11"),
                        pages ? OnboardingView::accessibilityAddress : nullptr);

    auto *note = new QWidget(this);
    auto *noteLayout = new QHBoxLayout(note);
    noteLayout->setContentsMargins(0, 4, 0, 0);
    noteLayout->setSpacing(6);
    noteLayout->addWidget(settingsSymbol(QStringLiteral("lock.shield.fill"), 10, Color::neonGreen(), note));
    noteLayout->addWidget(settingsLabel(text("privacy_note"), 10, QFont::Normal, Theme::white(0.5), note));
    noteLayout->addStretch();
    layout->addWidget(note);

    checkPermissions();
    m_poll = scheduler.every(pollInterval, [this] { checkPermissions(); });
}

PermissionsSection::~PermissionsSection()
{
    m_poll.cancel();
}

PermissionsSection::Row PermissionsSection::makeRow(const QString &title, const QString &desc,
                                                    const char *address)
{
    auto *rowWidget = new QWidget(this);
    auto *row = new QHBoxLayout(rowWidget);
    row->setContentsMargins(0, 0, 0, 0);
    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(settingsLabel(title, 13, QFont::Medium, Qt::white, rowWidget));
    QLabel *descLabel = settingsLabel(desc, 11, QFont::Normal, Theme::white(0.5), rowWidget);
    descLabel->setWordWrap(true);
    texts->addWidget(descLabel);
    row->addLayout(texts, 1);

    Row result;
    auto *badge = new CardFrame(withAlpha(Color::neonGreen(), 0.1), QColor(), 8, rowWidget);
    auto *badgeLayout = new QHBoxLayout(badge);
    badgeLayout->setContentsMargins(10, 4, 10, 4);
    badgeLayout->setSpacing(4);
    badgeLayout->addWidget(
        settingsSymbol(QStringLiteral("checkmark.circle.fill"), 12, Color::neonGreen(), badge));
    badgeLayout->addWidget(settingsLabel(QStringLiteral("OK"), 12, QFont::Bold, Color::neonGreen(), badge));
    row->addWidget(badge, 0, Qt::AlignVCenter);
    result.badge = badge;

    if (address) {
        result.openSettings = new SlideButton({Theme::systemFont(11, QFont::Medium), Qt::white,
                                               withAlpha(Color::neonRed(), 0.8), QColor(), 8,
                                               QMargins(10, 4, 10, 4), QColor(), 0},
                                              rowWidget);
        result.openSettings->setText(QStringLiteral("Open Settings"));
        connect(result.openSettings, &SlideButton::clicked, this,
                [this, address] { m_probe.openSettingsPage(QString::fromLatin1(address)); });
        row->addWidget(result.openSettings, 0, Qt::AlignVCenter);
    } else {
        result.missingMark =
            settingsSymbol(QStringLiteral("xmark.circle.fill"), 16, Color::neonRed(), rowWidget);
        row->addWidget(result.missingMark, 0, Qt::AlignVCenter);
    }
    static_cast<QVBoxLayout *>(layout())->addWidget(rowWidget);
    return result;
}

void PermissionsSection::showRow(Row &row, bool granted)
{
    row.badge->setVisible(granted);
    if (row.openSettings)
        row.openSettings->setVisible(!granted);
    if (row.missingMark)
        row.missingMark->setVisible(!granted);
}

void PermissionsSection::checkPermissions()
{
    m_screenGranted = m_probe.screenCapturePreflight();
    m_accessibilityGranted = m_probe.isAccessibilityTrusted();
    showRow(m_rows[0], m_screenGranted);
    showRow(m_rows[1], m_accessibilityGranted);
}

bool PermissionsSection::showsBadge(int row) const
{
    return !m_rows[row].badge->isHidden();
}

SlideButton *PermissionsSection::openSettingsButton(int row) const
{
    return m_rows[row].openSettings;
}

} // namespace qv
