#include "views/settings/generalsettingssection.h"

#include <QAbstractButton>
#include <QActionGroup>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <memory>

#include "core/localization.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "dock/keyboardshortcut.h"
#include "ui/menulook.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/settings/glasstoggle.h"
#include "views/settings/permissionssection.h"
#include "views/settings/settingswidgets.h"

namespace qv {

namespace {

// The language row: a glass card like the toggles', with the picker on the right.
class GlassCardRow : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        GlassToggle::paintGlassCard(painter, rect());
    }
};

// The language menu's button: the current language's name and an up-down chevron on a rounded fill.
class LanguageButton : public QAbstractButton
{
public:
    LanguageButton(const QString &name, QWidget *parent) : QAbstractButton(parent)
    {
        setText(name);
        setFont(Theme::systemFont(13, QFont::Medium));
        setCursor(Qt::PointingHandCursor);
    }
    QSize sizeHint() const override
    {
        const QFontMetrics metrics(font());
        return QSize(12 + metrics.horizontalAdvance(text()) + 6 + chevronSize + 12, metrics.height() + 12);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
        painter.fillPath(shape, Theme::white(isDown() ? 0.15 : 0.1));
        painter.setPen(QPen(Theme::white(0.2), 1));
        painter.drawPath(shape);
        painter.setPen(Qt::white);
        painter.drawText(QRectF(12, 0, width() - 30 - chevronSize, height()), Qt::AlignLeft | Qt::AlignVCenter,
                         text());
        painter.drawPixmap(QPointF(width() - 12 - chevronSize, (height() - chevronSize) / 2.0),
                           Symbols::pixmap(QStringLiteral("chevron.up.chevron.down"), chevronSize, Qt::white,
                                           devicePixelRatioF()));
    }

private:
    static constexpr int chevronSize = 10;
};

} // namespace

GeneralSettingsSection::GeneralSettingsSection(SettingsStore &settings, Scheduler &scheduler,
                                               PermissionProbe &probe, AppLanguage language,
                                               std::function<void(bool)> setLaunchAtLogin, QWidget *parent)
    : SettingsPage(parent), m_settings(settings)
{
    const auto text = [language](const char *key) { return settingsText(key, language); };
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);
    m_permissions = new PermissionsSection(probe, scheduler, language, this);
    layout->addWidget(m_permissions);
    const auto toggle = [&](const SettingKey<bool> &key, const char *label,
                            GlassToggle::Reader read = nullptr) {
        GlassToggle *t = GlassToggle::bound(settings, key, text(label), scheduler, this, read);
        m_toggles.append(t);
        return t;
    };
    layout->addWidget(toggle(Settings::launchAtLogin, "launch_at_login"));
    layout->addWidget(toggle(Settings::showMenuBarIcon, "show_menubar_icon"));
    // The switch shows what the hotkey does with the stored value.
    layout->addWidget(toggle(Settings::enableGlobalSwitcher, "enable_global_switcher",
                             KeyboardShortcut::globalSwitcherEnabled));
    layout->addWidget(settingsDivider(this));
    layout->addWidget(toggle(Settings::ignoreSingleWindow, "ignore_single_window"));
    layout->addWidget(toggle(Settings::showOnlyCurrentSpace, "current_space_only"));
    layout->addWidget(toggle(Settings::sortMinimizedLast, "sort_minimized_last"));
    layout->addWidget(settingsDivider(this));

    auto *masking = new QVBoxLayout;
    masking->setSpacing(6);
    masking->addWidget(toggle(Settings::maskSensitiveClipboard, "mask_sensitive_title"));
    QLabel *maskNote = settingsLabel(text("mask_sensitive_desc"), 11, QFont::Normal, Theme::white(0.45), this);
    maskNote->setWordWrap(true);
    maskNote->setContentsMargins(14, 0, 14, 0);
    masking->addWidget(maskNote);
    layout->addLayout(masking);
    layout->addWidget(settingsDivider(this));

    auto *languageRow = new GlassCardRow(this);
    auto *row = new QHBoxLayout(languageRow);
    row->setContentsMargins(12, 12, 12, 12);
    row->addWidget(settingsLabel(text("language_label"), 14, QFont::Medium, Theme::white(0.9), languageRow));
    row->addStretch();
    const AppLanguage stored = Localization::storedLanguage(settings);
    m_languageButton = new LanguageButton(rawValue(stored), languageRow);
    connect(m_languageButton, &QAbstractButton::clicked, this, [this] {
        QMenu *menu = languageMenu().release();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(m_languageButton->mapToGlobal(QPoint(0, m_languageButton->height())));
    });
    row->addWidget(m_languageButton);
    layout->addWidget(languageRow);
    layout->addStretch();

    // A change of the stored value, not the first display, carries the wish to the desktop.
    connect(&settings, &SettingsStore::changed, this, [this, setLaunchAtLogin](const QString &key) {
        if (key == Settings::launchAtLogin.key() && setLaunchAtLogin)
            setLaunchAtLogin(m_settings.get(Settings::launchAtLogin));
    });
}

std::unique_ptr<QMenu> GeneralSettingsSection::languageMenu()
{
    auto menu = std::make_unique<QMenu>(this);
    menu->setObjectName(QStringLiteral("languageMenu"));
    applyMenuLook(*menu);
    auto *group = new QActionGroup(menu.get());
    const AppLanguage stored = Localization::storedLanguage(m_settings);
    for (const AppLanguage language : allAppLanguages) {
        QAction *action = menu->addAction(rawValue(language));
        action->setCheckable(true);
        action->setChecked(language == stored);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, language] { chooseLanguage(language); });
    }
    return menu;
}

void GeneralSettingsSection::chooseLanguage(AppLanguage language)
{
    if (language == Localization::storedLanguage(m_settings))
        return;
    m_settings.set(Settings::appLanguage, rawValue(language));
    m_settings.set(Settings::hasUserChosenAppLanguage, true);
}

} // namespace qv
