#include "views/settings/appblockersection.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QScrollArea>
#include <QStringListModel>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/color.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "runtime/scheduler.h"
#include "runtime/workqueue.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/items/lazyitemlist.h"
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

// Rows are told apart by their place, so two equal entries are two rows.
class EntryModel : public QStringListModel
{
public:
    static constexpr int keyRole = Qt::UserRole + 1;
    using QStringListModel::QStringListModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == keyRole)
            return index.isValid() ? QVariant(QString::number(index.row())) : QVariant();
        return QStringListModel::data(index, role);
    }
};

// An entry as a row lays it out: a few lines' worth, however long the stored one is.
QString shownText(const QString &entry)
{
    return entry.size() > AppBlockerSection::maxShownLength
               ? entry.left(AppBlockerSection::maxShownLength) + QChar(0x2026)
               : entry;
}

constexpr int rowHeight = 48;
constexpr int iconSize = 24;

QPixmap iconPixmap(const QImage &icon, int size, double dpr)
{
    if (icon.isNull())
        return Symbols::pixmap(QStringLiteral("app.dashed"), size, Theme::white(0.6), dpr);
    const QSize pixels = QSize(size, size) * dpr;
    QPixmap pixmap = QPixmap::fromImage(
        icon.size() == pixels ? icon : icon.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
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

    m_emptyState = new CardFrame(Theme::white(0.05), QColor(), 12, this);
    m_emptyState->setObjectName(QStringLiteral("emptyState"));
    m_emptyState->setFixedHeight(200);
    auto *stack = new QVBoxLayout(m_emptyState);
    stack->setSpacing(10);
    stack->addStretch();
    stack->addWidget(settingsSymbol(QStringLiteral("checkmark.shield"), 40, Theme::white(0.2), m_emptyState),
                     0, Qt::AlignHCenter);
    stack->addWidget(settingsLabel(settingsText("no_blocked_apps", language), 13, QFont::Normal,
                                   Theme::white(0.4), m_emptyState),
                     0, Qt::AlignHCenter);
    stack->addStretch();
    column->addWidget(m_emptyState);

    m_entries = new EntryModel(this);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("blockedList"));
    m_scroll->setFixedHeight(300);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    LazyItemList::Metrics metrics;
    metrics.cellLength = rowHeight;
    metrics.spacing = 8;
    metrics.padding = 0;
    m_list = new LazyItemList(
        *m_entries, EntryModel::keyRole, metrics,
        [this](int row, QWidget *parent) { return makeRow(row, parent); }, *m_scroll);
    column->addWidget(m_scroll);
    column->addStretch();
    m_self = std::make_shared<AppBlockerSection *>(this);
    rebuildRows();
    readApplications();
    connect(&m_settings, &SettingsStore::changed, this, [this](const QString &key) {
        if (key == Settings::ignoredApps.key())
            rebuildRows();
    });
}

AppBlockerSection::~AppBlockerSection()
{
    *m_self = nullptr;
    // The list reads the model as it goes.
    delete m_scroll;
}

QStringList AppBlockerSection::decode(const QString &stored, int limit)
{
    QStringList entries;
    for (qsizetype start = 0; start < stored.size() && entries.size() < limit;) {
        qsizetype end = stored.indexOf(u',', start);
        if (end < 0)
            end = stored.size();
        const QString entry = trimBlanks(stored.mid(start, end - start));
        if (!entry.isEmpty())
            entries.append(entry);
        start = end + 1;
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
    // A list of thousands of entries, or one entry of a megabyte, held the page for seconds to minutes.
    return decode(m_settings.get(Settings::ignoredApps), maxEntries);
}

QList<QWidget *> AppBlockerSection::builtRows() const
{
    return m_list->builtCells();
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
    list->setIconSize(QSize(iconSize, iconSize));
    m_chooserList = list;
    fillChooser();
    layout->addWidget(list);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &chooser);
    connect(buttons, &QDialogButtonBox::accepted, &chooser, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &chooser, &QDialog::reject);
    connect(list, &QListWidget::itemDoubleClicked, &chooser, &QDialog::accept);
    layout->addWidget(buttons);
    // Applications installed since the last read are offered when this one lands.
    readApplications();
    const bool accepted = chooser.exec() == QDialog::Accepted;
    m_chooserList = nullptr;
    if (!accepted || !list->currentItem())
        return;
    addApp(list->currentItem()->data(Qt::UserRole).toString());
}

void AppBlockerSection::readApplications()
{
    if (m_reading) {
        m_readAgain = true;
        return;
    }
    m_reading = true;
    // Hundreds of desktop entries, each icon looked up in the theme and decoded: seconds of work
    // that held the window at every opening of the chooser when it ran here.
    const double dpr = devicePixelRatioF();
    auto read = [installed = m_applications.installed, icon = m_applications.icon, dpr] {
        QList<Choice> choices;
        for (const InstalledApplication &application :
             installed ? installed() : QList<InstalledApplication>()) {
            QImage image = icon ? icon(application.bundleIdentifier) : QImage();
            if (!image.isNull())
                image = image.scaled(QSize(iconSize, iconSize) * dpr, Qt::IgnoreAspectRatio,
                                     Qt::SmoothTransformation);
            choices.append({application, image});
        }
        return choices;
    };
    if (!m_applications.reads || !m_applications.scheduler) {
        applyApplications(read());
        return;
    }
    std::weak_ptr<AppBlockerSection *> self = m_self;
    Scheduler *scheduler = m_applications.scheduler;
    m_applications.reads->async([read, self, scheduler] {
        QList<Choice> choices = read();
        scheduler->post([self, choices = std::move(choices)] {
            if (const auto page = self.lock(); page && *page)
                (*page)->applyApplications(choices);
        });
    });
}

void AppBlockerSection::applyApplications(const QList<Choice> &choices)
{
    m_reading = false;
    m_choices = choices;
    m_installed.clear();
    m_icons.clear();
    for (const Choice &choice : choices) {
        m_installed.append(choice.application);
        if (!choice.icon.isNull())
            m_icons.insert(choice.application.bundleIdentifier, choice.icon);
    }
    rebuildRows();
    fillChooser();
    if (std::exchange(m_readAgain, false))
        readApplications();
}

void AppBlockerSection::fillChooser()
{
    if (!m_chooserList)
        return;
    const QListWidgetItem *current = m_chooserList->currentItem();
    const QString chosen = current ? current->data(Qt::UserRole).toString() : QString();
    m_chooserList->clear();
    const double dpr = devicePixelRatioF();
    const QIcon generic(iconPixmap(QImage(), iconSize, dpr));
    for (const Choice &choice : std::as_const(m_choices)) {
        auto *item = new QListWidgetItem(choice.application.name, m_chooserList);
        item->setData(Qt::UserRole, choice.application.bundleIdentifier);
        item->setToolTip(choice.application.bundleIdentifier);
        item->setIcon(choice.icon.isNull() ? generic : QIcon(iconPixmap(choice.icon, iconSize, dpr)));
        if (!chosen.isEmpty() && choice.application.bundleIdentifier == chosen)
            m_chooserList->setCurrentItem(item);
    }
}

void AppBlockerSection::rebuildRows()
{
    const QStringList entries = blockedApps();
    m_entries->setStringList(entries);
    m_emptyState->setVisible(entries.isEmpty());
    m_scroll->setVisible(!entries.isEmpty());
}

QWidget *AppBlockerSection::makeRow(int index, QWidget *parent)
{
    const QString identity = m_entries->stringList().value(index);
    // No application is known by an identity longer than a row shows.
    const bool known = identity.size() <= maxShownLength;
    auto *row = new CardFrame(Theme::white(0.08), Theme::white(0.1), 10, parent);
    row->setObjectName(QStringLiteral("blockedRow"));
    auto *rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(12, 12, 12, 12);
    auto *icon = new QLabel(row);
    icon->setFixedSize(24, 24);
    // From the last read of the installed applications: nothing is looked up here.
    icon->setPixmap(iconPixmap(known ? m_icons.value(identity) : QImage(), iconSize, devicePixelRatioF()));
    rowLayout->addWidget(icon);
    QLabel *name = settingsLabel(QString(), 14, QFont::Medium, Qt::white, row);
    name->setText(name->fontMetrics().elidedText(
        appName(shownText(identity), known ? m_installed : QList<InstalledApplication>()), Qt::ElideRight,
        180));
    rowLayout->addWidget(name);
    QLabel *id = settingsLabel(QString(), 11, QFont::Normal, Theme::white(0.4), row);
    id->setText(id->fontMetrics().elidedText(u'(' + shownText(identity) + u')', Qt::ElideMiddle, 260));
    rowLayout->addWidget(id);
    rowLayout->addStretch();
    auto *remove = new QToolButton(row);
    remove->setObjectName(QStringLiteral("remove"));
    remove->setAutoRaise(true);
    remove->setCursor(Qt::PointingHandCursor);
    remove->setIcon(QIcon(Symbols::pixmap(QStringLiteral("trash.fill"), 14, withAlpha(Color::neonRed(), 0.8),
                                          devicePixelRatioF())));
    remove->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"));
    connect(remove, &QToolButton::clicked, this, [this, identity] { removeApp(identity); });
    rowLayout->addWidget(remove);
    return row;
}

} // namespace qv
