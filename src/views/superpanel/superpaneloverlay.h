#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>

namespace qv {

class WindowEngine;

// The Super Panel's root view, shown full screen while the panel is open. It reads the route to show
// and the window list from the engine, and closes the panel by writing false to `isPresented`.
//
// For now its body is a plain one: the route's name and the titles of the windows the engine lists;
// Esc closes the panel. The engine outlives the view. Main thread.
class SuperPanelOverlay : public QWidget
{
    Q_OBJECT
public:
    // The two halves of the `isPresented` binding: what is shown, and the way to change it.
    struct Presented
    {
        std::function<bool()> get;
        std::function<void(bool)> set;
    };

    SuperPanelOverlay(WindowEngine &engine, Presented isPresented, QWidget *parent = nullptr);

    bool isPresented() const;
    void setPresented(bool presented);

    // What the body shows.
    QString routeName() const;
    QStringList windowTitles() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    WindowEngine &m_engine;
    Presented m_isPresented;
};

} // namespace qv
