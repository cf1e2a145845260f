#pragma once

#include <QUrl>

#include <functional>
#include <optional>

#include "core/applanguage.h"
#include "views/settings/settingspage.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace qv {

// The Contact page: a form (name, e-mail, category, message, an optional file) that composes a
// mailto: URL to the support address and hands it to the desktop's mail handler. Nothing is sent
// from here, and the chosen file never travels with the URL: the page tells the user to attach it in
// the mail program. The form starts empty each time the page is built. Main thread.
class ContactSection : public SettingsPage
{
    Q_OBJECT
public:
    enum class ContactCategory { question, bug, idea, feedback, support, partnership };
    static constexpr ContactCategory allCategories[] = {
        ContactCategory::question, ContactCategory::bug,     ContactCategory::idea,
        ContactCategory::feedback, ContactCategory::support, ContactCategory::partnership};
    static QString rawValue(ContactCategory category);
    static std::optional<ContactCategory> categoryFromRawValue(const QString &raw);
    static QString title(ContactCategory category, AppLanguage language);

    // The address the form writes to: a placeholder of the project's own on a reserved domain.
    static QString supportAddress();

    // The localisation key of the first empty field (name, e-mail, message; blanks and tabs count as
    // empty, line breaks do not), or none when the form may be sent.
    static const char *validationKey(const QString &name, const QString &email, const QString &message);
    static QString subject(ContactCategory category, const QString &name);
    static QString body(ContactCategory category, const QString &name, const QString &email,
                        const QString &message);
    // "mailto:<support>?subject=…&body=…" with every byte outside RFC 3986's unreserved characters
    // percent-encoded, so no field can add a header or cut another short.
    static QUrl mailtoURL(const QString &subject, const QString &body);

    ContactSection(AppLanguage language, std::function<void(const QUrl &)> openURL,
                   QWidget *parent = nullptr);

    // Validates, then asks the mail handler to open the composed message.
    void sendMessage();
    // Runs the file chooser; OK with a file shows it, cancelling changes nothing.
    void chooseAttachment();
    void setAttachment(const QString &path);

    QLineEdit *nameField() const { return m_name; }
    QLineEdit *emailField() const { return m_email; }
    QPlainTextEdit *messageField() const { return m_message; }
    ContactCategory selectedCategory() const { return m_selectedCategory; }
    void selectCategory(ContactCategory category);
    // The message shown under the attachment row; empty while none shows.
    QString validationError() const { return m_validationError; }
    QString attachment() const { return m_attachment; }

private:
    void syncAttachment();

    AppLanguage m_language;
    std::function<void(const QUrl &)> m_openURL;
    ContactCategory m_selectedCategory = ContactCategory::question;
    QString m_validationError;
    QString m_attachment;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_email = nullptr;
    QPlainTextEdit *m_message = nullptr;
    QButtonGroup *m_chips = nullptr;
    QWidget *m_fileChip = nullptr;
    QLabel *m_fileName = nullptr;
    QLabel *m_noFile = nullptr;
    QWidget *m_validationRow = nullptr;
    QLabel *m_validationText = nullptr;
};

} // namespace qv
