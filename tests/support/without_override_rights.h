// Giving up, for a while, the rights that let root read and write any file.
#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tarvino::test {

// Root reads and writes whatever the permission bits say. While this lives, the process gives up
// the rights that let it, and meets the bits as a shop's user does.
class WithoutOverrideRights {
public:
    WithoutOverrideRights()
    {
        if (::geteuid() != 0) {
            m_active = true;
            return;
        }
        m_header = {_LINUX_CAPABILITY_VERSION_3, 0};
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            reduced[0].effective &= ~(1u << cap);
        m_dropped = ::syscall(SYS_capset, &m_header, reduced) == 0;
        m_active = m_dropped;
    }
    ~WithoutOverrideRights()
    {
        if (m_dropped)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    WithoutOverrideRights(const WithoutOverrideRights&) = delete;
    WithoutOverrideRights& operator=(const WithoutOverrideRights&) = delete;
    bool active() const { return m_active; }

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_active = false;
    bool m_dropped = false;
};

} // namespace tarvino::test
