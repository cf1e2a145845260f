#pragma once

#include <QWidget>

#include "ui/animation.h"

namespace qv {

class Scheduler;
class SettingsStore;
template <typename T> struct SettingKey;

// One on/off setting of the settings window: a full-width glass card with the label on the left and
// a small capsule switch on the right whose glowing knob slides between the ends. Only the switch
// takes clicks; the label and the space beside it do nothing. The knob follows every change of the
// value, a click or one made elsewhere, with a spring on the scheduler; the track's colours change
// at once. Main thread.
class GlassToggle : public QWidget
{
    Q_OBJECT
public:
    static constexpr QSize trackSize{44, 24};
    static constexpr int knobDiameter = 16;
    static constexpr double knobTravel = 10; // from the track's centre, each way

    GlassToggle(const QString &label, bool on, Scheduler &scheduler, QWidget *parent = nullptr);

    // How a setting's readers take its stored value; by default SettingsStore::get.
    using Reader = bool (*)(const SettingsStore &);

    // A toggle bound to a stored setting: it shows the stored value as `read` takes it (the key's
    // default while none is stored), writes a flip at once and follows writes made elsewhere while
    // it lives.
    static GlassToggle *bound(SettingsStore &settings, const SettingKey<bool> &key, const QString &label,
                              Scheduler &scheduler, QWidget *parent = nullptr, Reader read = nullptr);

    bool isOn() const { return m_on; }
    // Moves the knob with the spring; emits nothing.
    void setOn(bool on);
    QString label() const { return m_label; }
    // The switch's track in the widget's coordinates: where a click flips the value.
    QRectF trackRect() const;
    // The knob's horizontal offset from the track's centre now (-10 off ... +10 on).
    double knobOffset() const { return m_knobOffset; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The glass card behind every row of the settings pages: a rounded rectangle of radius 12 in
    // the thinnest material at half opacity, with a hairline from white at the top left to clear.
    static void paintGlassCard(QPainter &painter, const QRectF &rect);

signals:
    // A click on the switch flipped the value.
    void toggled(bool on);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QString m_label;
    bool m_on;
    double m_knobOffset;
    Animation m_knob;
};

} // namespace qv
