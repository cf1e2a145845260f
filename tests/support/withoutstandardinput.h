#pragma once

#include <fcntl.h>
#include <unistd.h>

namespace qv::test {

// Standard input closed for the object's life, as in a program started with "<&-": the next
// descriptor opened is 0, a valid one. What holds descriptor 0 at the end is closed then, so let go
// of it before.
class WithoutStandardInput
{
public:
    WithoutStandardInput() : m_saved(::fcntl(0, F_DUPFD_CLOEXEC, 3)) { ::close(0); }
    ~WithoutStandardInput()
    {
        if (m_saved >= 0) {
            ::dup2(m_saved, 0);
            ::close(m_saved);
        }
    }
    WithoutStandardInput(const WithoutStandardInput &) = delete;
    WithoutStandardInput &operator=(const WithoutStandardInput &) = delete;

private:
    int m_saved;
};

} // namespace qv::test
