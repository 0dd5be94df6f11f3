#pragma once

#include <locale.h>

namespace vantrel {

// Switches the calling thread (never the process) to a UTF-8 locale for its lifetime, so that
// libarchive treats entry names as UTF-8 whatever locale the program runs under.
class ThreadLocale
{
public:
    ThreadLocale()
    {
        m_utf8 = newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        if (m_utf8)
            m_previous = uselocale(m_utf8);
    }
    ~ThreadLocale()
    {
        if (m_utf8) {
            uselocale(m_previous);
            freelocale(m_utf8);
        }
    }
    ThreadLocale(const ThreadLocale&) = delete;
    ThreadLocale& operator=(const ThreadLocale&) = delete;

private:
    locale_t m_utf8 = nullptr;
    locale_t m_previous = nullptr;
};

} // namespace vantrel
