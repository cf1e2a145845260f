#pragma once

#include <QWidget>

#include <functional>

#include "views/onboarding/slidebutton.h"

class QLabel;

namespace qv {

// What the welcome and the final slide share: a title, a description and one button that runs the
// action it was given. Each lays them out under its own symbol. Passive: texts arrive localised.
// Main thread.
class ButtonSlide : public QWidget
{
    Q_OBJECT
public:
    void setTexts(const QString &title, const QString &desc, const QString &buttonText);

    QString title() const;
    QString desc() const;
    SlideButton *button() const { return m_button; }

protected:
    ButtonSlide(const SlideButton::Look &buttonLook, std::function<void()> action, QWidget *parent);
    QLabel *titleLabel() const { return m_title; }
    QLabel *descLabel() const { return m_desc; }

private:
    QLabel *m_title;
    QLabel *m_desc;
    SlideButton *m_button;
};

} // namespace qv
