#pragma once

#include <QObject>

namespace qv {

// Lists, orders and captures other applications' windows and acts on them. Main thread only.
class WindowEngine : public QObject
{
    Q_OBJECT
    // True from the start of any menu tracking in the application until shortly after it ends;
    // the preview bubble stays open meanwhile.
    Q_PROPERTY(bool isContextMenuOpen READ isContextMenuOpen WRITE setContextMenuOpen NOTIFY
                   isContextMenuOpenChanged)
public:
    explicit WindowEngine(QObject *parent = nullptr);

    bool isContextMenuOpen() const { return m_isContextMenuOpen; }
    void setContextMenuOpen(bool open);

signals:
    void isContextMenuOpenChanged(bool open);

private:
    bool m_isContextMenuOpen = false;
};

} // namespace qv
