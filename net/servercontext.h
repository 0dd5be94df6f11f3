#pragma once

#include <memory>

namespace vantrel {

// The listening side's context: server certificate and key. Opaque.
class ServerContext
{
public:
    struct Impl;
    explicit ServerContext(std::unique_ptr<Impl> impl);
    ~ServerContext();
    Impl* impl() const { return m_impl.get(); }

private:
    std::unique_ptr<Impl> m_impl;
};

} // namespace vantrel
