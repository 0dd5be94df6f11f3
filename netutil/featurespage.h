#pragma once

#include "core/base/handover.h"
#include "netutil/serverexchange.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <thread>

namespace vantrel {

namespace netutil {
// What a fetch brought: the page's text, or none.
struct FeaturesPageFetched
{
    std::uint64_t run = 0;
    std::optional<QString> html;
};
} // namespace netutil

// The web page about a new version's features, fetched over plain HTTP/1.0 on a thread of
// its own with bounded waits; UI thread. Only "http:" addresses are fetched. Nothing the page
// refers to is fetched.
class FeaturesPage : public QObject, public Inbox<netutil::FeaturesPageFetched>
{
    Q_OBJECT
public:
    static constexpr int MaxBytes = 512 * 1024;

    explicit FeaturesPage(ServerExchange::Timeouts timeouts = {}, QObject* parent = nullptr);
    ~FeaturesPage() override; // stops

    // Fetches `url`, ending a fetch still running; loaded or failed follows.
    void Load(const QString& url);
    // Ends a running fetch: nothing follows.
    void Stop();

    // The request for an http URL, or none for any other.
    static std::optional<QByteArray> RequestFor(const QString& url);
    // The body of a reply whose status is 200, or none.
    static std::optional<QByteArray> BodyOf(const QByteArray& reply);

signals:
    void loaded(const QString& html);
    void failed();

private:
    struct Fetch
    {
        explicit Fetch(ServerExchange::Timeouts timeouts) : exchange(timeouts) {}
        ServerExchange exchange;
        std::thread thread;
    };

    void Take(netutil::FeaturesPageFetched fetched) override;

    ServerExchange::Timeouts m_timeouts;
    std::uint64_t m_run = 0;
    std::unique_ptr<Fetch> m_fetch;
};

} // namespace vantrel
