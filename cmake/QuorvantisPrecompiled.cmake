# Precompiled headers: nearly every file includes the same Qt and standard headers, and parsing them
# is most of a build's time (CI builds from scratch, on as few as two cores). qv_precompile(target
# LEVEL) precompiles the headers of what the target links: core (Qt Core), gui (Core and Gui),
# widgets (Core, Gui and Widgets). Each file still includes what it uses: the list only adds
# headers, so a build without it (-DQV_PCH=OFF) compiles the same.
set(QV_PCH_CORE <algorithm> <functional> <memory> <optional> <vector> <QByteArray> <QDateTime> <QDir>
    <QFileInfo> <QHash> <QList> <QLoggingCategory> <QMutex> <QObject> <QPointer> <QSet> <QString>
    <QStringList> <QUrl>)
set(QV_PCH_GUI ${QV_PCH_CORE} <QColor> <QImage> <QPainter> <QPainterPath> <QRectF>)
set(QV_PCH_WIDGETS ${QV_PCH_GUI} <QHBoxLayout> <QLabel> <QMenu> <QMouseEvent> <QVBoxLayout> <QWidget>)

function(qv_precompile target level)
    if(NOT QV_PCH)
        return()
    endif()
    string(TOUPPER "${level}" level)
    target_precompile_headers(${target} PRIVATE ${QV_PCH_${level}} ${ARGN})
endfunction()

# The level a target's libraries give it: widgets when one of them is Qt Widgets or a library built
# on it, gui likewise, else core.
function(qv_precompile_for target)
    get_property(widget_libs GLOBAL PROPERTY QV_WIDGET_LIBS)
    get_property(gui_libs GLOBAL PROPERTY QV_GUI_LIBS)
    set(level core)
    foreach(lib IN LISTS ARGN)
        if(lib STREQUAL "Qt6::Widgets" OR lib IN_LIST widget_libs)
            set(level widgets)
            break()
        elseif(lib STREQUAL "Qt6::Gui" OR lib IN_LIST gui_libs)
            set(level gui)
        endif()
    endforeach()
    if(level STREQUAL "widgets")
        set_property(GLOBAL APPEND PROPERTY QV_WIDGET_LIBS ${target})
    elseif(level STREQUAL "gui")
        set_property(GLOBAL APPEND PROPERTY QV_GUI_LIBS ${target})
    endif()
    set(QV_PRECOMPILE_LEVEL ${level} PARENT_SCOPE)
endfunction()
