#include "views/settings/guidesection.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

#include "core/color.h"
#include "core/settingsstore.h"
#include "dock/keyboardshortcut.h"
#include "ui/theme.h"
#include "views/settings/settingswidgets.h"

namespace qv {

namespace {

const char *const snapKeys[] = {"guide_snap_left", "guide_snap_right", "guide_snap_top", "guide_snap_center"};

QLabel *symbol(const QString &name, int size, const QColor &color, QWidget *parent)
{
    QLabel *label = settingsSymbol(name, size, color, parent);
    label->setAlignment(Qt::AlignTop);
    return label;
}

QLabel *wrapped(const QString &text, double size, const QColor &color, QWidget *parent)
{
    QLabel *label = settingsLabel(text, size, QFont::Normal, color, parent);
    label->setWordWrap(true);
    return label;
}

QString keycapLabel(const KeyCombination &shortcut)
{
    return KeyboardShortcut::words(shortcut, QStringLiteral(" + "));
}

QWidget *separator(QWidget *parent)
{
    return settingsHairline(Theme::white(0.06), parent);
}

// A keycap in cyan, in a column as wide for every row (see keyTable) so every row's text starts at
// one place.
QWidget *keycap(const QString &text, QWidget *parent)
{
    auto *slot = new QWidget(parent);
    auto *layout = new QHBoxLayout(slot);
    layout->setContentsMargins(0, 0, 0, 0);
    const QColor cyan = Color::neonCyan();
    auto *cap = new CardFrame(withAlpha(cyan, 0.1), withAlpha(cyan, 0.3), 6, slot);
    cap->setObjectName(QStringLiteral("keycap"));
    auto *capLayout = new QHBoxLayout(cap);
    capLayout->setContentsMargins(10, 4, 10, 4);
    QLabel *label = settingsLabel(text, 12, QFont::Normal, cyan, cap);
    label->setFont(Theme::monospaced(label->font()));
    capLayout->addWidget(label);
    // Its own height, centred, where the text beside it takes two lines.
    layout->addWidget(cap, 0, Qt::AlignVCenter);
    layout->addStretch();
    return slot;
}

QWidget *keyTable(const QList<GuideSection::ShortcutRow> &rows, AppLanguage language, QWidget *parent)
{
    auto *box = new CardFrame(Theme::white(0.03), Theme::white(0.1), 12, parent);
    auto *stack = new QVBoxLayout(box);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    const auto row = [box](QWidget *first, QLabel *second) {
        auto *line = new QWidget(box);
        auto *layout = new QHBoxLayout(line);
        layout->setContentsMargins(20, 12, 20, 12);
        layout->setSpacing(20);
        layout->addWidget(first);
        layout->addWidget(second, 1);
        return line;
    };
    const auto header = [&](const char *key) {
        QLabel *label = settingsLabel(settingsText(key, language), 11, QFont::Bold, Theme::white(0.4), box);
        QFont spaced = label->font();
        spaced.setLetterSpacing(QFont::AbsoluteSpacing, 1);
        label->setFont(spaced);
        return label;
    };
    QLabel *action = header("guide_col_action");
    QList<QWidget *> column{action};
    for (const GuideSection::ShortcutRow &shortcut : rows)
        column << keycap(shortcut.keyLabel, box);
    // 140 wide, or as wide as the widest cap: a recorded shortcut may name four modifiers.
    int width = 140;
    for (QWidget *cell : std::as_const(column))
        width = std::max(width, cell->sizeHint().width());
    for (QWidget *cell : std::as_const(column))
        cell->setFixedWidth(width);
    stack->addWidget(row(action, header("guide_col_result")));
    stack->addWidget(settingsHairline(Theme::white(0.1), box));
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (i > 0)
            stack->addWidget(settingsHairline(Theme::white(0.05), box));
        stack->addWidget(row(column[i + 1],
                             wrapped(settingsText(rows[i].actionKey, language), 13, Theme::white(0.8), box)));
    }
    return box;
}

} // namespace

GuideSection::Hotkeys GuideSection::Hotkeys::inForce(const SettingsStore &settings)
{
    return {KeyboardShortcut::read(settings, KeyboardShortcut::switcherKeys()),
            KeyboardShortcut::read(settings, KeyboardShortcut::clipboardKeys()),
            KeyboardShortcut::read(settings, KeyboardShortcut::shelfKeys())};
}

GuideSection::GuideSection(AppLanguage language, const SettingsStore &settings, QWidget *parent)
    : SettingsPage(parent)
{
    const Hotkeys hotkeys = Hotkeys::inForce(settings);
    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(28);
    const QColor cyan = Color::neonCyan();
    const auto section = [&](const char *symbolName, const char *titleKey, const char *subtitleKey,
                             const char *descKey) {
        auto *head = new QHBoxLayout;
        head->setSpacing(12);
        QLabel *icon = symbol(QString::fromLatin1(symbolName), 22, cyan, this);
        icon->setAlignment(Qt::AlignVCenter);
        head->addWidget(icon);
        auto *titles = new QVBoxLayout;
        titles->setSpacing(2);
        titles->addWidget(settingsLabel(settingsText(titleKey, language), 18, QFont::Bold, Qt::white, this));
        if (subtitleKey)
            titles->addWidget(wrapped(settingsText(subtitleKey, language), 13, Theme::white(0.5), this));
        head->addLayout(titles, 1);
        page->addLayout(head);
        const QString desc =
            KeyboardShortcut::namingSwitcher(settingsText(descKey, language), hotkeys.switcher);
        page->addWidget(wrapped(desc, 14, Theme::white(0.8), this));
    };

    section("square.grid.3x3.square", "guide_title", "guide_subtitle", "guide_desc");
    page->addWidget(keyTable(switcherRows(hotkeys), language, this));
    const QColor purple = Color::neonPurple();
    auto *note = new CardFrame(withAlpha(purple, 0.05), withAlpha(purple, 0.2), 12, this);
    auto *noteRow = new QHBoxLayout(note);
    noteRow->setContentsMargins(16, 16, 16, 16);
    noteRow->setSpacing(12);
    noteRow->addWidget(symbol(QStringLiteral("info.circle.fill"), 16, purple, note));
    noteRow->addWidget(wrapped(settingsText("guide_info", language), 13, Theme::white(0.7), note), 1);
    page->addWidget(note);
    page->addWidget(separator(this));
    section("doc.on.clipboard", "guide_clipboard_title", nullptr, "guide_clipboard_desc");
    page->addWidget(separator(this));
    section("tray.and.arrow.down", "guide_shelf_title", nullptr, "guide_shelf_desc");
    page->addWidget(separator(this));
    section("keyboard", "guide_hotkeys_title", nullptr, "guide_hotkeys_desc");
    page->addWidget(keyTable(hotkeyRows(hotkeys), language, this));
    page->addWidget(separator(this));
    section("rectangle.split.2x1", "guide_snap_title", nullptr, "guide_snap_desc");
    auto *checks = new CardFrame(Theme::white(0.03), Theme::white(0.1), 12, this);
    auto *checkList = new QVBoxLayout(checks);
    checkList->setContentsMargins(16, 16, 16, 16);
    checkList->setSpacing(8);
    for (const char *key : snapKeys) {
        auto *line = new QHBoxLayout;
        line->setSpacing(8);
        line->addWidget(symbol(QStringLiteral("checkmark.circle.fill"), 12, Color::neonGreen(), checks));
        line->addWidget(wrapped(settingsText(key, language), 13, Theme::white(0.8), checks), 1);
        checkList->addLayout(line);
    }
    page->addWidget(checks);
    page->addWidget(separator(this));
    section("stethoscope", "guide_diag_title", nullptr, "guide_diag_desc");
}

// The keys as this desktop names them; the Ctrl shortcuts act on the panel's selected card.
QList<GuideSection::ShortcutRow> GuideSection::switcherRows(const Hotkeys &hotkeys)
{
    return {{keycapLabel(hotkeys.switcher), "guide_act_opt_tab"},
            {QStringLiteral("Arrow Keys"), "guide_act_arrows"},
            {QStringLiteral("Enter"), "guide_act_enter"},
            {QStringLiteral("Ctrl + W"), "guide_act_cmd_w"},
            {QStringLiteral("Ctrl + M"), "guide_act_cmd_m"},
            {QStringLiteral("Esc"), "guide_act_esc"}};
}

QList<GuideSection::ShortcutRow> GuideSection::hotkeyRows(const Hotkeys &hotkeys)
{
    return {{keycapLabel(hotkeys.switcher), "guide_act_opt_tab_full"},
            {keycapLabel(hotkeys.clipboard), "guide_act_opt_c"},
            {keycapLabel(hotkeys.shelf), "guide_act_opt_s"}};
}

QStringList GuideSection::textKeys()
{
    QStringList keys{"guide_title", "guide_subtitle", "guide_desc", "guide_col_action", "guide_col_result"};
    for (const ShortcutRow &row : switcherRows(Hotkeys()))
        keys << QString::fromLatin1(row.actionKey);
    keys << "guide_info"
         << "guide_clipboard_title"
         << "guide_clipboard_desc"
         << "guide_shelf_title"
         << "guide_shelf_desc"
         << "guide_hotkeys_title"
         << "guide_hotkeys_desc";
    for (const ShortcutRow &row : hotkeyRows(Hotkeys()))
        keys << QString::fromLatin1(row.actionKey);
    keys << "guide_snap_title"
         << "guide_snap_desc";
    for (const char *key : snapKeys)
        keys << QString::fromLatin1(key);
    keys << "guide_diag_title"
         << "guide_diag_desc";
    return keys;
}

} // namespace qv
