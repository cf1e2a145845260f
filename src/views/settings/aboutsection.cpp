#include "views/settings/aboutsection.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/color.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/settings/contactsection.h"
#include "views/settings/settingswidgets.h"
#include "views/settings/teamorbitview.h"

namespace qv {

namespace {

// The logo: the hexagon grid in a cyan-to-purple gradient with a cyan glow.
class Logo : public QWidget
{
public:
    explicit Logo(QWidget *parent) : QWidget(parent) { setFixedSize(sizeHint()); }
    QSize sizeHint() const override { return QSize(48, 48); }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const double dpr = devicePixelRatioF();
        QImage mask =
            Symbols::pixmap(QStringLiteral("circle.hexagongrid.fill"), 32, Qt::white, dpr).toImage();
        QImage tinted(mask.size(), QImage::Format_ARGB32_Premultiplied);
        tinted.setDevicePixelRatio(dpr);
        tinted.fill(Qt::transparent);
        QPainter tint(&tinted);
        QLinearGradient gradient(0, 0, 32, 32);
        gradient.setColorAt(0, Color::neonCyan());
        gradient.setColorAt(1, Color::neonPurple());
        tint.fillRect(QRectF(0, 0, 32, 32), gradient);
        tint.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        tint.drawImage(QPointF(0, 0), mask);
        tint.end();
        const QPointF at((width() - 32) / 2.0, (height() - 32) / 2.0);
        QRadialGradient glow(QRectF(at, QSizeF(32, 32)).center(), 24);
        glow.setColorAt(0, withAlpha(Color::neonCyan(), 0.5));
        glow.setColorAt(1, Qt::transparent);
        painter.fillRect(rect(), glow);
        painter.drawImage(at, tinted);
    }
};

} // namespace

QString AboutSection::supportAddress()
{
    return ContactSection::supportAddress();
}

QUrl AboutSection::websiteURL()
{
    return QUrl(QStringLiteral("https://quorvantis.example.org/"));
}

QString AboutSection::versionText(const QString &version)
{
    return QStringLiteral("Version ") + (version.isEmpty() ? QStringLiteral("\u2013") : version);
}

AboutSection::AboutSection(AppLanguage language, Scheduler &scheduler,
                           std::function<void(const QUrl &)> openURL, QWidget *parent)
    : SettingsPage(parent)
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *card = new CardFrame(Theme::white(0.04), Theme::white(0.08), 16, this);
    auto *column = new QVBoxLayout(card);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(20);
    outer->addWidget(card);

    auto *identity = new QHBoxLayout;
    identity->setSpacing(16);
    auto *logo = new Logo(card);
    logo->setObjectName(QStringLiteral("logo"));
    identity->addWidget(logo);
    auto *names = new QVBoxLayout;
    names->setSpacing(4);
    names->addWidget(settingsLabel(QStringLiteral("Quorvantis"), 20, QFont::Bold, Qt::white, card));
    QLabel *version = settingsLabel(versionText(QCoreApplication::applicationVersion()), 13, QFont::Normal,
                                    Theme::white(0.5), card);
    version->setObjectName(QStringLiteral("version"));
    names->addWidget(version);
    // A long requirement line wraps rather than take the logo's room.
    QLabel *requirement =
        settingsLabel(settingsText("about_sysreq", language), 12, QFont::Normal, Theme::white(0.35), card);
    requirement->setObjectName(QStringLiteral("requirement"));
    requirement->setWordWrap(true);
    names->addWidget(requirement);
    identity->addLayout(names, 1);
    column->addLayout(identity);
    column->addWidget(settingsHairline(Theme::white(0.15), card));

    auto *support = new QHBoxLayout;
    support->setContentsMargins(0, 4, 0, 4);
    support->setSpacing(10);
    support->addWidget(
        settingsSymbol(QStringLiteral("envelope.fill"), 13, withAlpha(Color::neonCyan(), 0.7), card));
    auto *supportText = new QVBoxLayout;
    supportText->setSpacing(2);
    QLabel *supportLabel = settingsLabel(settingsText("about_support", language).toUpper(), 11,
                                         QFont::DemiBold, Theme::white(0.4), card);
    supportLabel->setObjectName(QStringLiteral("supportLabel"));
    QFont spaced = supportLabel->font();
    spaced.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
    supportLabel->setFont(spaced);
    supportText->addWidget(supportLabel);
    auto *mail = new QPushButton(supportAddress(), card);
    mail->setObjectName(QStringLiteral("supportLink"));
    mail->setFlat(true);
    mail->setCursor(Qt::PointingHandCursor);
    mail->setFont(Theme::systemFont(13, QFont::Medium));
    mail->setStyleSheet(
        QStringLiteral("QPushButton { color: %1; border: none; text-align: left; padding: 0; }")
            .arg(Color::neonCyan().name()));
    connect(mail, &QPushButton::clicked, this, [openURL] {
        if (openURL)
            openURL(QUrl(QStringLiteral("mailto:") + supportAddress()));
    });
    supportText->addWidget(mail, 0, Qt::AlignLeft);
    support->addLayout(supportText, 1);
    column->addLayout(support);
    column->addWidget(settingsHairline(Theme::white(0.15), card));

    auto *website = new QPushButton(card);
    website->setObjectName(QStringLiteral("website"));
    website->setCursor(Qt::PointingHandCursor);
    website->setFlat(true);
    website->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 8px 0; }"));
    auto *websiteRow = new QHBoxLayout(website);
    websiteRow->setContentsMargins(0, 8, 0, 8);
    QLabel *visit =
        settingsLabel(settingsText("visit_website", language), 14, QFont::Medium, Color::neonCyan(), website);
    visit->setAttribute(Qt::WA_TransparentForMouseEvents);
    // The button's style sheet would otherwise paint the label in its own text colour.
    visit->setStyleSheet(QStringLiteral("color: %1;").arg(Color::neonCyan().name()));
    websiteRow->addWidget(visit);
    websiteRow->addStretch();
    QLabel *arrow = settingsSymbol(QStringLiteral("arrow.up.forward.app"), 14, Color::neonCyan(), website);
    arrow->setAttribute(Qt::WA_TransparentForMouseEvents);
    websiteRow->addWidget(arrow);
    website->setMinimumHeight(visit->sizeHint().height() + 16);
    connect(website, &QPushButton::clicked, this, [openURL] {
        if (openURL)
            openURL(websiteURL());
    });
    column->addWidget(website);
    column->addWidget(settingsHairline(Theme::white(0.15), card));

    m_orbit = new TeamOrbitView(TeamOrbitView::defaultTeam(), scheduler, card);
    column->addSpacing(10);
    column->addWidget(m_orbit);
    column->addSpacing(10);
    outer->addStretch();
}

} // namespace qv
