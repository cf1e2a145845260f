#include "ui/interfacelanguage.h"

#include <QApplication>
#include <QFont>
#include <QFontInfo>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QTranslator>

#include "core/localization.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"

namespace qv {

namespace {

Q_LOGGING_CATEGORY(lcLanguage, "quorvantis.language")

const QString chineseFamily = QStringLiteral("Noto Sans CJK SC");
const QString japaneseFamily = QStringLiteral("Noto Sans CJK JP");
const QString emojiFamily = QStringLiteral("Noto Color Emoji");

} // namespace

InterfaceLanguage::InterfaceLanguage(SettingsStore &settings, QObject *parent)
    : QObject(parent), m_settings(settings), m_ownFont(QApplication::font()),
      // The family the platform's font resolves to: an alias such as "Sans Serif" names no font, so
      // in a list of families it would be passed over for the CJK family, Latin letters and all.
      m_ownFamily(QFontInfo(m_ownFont).family())
{
    connect(&settings, &SettingsStore::changed, this, [this](const QString &key) {
        if (key == Settings::appLanguage.key())
            apply();
    });
    apply();
}

InterfaceLanguage::~InterfaceLanguage()
{
    if (m_translator)
        QCoreApplication::removeTranslator(m_translator.get());
    QApplication::setFont(m_ownFont);
}

QStringList InterfaceLanguage::fontFamilies(const QString &own, QStringView code)
{
    QStringList families{own};
    if (code == u"ja")
        families << japaneseFamily << chineseFamily;
    else
        families << chineseFamily << japaneseFamily;
    return families << emojiFamily;
}

QString InterfaceLanguage::qtTranslationName(QStringView code)
{
    if (code == u"en")
        return QString();
    // Qt names its Simplified Chinese file by the region.
    return QStringLiteral("qtbase_") + (code == u"zh" ? QStringLiteral("zh_CN") : code.toString());
}

void InterfaceLanguage::apply()
{
    const QString code = Localization::languageCode(Localization::storedLanguage(m_settings)).toString();
    if (code == m_code)
        return;
    m_code = code;

    QFont font = QApplication::font();
    font.setFamilies(fontFamilies(m_ownFamily, code));
    QApplication::setFont(font);

    if (m_translator) {
        QCoreApplication::removeTranslator(m_translator.get());
        m_translator.reset();
    }
    const QString name = qtTranslationName(code);
    if (name.isEmpty())
        return;
    auto translator = std::make_unique<QTranslator>();
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(name, folder)) {
        qCWarning(lcLanguage).noquote() << "⚠️ Qt's own texts stay English: no" << name << "in" << folder;
        return;
    }
    QCoreApplication::installTranslator(translator.get());
    m_translator = std::move(translator);
}

} // namespace qv
