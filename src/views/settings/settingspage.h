#pragma once

#include <QWidget>

namespace qv {

// One page of the settings window. A page is built afresh each time its tab is selected, with fresh
// view state, and told before it goes (another tab, or the window closing) so it can end what it
// started. Main thread.
class SettingsPage : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;

    // Runs once, before the page is dropped.
    virtual void pageWillDisappear() {}
};

} // namespace qv
