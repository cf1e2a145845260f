#include "views/settings/appblockersection.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/color.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/settings/settingswidgets.h"

namespace qv {

namespace {

// Blanks and tabs only: a line break inside an entry is kept, as the engine compares it.
QString trimBlanks(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (start < end && blank(text[start]))
        ++start;
    while (end > start && blank(text[end - 1]))
        --end;
    return text.mid(start, end - start);
}

QPixmap iconPixmap(const QImage &icon, int size, double dpr)
{
    QImage image = icon;
    if (image.isNull())
        return Symbols::pixmap(QStringLiteral("app.dashed"), size, Theme::white(0.6), dpr);
    QPixmap pixmap = QPixmap::fromImage(
        image.scaled(QSize(size, size) * dpr, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(dpr);
    return pixmap;
}

} // namespace

AppBlockerSection::AppBlockerSection(SettingsStore &settings, Applications applications, AppLanguage language,
                                     QWidget *parent)
    : SettingsPage(parent), m_settings(settings), m_applications(std::move(applications)),
      m_language(language)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(16);

    auto *header = new QHBoxLayout;
    QLabel *desc =
        settingsLabel(settingsText("blocker_desc", language), 13, QFont::Normal, Theme::white(0.6), this);
    desc->setWordWrap(true);
    header->addWidget(desc, 1);
    const QColor cyan = Color::neonCyan();
    auto *add = new QToolButton(this);
    add->setObjectName(QStringLiteral("addApp"));
    // Kept in English in every language, as the chooser's title is.
    add->setText(QStringLiteral("Add App"));
    add->setIcon(QIcon(Symbols::pixmap(QStringLiteral("plus"), 11, cyan, devicePixelRatioF())));
    add->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    add->setCursor(Qt::PointingHandCursor);
    add->setFont(Theme::systemFont(12, QFont::Medium));
    add->setStyleSheet(
        QStringLiteral("QToolButton { color: %1; background: rgba(255,255,255,15); padding: 6px 12px;"
                       " border: 1px solid rgba(%2,%3,%4,77); border-radius: 8px; }")
            .arg(cyan.name())
            .arg(cyan.red())
            .arg(cyan.green())
            .arg(cyan.blue()));
    connect(add, &QToolButton::clicked, this, &AppBlockerSection::chooseApp);
    header->addWidget(add, 0, Qt::AlignVCenter);
    column->addLayout(header);

    m_rows = new QWidget(this);
    m_rowsLayout = new QVBoxLayout(m_rows);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_rows);
    column->addStretch();
    rebuildRows();
    connect(&m_settings, &SettingsStore::changed, this, [this](const QString &key) {
        if (key == Settings::ignoredApps.key())
            rebuildRows();
    });
}

QStringList AppBlockerSection::decode(const QString &stored)
{
    QStringList entries;
    for (const QString &piece : stored.split(u',', Qt::SkipEmptyParts)) {
        const QString entry = trimBlanks(piece);
        if (!entry.isEmpty())
            entries.append(entry);
    }
    return entries;
}

QString AppBlockerSection::added(const QString &stored, const QString &identity)
{
    if (identity.isEmpty() || decode(stored).contains(identity, Qt::CaseSensitive))
        return stored;
    return stored.isEmpty() ? identity : stored + u',' + identity;
}

QString AppBlockerSection::removed(const QString &stored, const QString &identity)
{
    QStringList entries = decode(stored);
    entries.removeAll(identity);
    return entries.join(u',');
}

QString AppBlockerSection::appName(const QString &identity, const QList<InstalledApplication> &installed)
{
    for (const InstalledApplication &application : installed) {
        if (application.bundleIdentifier == identity)
            return application.name;
    }
    const QString last = identity.split(u'.').last();
    QString name = last.toLower();
    bool wordStart = true;
    for (QChar &c : name) {
        if (wordStart && c.isLetter())
            c = c.toUpper();
        wordStart = c.isSpace();
    }
    return name;
}

QStringList AppBlockerSection::blockedApps() const
{
    return decode(m_settings.get(Settings::ignoredApps));
}

void AppBlockerSection::addApp(const QString &identity)
{
    const QString stored = m_settings.get(Settings::ignoredApps);
    const QString next = added(stored, identity);
    if (next != stored)
        m_settings.set(Settings::ignoredApps, next);
}

void AppBlockerSection::removeApp(const QString &identity)
{
    m_settings.set(Settings::ignoredApps, removed(m_settings.get(Settings::ignoredApps), identity));
}

void AppBlockerSection::chooseApp()
{
    QDialog chooser(this);
    chooser.setWindowTitle(QStringLiteral("Select an App to Block"));
    chooser.resize(420, 480);
    auto *layout = new QVBoxLayout(&chooser);
    auto *list = new QListWidget(&chooser);
    list->setIconSize(QSize(24, 24));
    const QList<InstalledApplication> installed =
        m_applications.installed ? m_applications.installed() : QList<InstalledApplication>();
    for (const InstalledApplication &application : installed) {
        auto *item = new QListWidgetItem(application.name, list);
        item->setData(Qt::UserRole, application.bundleIdentifier);
        item->setToolTip(application.bundleIdentifier);
        if (m_applications.icon)
            item->setIcon(QIcon(
                iconPixmap(m_applications.icon(application.bundleIdentifier), 24, devicePixelRatioF())));
    }
    layout->addWidget(list);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &chooser);
    connect(buttons, &QDialogButtonBox::accepted, &chooser, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &chooser, &QDialog::reject);
    connect(list, &QListWidget::itemDoubleClicked, &chooser, &QDialog::accept);
    layout->addWidget(buttons);
    if (chooser.exec() != QDialog::Accepted || !list->currentItem())
        return;
    addApp(list->currentItem()->data(Qt::UserRole).toString());
}

void AppBlockerSection::rebuildRows()
{
    while (QLayoutItem *item = m_rowsLayout->takeAt(0)) {
        if (QWidget *widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    const QStringList entries = blockedApps();
    if (entries.isEmpty()) {
        auto *empty = new CardFrame(Theme::white(0.05), QColor(), 12, m_rows);
        empty->setObjectName(QStringLiteral("emptyState"));
        empty->setFixedHeight(200);
        auto *stack = new QVBoxLayout(empty);
        stack->setSpacing(10);
        stack->addStretch();
        stack->addWidget(settingsSymbol(QStringLiteral("checkmark.shield"), 40, Theme::white(0.2), empty), 0,
                         Qt::AlignHCenter);
        stack->addWidget(settingsLabel(settingsText("no_blocked_apps", m_language), 13, QFont::Normal,
                                       Theme::white(0.4), empty),
                         0, Qt::AlignHCenter);
        stack->addStretch();
        m_rowsLayout->addWidget(empty);
        return;
    }
    auto *scroll = new QScrollArea(m_rows);
    scroll->setObjectName(QStringLiteral("blockedList"));
    scroll->setFixedHeight(300);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *list = new QWidget;
    auto *listLayout = new QVBoxLayout(list);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(8);
    const QList<InstalledApplication> installed =
        m_applications.installed ? m_applications.installed() : QList<InstalledApplication>();
    for (const QString &identity : entries) {
        auto *row = new CardFrame(Theme::white(0.08), Theme::white(0.1), 10, list);
        row->setObjectName(QStringLiteral("blockedRow"));
        auto *rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(12, 12, 12, 12);
        auto *icon = new QLabel(row);
        icon->setFixedSize(24, 24);
        icon->setPixmap(iconPixmap(m_applications.icon ? m_applications.icon(identity) : QImage(), 24,
                                   devicePixelRatioF()));
        rowLayout->addWidget(icon);
        rowLayout->addWidget(settingsLabel(appName(identity, installed), 14, QFont::Medium, Qt::white, row));
        QLabel *id = settingsLabel(QString(), 11, QFont::Normal, Theme::white(0.4), row);
        id->setText(id->fontMetrics().elidedText(u'(' + identity + u')', Qt::ElideMiddle, 260));
        rowLayout->addWidget(id);
        rowLayout->addStretch();
        auto *remove = new QToolButton(row);
        remove->setObjectName(QStringLiteral("remove"));
        remove->setAutoRaise(true);
        remove->setCursor(Qt::PointingHandCursor);
        remove->setIcon(QIcon(Symbols::pixmap(QStringLiteral("trash.fill"), 14,
                                              withAlpha(Color::neonRed(), 0.8), devicePixelRatioF())));
        remove->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"));
        connect(remove, &QToolButton::clicked, this, [this, identity] { removeApp(identity); });
        rowLayout->addWidget(remove);
        listLayout->addWidget(row);
    }
    listLayout->addStretch();
    scroll->setWidget(list);
    m_rowsLayout->addWidget(scroll);
}

} // namespace qv
