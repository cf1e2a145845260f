#include "app/trayicon.h"

#include <QAction>
#include <QCursor>
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLoggingCategory>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QSystemTrayIcon>

#include <algorithm>
#include <cmath>

#include "clipboard/clipboardmanager.h"
#include "core/localization.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "dock/keyboardshortcut.h"
#include "shelf/fileshelfmanager.h"
#include "ui/menulook.h"
#include "ui/symbols.h"

Q_LOGGING_CATEGORY(lcTray, "quorvantis.tray")

namespace qv {

namespace {

constexpr double fadeDuration = 0.15;
constexpr double dimmedOpacity = 0.3;
constexpr double resetDelay = 0.8;
constexpr int iconSize = 22;
// Tray hosts copy every new picture across (XEmbed repaint, D-Bus for StatusNotifierItem): a fade
// sends a new one only when the opacity crossed another twentieth.
constexpr int opacitySteps = 20;

// The keys the menu shows beside its entries; they work wherever we have the keyboard.
QKeySequence preferencesKeys()
{
    return QKeySequence(Qt::CTRL | Qt::Key_Comma);
}
QKeySequence quitKeys()
{
    return QKeySequence(Qt::CTRL | Qt::Key_Q);
}

// The symbol in white over a soft dark edge, so it reads on dark and light panels alike.
QPixmap trayPixmap(const QString &symbolName, double opacity, double dpr)
{
    const QPixmap shape = Symbols::pixmap(symbolName, iconSize - 2, Qt::white, dpr);
    const QPixmap edge = Symbols::pixmap(symbolName, iconSize - 2, QColor(0, 0, 0, 150), dpr);
    QPixmap result(qRound(iconSize * dpr), qRound(iconSize * dpr));
    result.setDevicePixelRatio(dpr);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setOpacity(opacity);
    painter.drawPixmap(QPointF(1, 2), edge);
    painter.drawPixmap(QPointF(1, 1), shape);
    return result;
}

} // namespace

TrayIcon::TrayIcon(SettingsStore &settings, Scheduler &scheduler, Actions actions, QObject *parent)
    : QObject(parent), m_settings(settings), m_scheduler(scheduler), m_actions(std::move(actions)),
      m_symbol(QString::fromLatin1(defaultIconName)), m_fade(scheduler)
{
}

TrayIcon::~TrayIcon()
{
    m_iconResetTask.cancel();
    m_fade.cancel();
    removeStatusItem();
}

void TrayIcon::setupStatusItem()
{
    if (m_observing)
        return;
    m_observing = true;
    qApp->installEventFilter(this);
    if (m_settings.get(Settings::showMenuBarIcon))
        createStatusItem();
    // Whatever key changed: the icon exists exactly when the setting is on.
    connect(&m_settings, &SettingsStore::changed, this, [this] { followShowSetting(); });
}

void TrayIcon::observeCaptures(ClipboardManager &clipboard, FileShelfManager &shelf)
{
    connect(&clipboard, &ClipboardManager::didCapture, this,
            [this] { flashStatusIcon(QString::fromLatin1(captureSymbol)); });
    connect(&shelf, &FileShelfManager::didReceiveFile, this,
            [this] { flashStatusIcon(QString::fromLatin1(fileReceivedSymbol)); });
}

void TrayIcon::followShowSetting()
{
    if (m_settings.get(Settings::showMenuBarIcon))
        createStatusItem();
    else
        removeStatusItem();
}

void TrayIcon::createStatusItem()
{
    if (m_statusItem)
        return;
    if (!QSystemTrayIcon::isSystemTrayAvailable() && !m_reportedNoTray) {
        m_reportedNoTray = true;
        qCWarning(lcTray)
            << "⚠️ This desktop shows no system tray: the Quorvantis icon appears once one starts";
    }
    m_symbol = QString::fromLatin1(defaultIconName);
    m_opacity = 1.0;
    m_renderedOpacityStep = -1;
    m_menu = buildStatusMenu();
    connect(m_menu.get(), &QMenu::aboutToShow, this, &TrayIcon::menuNeedsUpdate);
    m_statusItem = std::make_unique<QSystemTrayIcon>();
    m_statusItem->setToolTip(QStringLiteral("Quorvantis"));
    m_statusItem->setContextMenu(m_menu.get());
    // A click opens the menu as well, as the right button does.
    connect(m_statusItem.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger && m_menu)
                    m_menu->popup(QCursor::pos());
            });
    renderIcon();
    m_statusItem->show();
}

void TrayIcon::removeStatusItem()
{
    if (!m_statusItem)
        return;
    m_iconResetTask.cancel();
    m_fade.cancel();
    m_statusItem->hide();
    m_statusItem.reset();
    m_menu.reset();
}

AppLanguage TrayIcon::menuLanguage() const
{
    return Localization::storedLanguage(m_settings, AppLanguage::english);
}

std::unique_ptr<QMenu> TrayIcon::buildStatusMenu() const
{
    const AppLanguage language = menuLanguage();
    auto menu = std::make_unique<QMenu>();
    applyMenuLook(*menu);
    QAction *preferences = menu->addAction(Localization::menuText(u"menu_preferences", language));
    preferences->setObjectName(QStringLiteral("menu_preferences"));
    preferences->setShortcut(preferencesKeys());
    connectPreferences(*preferences);
    // The title names the switcher's shortcut in force, not the default.
    QAction *showAll = menu->addAction(KeyboardShortcut::namingSwitcher(
        Localization::menuText(u"menu_show_all_windows", language),
        KeyboardShortcut::read(m_settings, KeyboardShortcut::switcherKeys())));
    showAll->setObjectName(QStringLiteral("menu_show_all_windows"));
    if (m_actions.showAllWindows)
        connect(showAll, &QAction::triggered, this, [toggle = m_actions.showAllWindows] { toggle(); });
    menu->addSeparator();
    QAction *restart = menu->addAction(Localization::menuText(u"menu_restart", language));
    restart->setObjectName(QStringLiteral("menu_restart"));
    if (m_actions.restart)
        connect(restart, &QAction::triggered, this, [restartApp = m_actions.restart] { restartApp(); });
    QAction *quit = menu->addAction(Localization::menuText(u"menu_quit", language));
    quit->setObjectName(QStringLiteral("menu_quit"));
    quit->setShortcut(quitKeys());
    if (m_actions.quit)
        connect(quit, &QAction::triggered, this, [quitApp = m_actions.quit] { quitApp(); });
    return menu;
}

std::unique_ptr<QMenu> TrayIcon::buildDockMenu() const
{
    auto menu = std::make_unique<QMenu>();
    applyMenuLook(*menu);
    QAction *preferences = menu->addAction(Localization::menuText(u"menu_preferences", menuLanguage()));
    preferences->setObjectName(QStringLiteral("menu_preferences"));
    connectPreferences(*preferences);
    return menu;
}

void TrayIcon::connectPreferences(QAction &preferences) const
{
    preferences.setEnabled(bool(m_actions.openPreferences));
    if (m_actions.openPreferences)
        connect(&preferences, &QAction::triggered, this, [open = m_actions.openPreferences] { open(); });
}

bool TrayIcon::eventFilter(QObject *watched, QEvent *event)
{
    // A menu entry's shortcut reaches its action only while the action's own widget is in an active
    // window; the tray menu is a popup of the tray host, mostly closed. So the keys are read here,
    // from every window of ours and from the open menu alike. A recorder that listens for a
    // combination has it first (its filter is installed later), and none fires while one listens.
    if (!watched->isWidgetType() || event->type() != QEvent::KeyPress ||
        m_settings.get(Settings::isRecordingShortcut))
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->isAutoRepeat())
        return false;
    const QKeySequence pressed(QKeyCombination(key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key())));
    std::function<void()> action;
    if (pressed == preferencesKeys())
        action = m_actions.openPreferences;
    else if (pressed == quitKeys())
        action = m_actions.quit;
    if (!action)
        return false;
    // As a click on the entry would, the menu closes first.
    if (QWidget *popup = QApplication::activePopupWidget())
        popup->close();
    action();
    return true;
}

void TrayIcon::menuNeedsUpdate()
{
    // The opening menu keeps its identity (the tray host holds it); its entries are replaced by
    // those of a fresh menu, so a language change shows at the next opening.
    if (!m_menu)
        return;
    std::unique_ptr<QMenu> fresh = buildStatusMenu();
    m_menu->clear();
    for (QAction *action : fresh->actions())
        action->setParent(m_menu.get());
    m_menu->addActions(fresh->actions());
}

void TrayIcon::flashStatusIcon(const QString &symbolName)
{
    if (!m_statusItem)
        return;
    m_iconResetTask.cancel();
    const auto setOpacity = [this](double opacity) { this->setOpacity(opacity); };
    m_fade.start(
        m_opacity, dimmedOpacity, fadeDuration, Animation::easeOut(fadeDuration), setOpacity,
        [this, symbolName, setOpacity] {
            m_symbol = symbolName;
            renderIcon();
            m_fade.start(m_opacity, 1.0, fadeDuration, Animation::easeIn(fadeDuration), setOpacity);
            m_iconResetTask = m_scheduler.after(resetDelay, [self = QPointer<TrayIcon>(this), setOpacity] {
                if (!self || !self->m_statusItem)
                    return;
                self->m_fade.start(self->m_opacity, dimmedOpacity, fadeDuration,
                                   Animation::easeOut(fadeDuration), setOpacity, [self, setOpacity] {
                                       self->m_symbol = QString::fromLatin1(defaultIconName);
                                       self->renderIcon();
                                       self->m_fade.start(self->m_opacity, 1.0, fadeDuration,
                                                          Animation::easeIn(fadeDuration), setOpacity);
                                   });
            });
        });
}

void TrayIcon::setOpacity(double opacity)
{
    m_opacity = opacity;
    const int step = int(std::lround(opacity * opacitySteps));
    if (step != m_renderedOpacityStep)
        renderIcon();
}

void TrayIcon::renderIcon()
{
    if (!m_statusItem)
        return;
    m_renderedOpacityStep = int(std::lround(m_opacity * opacitySteps));
    const double dpr = qApp ? qApp->devicePixelRatio() : 1.0;
    m_statusItem->setIcon(QIcon(trayPixmap(m_symbol, double(m_renderedOpacityStep) / opacitySteps, dpr)));
}

} // namespace qv
