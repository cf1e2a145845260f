#pragma once

#include <QWidget>

#include <functional>

class QLabel;

namespace qv {

class Scheduler;
class SlideButton;

// The first slide: the program's symbol, a greeting and the button that starts the walk-through.
// Passive: texts arrive localised, the button runs the action it was given. Main thread.
class WelcomeSlide : public QWidget
{
    Q_OBJECT
public:
    WelcomeSlide(Scheduler &scheduler, std::function<void()> action, QWidget *parent = nullptr);
    void setTexts(const QString &title, const QString &desc, const QString &buttonText);

    QString title() const;
    SlideButton *button() const { return m_button; }

private:
    QLabel *m_title;
    QLabel *m_desc;
    SlideButton *m_button;
};

} // namespace qv
