#pragma once

#include <QString>
#include <QStringList>

namespace qv {

// What keeping one running copy and restarting need of the operating system's processes, so the
// logic above it runs in tests without real processes. Main thread.
class ProcessControl
{
public:
    enum class Signal { terminate, kill };

    virtual ~ProcessControl() = default;

    virtual qint64 currentPid() const = 0;
    // Takes the per-user instance lock without waiting. True when this process holds it from now
    // until it exits (then the lock frees itself, also after a crash); false while another live
    // process holds it.
    virtual bool tryLockInstance() = 0;
    // The PID the lock's holder recorded; 0 when none can be read (no holder, or one still writing).
    virtual qint64 instanceHolderPid() const = 0;
    // False when the process does not exist or may not be signalled.
    virtual bool sendSignal(qint64 pid, Signal signal) = 0;
    // Blocks the calling thread.
    virtual void sleep(double seconds) = 0;
    // Starts `program` with `arguments` as a process of its own that outlives this one. Empty once it
    // has started, else a description of why it did not.
    virtual QString startDetached(const QString &program, const QStringList &arguments) = 0;
};

// The real processes of this user. The instance lock is an advisory lock on a file in the user's
// runtime folder, holding the holder's PID as text; the kernel drops the lock when the holder exits.
class PosixProcessControl final : public ProcessControl
{
public:
    // lockPath empty: "Quorvantis.lock" in QStandardPaths::RuntimeLocation ($XDG_RUNTIME_DIR).
    explicit PosixProcessControl(const QString &lockPath = QString());
    ~PosixProcessControl() override;

    qint64 currentPid() const override;
    bool tryLockInstance() override;
    qint64 instanceHolderPid() const override;
    bool sendSignal(qint64 pid, Signal signal) override;
    void sleep(double seconds) override;
    QString startDetached(const QString &program, const QStringList &arguments) override;

    QString lockPath() const { return m_lockPath; }

private:
    QString m_lockPath;
    int m_lockFd = -1;
    bool m_locked = false;
};

} // namespace qv
