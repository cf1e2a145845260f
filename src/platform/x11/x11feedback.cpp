#include "platform/x11/x11feedback.h"

#include <QLibrary>

#include <cstdint>

#include "runtime/workqueue.h"

namespace qv {

namespace {
// The few entry points of libcanberra's C interface that are used, resolved at run time.
struct ca_context;
using CreateFn = int (*)(ca_context **);
using DestroyFn = int (*)(ca_context *);
using PlayFn = int (*)(ca_context *, std::uint32_t, ...);
} // namespace

struct X11Feedback::Canberra
{
    QLibrary library{QStringLiteral("canberra"), 0};
    DestroyFn destroy = nullptr;
    PlayFn play = nullptr;
    ca_context *context = nullptr;
    bool tried = false;

    // True once a context is ready; a failed attempt is not repeated.
    bool load()
    {
        if (tried)
            return context != nullptr;
        tried = true;
        if (!library.load())
            return false;
        const auto create = reinterpret_cast<CreateFn>(library.resolve("ca_context_create"));
        destroy = reinterpret_cast<DestroyFn>(library.resolve("ca_context_destroy"));
        play = reinterpret_cast<PlayFn>(library.resolve("ca_context_play"));
        if (!create || !destroy || !play || create(&context) != 0)
            context = nullptr;
        return context != nullptr;
    }

    ~Canberra()
    {
        if (context && destroy)
            destroy(context);
    }
};

X11Feedback::X11Feedback()
{
    m_worker.setMaxThreadCount(1);
}

X11Feedback::~X11Feedback()
{
    m_worker.clear();
    m_worker.waitForDone();
    delete m_canberra;
}

void X11Feedback::playSnapSound()
{
    startOnPool(m_worker, [this] {
        if (!m_canberra)
            m_canberra = new Canberra;
        if (!m_canberra->load())
            return;
        // Playback continues in the sound server; the call returns once it has started.
        m_canberra->play(m_canberra->context, 0, "event.id", "complete", "event.description",
                         "Window snapped", static_cast<const char *>(nullptr));
    });
}

} // namespace qv
