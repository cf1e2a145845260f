#pragma once

#include <QFont>
#include <QObject>
#include <QStringList>

#include <memory>

class QTranslator;

namespace qv {

class SettingsStore;

// What Qt itself needs for the interface language of "appLanguage": its own translations, so the
// buttons of its dialogs and message boxes (a file picker's Open and Cancel, a message box's Yes)
// read in that language, and a font that draws Chinese and Japanese. The application font tries
// its own family first and then the CJK family of the language (Noto Sans CJK: the Japanese forms
// for Japanese, the Simplified Chinese ones otherwise) and last the colour emoji family, so a
// language name in the picker or a copied text with emoji never shows boxes. Both follow every
// change of the language while this lives; the destructor gives back Qt's English and the font it
// found. Main thread, after the QApplication.
class InterfaceLanguage : public QObject
{
    Q_OBJECT
public:
    explicit InterfaceLanguage(SettingsStore &settings, QObject *parent = nullptr);
    ~InterfaceLanguage() override;

    // The font families tried for the table language `code` ("en" ... "ja"), in order, after the
    // family `own` the platform's font resolves to.
    static QStringList fontFamilies(const QString &own, QStringView code);
    // Qt's translation file for the table language `code` ("qtbase_fr" ...); empty for English.
    static QString qtTranslationName(QStringView code);

private:
    void apply();

    SettingsStore &m_settings;
    QFont m_ownFont;
    QString m_ownFamily;
    QString m_code;
    std::unique_ptr<QTranslator> m_translator;
};

} // namespace qv
