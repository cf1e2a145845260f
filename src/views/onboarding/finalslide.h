#pragma once

#include <QWidget>

#include <functional>

class QLabel;

namespace qv {

class Scheduler;
class SlideButton;

// The last slide: a rocket, "all set" and the button that ends the walk-through. Passive, like the
// other slides. Main thread.
class FinalSlide : public QWidget
{
    Q_OBJECT
public:
    FinalSlide(Scheduler &scheduler, std::function<void()> action, QWidget *parent = nullptr);
    void setTexts(const QString &title, const QString &desc, const QString &buttonText);

    QString title() const;
    SlideButton *button() const { return m_button; }

private:
    QLabel *m_title;
    QLabel *m_desc;
    SlideButton *m_button;
};

} // namespace qv
