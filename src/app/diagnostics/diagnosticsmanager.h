#pragma once

#include <QObject>
#include <QString>

#include "app/diagnostics/diagevents.h"

namespace qv {

// Opt-in event recorder. log() is callable from any thread and never fails; while
// "diagnosticsEnabled" is off it costs one settings read and records nothing.
class DiagnosticsManager : public QObject
{
    Q_OBJECT
public:
    explicit DiagnosticsManager(QObject *parent = nullptr);
    ~DiagnosticsManager() override;

    // The instance the application created; before that (and in tests that set none) a quiet
    // instance that records nothing, so callers never check for null.
    static DiagnosticsManager *shared();
    static void setShared(DiagnosticsManager *manager);

    void log(const QString &name, const QString &detail = QString());
};

} // namespace qv
