#include "views/settings/contactsection.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/color.h"
#include "core/localization.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/settings/settingswidgets.h"

namespace qv {

namespace {

bool blank(const QString &text)
{
    for (const QChar c : text) {
        if (c != u' ' && c != u'\t')
            return false;
    }
    return true;
}

QString symbolOf(ContactSection::ContactCategory category)
{
    using C = ContactSection::ContactCategory;
    switch (category) {
    case C::question:
        return QStringLiteral("questionmark.circle");
    case C::bug:
        return QStringLiteral("ladybug");
    case C::idea:
        return QStringLiteral("lightbulb");
    case C::feedback:
        return QStringLiteral("bubble.left");
    case C::support:
        return QStringLiteral("lifepreserver");
    case C::partnership:
        return QStringLiteral("person.2");
    }
    return QString();
}

QString rgba(const QColor &color, double alpha)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(int(alpha * 255));
}

QLabel *sectionLabel(const char *key, AppLanguage language, QWidget *parent)
{
    QLabel *label =
        settingsLabel(settingsText(key, language).toUpper(), 12, QFont::DemiBold, Theme::white(0.5), parent);
    QFont spaced = label->font();
    spaced.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
    label->setFont(spaced);
    return label;
}

const QString fieldStyle = QStringLiteral("background: rgba(255,255,255,10); border: 1px solid "
                                          "rgba(255,255,255,31); border-radius: 10px; color: white;");

} // namespace

QString ContactSection::rawValue(ContactCategory category)
{
    using C = ContactCategory;
    switch (category) {
    case C::question:
        return QStringLiteral("question");
    case C::bug:
        return QStringLiteral("bug");
    case C::idea:
        return QStringLiteral("idea");
    case C::feedback:
        return QStringLiteral("feedback");
    case C::support:
        return QStringLiteral("support");
    case C::partnership:
        return QStringLiteral("partnership");
    }
    return QString();
}

std::optional<ContactSection::ContactCategory> ContactSection::categoryFromRawValue(const QString &raw)
{
    for (const ContactCategory category : allCategories) {
        if (rawValue(category) == raw)
            return category;
    }
    return std::nullopt;
}

QString ContactSection::title(ContactCategory category, AppLanguage language)
{
    return Localization::text(QString(QStringLiteral("contact_cat_") + rawValue(category)), language);
}

QString ContactSection::supportAddress()
{
    return QStringLiteral("support@quorvantis.example.org");
}

const char *ContactSection::validationKey(const QString &name, const QString &email, const QString &message)
{
    if (blank(name))
        return "contact_validation_name";
    if (blank(email))
        return "contact_validation_email";
    if (blank(message))
        return "contact_validation_message";
    return nullptr;
}

// The mail is read by English-speaking support: the category goes in its English title.
QString ContactSection::subject(ContactCategory category, const QString &name)
{
    return QStringLiteral("[Quorvantis] ") + title(category, AppLanguage::english) +
           QStringLiteral(" from ") + name;
}

QString ContactSection::body(ContactCategory category, const QString &name, const QString &email,
                             const QString &message)
{
    return QStringLiteral("Name: ") + name + QStringLiteral("\nEmail: ") + email +
           QStringLiteral("\nCategory: ") + title(category, AppLanguage::english) + QStringLiteral("\n\n") +
           message;
}

QUrl ContactSection::mailtoURL(const QString &subject, const QString &body)
{
    // toPercentEncoding leaves exactly the unreserved characters (letters, digits, "-._~") as they are.
    const QByteArray encoded = QByteArrayLiteral("mailto:") + supportAddress().toUtf8() +
                               QByteArrayLiteral("?subject=") + QUrl::toPercentEncoding(subject) +
                               QByteArrayLiteral("&body=") + QUrl::toPercentEncoding(body);
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

ContactSection::ContactSection(AppLanguage language, std::function<void(const QUrl &)> openURL,
                               QWidget *parent)
    : SettingsPage(parent), m_language(language), m_openURL(std::move(openURL))
{
    const QColor cyan = Color::neonCyan();
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(28);

    auto *header = new QHBoxLayout;
    header->setSpacing(14);
    auto *badge = new CardFrame(withAlpha(cyan, 0.1), QColor(), 26, this);
    badge->setFixedSize(52, 52);
    auto *badgeLayout = new QVBoxLayout(badge);
    badgeLayout->addWidget(settingsSymbol(QStringLiteral("envelope.open.fill"), 24, cyan, badge), 0,
                           Qt::AlignCenter);
    header->addWidget(badge);
    auto *titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addWidget(
        settingsLabel(settingsText("contact_title", language), 20, QFont::Bold, Qt::white, this));
    QLabel *subtitle = settingsLabel(settingsText("contact_subtitle", language), 13, QFont::Normal,
                                     Theme::white(0.55), this);
    subtitle->setWordWrap(true);
    titles->addWidget(subtitle);
    header->addLayout(titles, 1);
    column->addLayout(header);

    const auto field = [&](const char *placeholderKey, const char *name) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setPlaceholderText(settingsText(placeholderKey, language));
        edit->setFont(Theme::systemFont(13));
        edit->setStyleSheet(QStringLiteral("QLineEdit { %1 padding: 10px 14px; }").arg(fieldStyle));
        QPalette prompt = edit->palette();
        prompt.setColor(QPalette::PlaceholderText, Theme::white(0.25));
        edit->setPalette(prompt);
        return edit;
    };
    column->addWidget(sectionLabel("contact_name", language, this));
    m_name = field("contact_name_placeholder", "name");
    column->addWidget(m_name);
    column->addWidget(sectionLabel("contact_email", language, this));
    m_email = field("contact_email_placeholder", "email");
    column->addWidget(m_email);

    column->addWidget(sectionLabel("contact_category", language, this));
    auto *grid = new QGridLayout;
    grid->setSpacing(8);
    m_chips = new QButtonGroup(this);
    m_chips->setExclusive(true);
    int index = 0;
    for (const ContactCategory category : allCategories) {
        auto *chip = new QToolButton(this);
        chip->setObjectName(QStringLiteral("chip_") + rawValue(category));
        chip->setCheckable(true);
        chip->setCursor(Qt::PointingHandCursor);
        chip->setText(title(category, language));
        chip->setIcon(QIcon(Symbols::pixmap(symbolOf(category), 10, Theme::white(0.7), devicePixelRatioF())));
        chip->setIconSize(QSize(10, 10));
        chip->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        chip->setFont(Theme::systemFont(11, QFont::Medium));
        chip->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        chip->setStyleSheet(
            QStringLiteral("QToolButton { color: rgba(255,255,255,128); background: rgba(255,255,255,8);"
                           " border: 1px solid rgba(255,255,255,20); border-radius: 8px; padding: 7px 10px; }"
                           "QToolButton:checked { color: white; background: %1; border: 1px solid %2; }")
                .arg(rgba(cyan, 0.2), rgba(cyan, 0.5)));
        chip->setChecked(category == m_selectedCategory);
        m_chips->addButton(chip, int(category));
        grid->addWidget(chip, index / 3, index % 3);
        ++index;
    }
    connect(m_chips, &QButtonGroup::idClicked, this, [this](int id) { selectCategory(ContactCategory(id)); });
    column->addLayout(grid);

    column->addWidget(sectionLabel("contact_message", language, this));
    m_message = new QPlainTextEdit(this);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setPlaceholderText(settingsText("contact_message_placeholder", language));
    m_message->setFont(Theme::systemFont(13));
    m_message->setMinimumHeight(120);
    m_message->setMaximumHeight(200);
    m_message->setStyleSheet(QStringLiteral("QPlainTextEdit { %1 padding: 8px; }").arg(fieldStyle));
    QPalette prompt = m_message->palette();
    prompt.setColor(QPalette::PlaceholderText, Theme::white(0.25));
    m_message->setPalette(prompt);
    column->addWidget(m_message);

    column->addWidget(sectionLabel("contact_attachment", language, this));
    auto *attachRow = new QHBoxLayout;
    attachRow->setSpacing(12);
    auto *attach = new QToolButton(this);
    attach->setObjectName(QStringLiteral("attach"));
    attach->setText(settingsText("contact_attach_btn", language));
    attach->setIcon(QIcon(Symbols::pixmap(QStringLiteral("paperclip"), 12, cyan, devicePixelRatioF())));
    attach->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    attach->setFont(Theme::systemFont(12, QFont::Medium));
    attach->setCursor(Qt::PointingHandCursor);
    attach->setStyleSheet(QStringLiteral("QToolButton { color: %1; background: %2; border: 1px solid %3;"
                                         " border-radius: 8px; padding: 8px 14px; }")
                              .arg(cyan.name(), rgba(cyan, 0.08), rgba(cyan, 0.25)));
    connect(attach, &QToolButton::clicked, this, &ContactSection::chooseAttachment);
    attachRow->addWidget(attach);
    m_fileChip = new CardFrame(Theme::white(0.04), QColor(), 6, this);
    auto *chipLayout = new QHBoxLayout(m_fileChip);
    chipLayout->setContentsMargins(10, 6, 10, 6);
    chipLayout->setSpacing(6);
    chipLayout->addWidget(settingsSymbol(QStringLiteral("doc.fill"), 11, withAlpha(cyan, 0.7), m_fileChip));
    m_fileName = settingsLabel(QString(), 12, QFont::Normal, Theme::white(0.7), m_fileChip);
    chipLayout->addWidget(m_fileName);
    auto *removeFile = new QToolButton(m_fileChip);
    removeFile->setObjectName(QStringLiteral("removeAttachment"));
    removeFile->setAutoRaise(true);
    removeFile->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"));
    removeFile->setIcon(QIcon(
        Symbols::pixmap(QStringLiteral("xmark.circle.fill"), 12, Theme::white(0.4), devicePixelRatioF())));
    connect(removeFile, &QToolButton::clicked, this, [this] { setAttachment(QString()); });
    chipLayout->addWidget(removeFile);
    attachRow->addWidget(m_fileChip);
    m_noFile =
        settingsLabel(settingsText("contact_no_file", language), 12, QFont::Normal, Theme::white(0.3), this);
    attachRow->addWidget(m_noFile);
    attachRow->addStretch();
    column->addLayout(attachRow);

    m_validationRow = new QWidget(this);
    m_validationRow->setObjectName(QStringLiteral("validation"));
    auto *validation = new QHBoxLayout(m_validationRow);
    validation->setContentsMargins(0, 0, 0, 0);
    validation->setSpacing(6);
    const QColor orange(255, 149, 0);
    validation->addWidget(
        settingsSymbol(QStringLiteral("exclamationmark.triangle.fill"), 12, orange, m_validationRow));
    m_validationText = settingsLabel(QString(), 12, QFont::Medium, orange, m_validationRow);
    validation->addWidget(m_validationText, 1);
    m_validationRow->hide();
    column->addWidget(m_validationRow);

    auto *note = new CardFrame(withAlpha(cyan, 0.04), withAlpha(cyan, 0.1), 10, this);
    auto *noteRow = new QHBoxLayout(note);
    noteRow->setContentsMargins(14, 14, 14, 14);
    noteRow->setSpacing(10);
    QLabel *noteIcon = settingsSymbol(QStringLiteral("envelope.open"), 13, withAlpha(cyan, 0.7), note);
    noteIcon->setAlignment(Qt::AlignTop);
    noteRow->addWidget(noteIcon);
    QLabel *noteText = settingsLabel(settingsText("contact_mail_note", language), 12, QFont::Normal,
                                     Theme::white(0.5), note);
    noteText->setWordWrap(true);
    noteRow->addWidget(noteText, 1);
    column->addWidget(note);

    auto *send = new QPushButton(settingsText("contact_send", language), this);
    send->setObjectName(QStringLiteral("send"));
    send->setIcon(
        QIcon(Symbols::pixmap(QStringLiteral("paperplane.fill"), 13, Qt::white, devicePixelRatioF())));
    send->setFont(Theme::systemFont(14, QFont::DemiBold));
    send->setCursor(Qt::PointingHandCursor);
    send->setStyleSheet(
        QStringLiteral("QPushButton { color: white; padding: 13px; border-radius: 12px;"
                       " border: 1px solid rgba(255,255,255,38);"
                       " background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 %1, stop:1 %2); }")
            .arg(rgba(cyan, 0.5), rgba(Color::neonPurple(), 0.5)));
    connect(send, &QPushButton::clicked, this, &ContactSection::sendMessage);
    column->addWidget(send);
    syncAttachment();
}

void ContactSection::selectCategory(ContactCategory category)
{
    m_selectedCategory = category;
    if (QAbstractButton *chip = m_chips->button(int(category)))
        chip->setChecked(true);
}

void ContactSection::sendMessage()
{
    m_validationError.clear();
    const QString message = m_message->toPlainText();
    if (const char *key = validationKey(m_name->text(), m_email->text(), message)) {
        m_validationError = settingsText(key, m_language);
        m_validationText->setText(m_validationError);
        m_validationRow->show();
        return;
    }
    m_validationRow->hide();
    const QUrl url = mailtoURL(subject(m_selectedCategory, m_name->text()),
                               body(m_selectedCategory, m_name->text(), m_email->text(), message));
    if (url.isValid() && m_openURL)
        m_openURL(url);
}

void ContactSection::chooseAttachment()
{
    const QString path = QFileDialog::getOpenFileName(this);
    if (!path.isEmpty())
        setAttachment(path);
}

void ContactSection::setAttachment(const QString &path)
{
    m_attachment = path;
    syncAttachment();
}

void ContactSection::syncAttachment()
{
    m_fileName->setText(QFileInfo(m_attachment).fileName());
    m_fileChip->setVisible(!m_attachment.isEmpty());
    m_noFile->setVisible(m_attachment.isEmpty());
}

} // namespace qv
