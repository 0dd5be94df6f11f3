#pragma once

#include <QString>

#include <atomic>
#include <thread>

namespace vantrel::bench {

// A point-to-point link between two network namespaces through two TUN devices and a relay
// thread that holds every packet as netem would: serialised at `rateBitsPerSecond`, then
// delayed by `delayMs`, tail-dropped beyond a queue of 10,000 packets. For kernels without
// netem. Near gets NearAddress, far gets FarAddress; the devices go with their namespaces.
class TunLink
{
public:
    static constexpr const char* NearAddress = "10.202.0.1";
    static constexpr const char* FarAddress = "10.202.0.2";

    TunLink(const QString& nearNamespace, const QString& farNamespace, double rateBitsPerSecond,
            int delayMs);
    ~TunLink();
    TunLink(const TunLink&) = delete;
    TunLink& operator=(const TunLink&) = delete;

    bool ok() const { return m_ok; }
    const QString& error() const { return m_error; }

private:
    int OpenDevice(const QString& name);
    bool Place(const QString& device, const QString& space, const char* address, const char* peer);
    void Relay();

    int m_near = -1;
    int m_far = -1;
    double m_nsPerByte;
    long long m_delayNs;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    bool m_ok = false;
    QString m_error;
};

} // namespace vantrel::bench
