#pragma once

#include <memory>

namespace vantrel {

// One outgoing attempt's context. Opaque.
class ClientContext
{
public:
    struct Impl;
    explicit ClientContext(std::unique_ptr<Impl> impl);
    ~ClientContext();
    Impl* impl() const { return m_impl.get(); }

private:
    std::unique_ptr<Impl> m_impl;
};

} // namespace vantrel
