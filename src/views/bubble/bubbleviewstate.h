#pragma once

#include <QImage>
#include <QObject>
#include <QString>

#include "core/applanguage.h"

namespace qv {

// What the bubble shows besides its cards, owned by the overlay controller and handed to the
// content view. Each setter announces a real change only. Main thread.
class BubbleViewState : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    QString headerTitle() const { return m_headerTitle; }
    void setHeaderTitle(const QString &title);
    // The application's icon; a null image draws the generic application symbol.
    QImage headerIcon() const { return m_headerIcon; }
    void setHeaderIcon(const QImage &icon);
    bool hasPermission() const { return m_hasPermission; }
    void setHasPermission(bool hasPermission);
    AppLanguage language() const { return m_language; }
    void setLanguage(AppLanguage language);
    double blurAmount() const { return m_blurAmount; }
    void setBlurAmount(double blurAmount);
    // False without a compositing manager: everything paints opaque.
    bool isTranslucent() const { return m_translucent; }
    void setTranslucent(bool translucent);

signals:
    void changed();

private:
    template <typename T> void assign(T &member, const T &value)
    {
        if (member == value)
            return;
        member = value;
        emit changed();
    }

    QString m_headerTitle;
    QImage m_headerIcon;
    bool m_hasPermission = true;
    AppLanguage m_language = AppLanguage::system;
    double m_blurAmount = 25.0;
    bool m_translucent = true;
};

} // namespace qv
