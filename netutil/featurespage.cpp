#include "netutil/featurespage.h"

#include <QUrl>

namespace vantrel {

FeaturesPage::FeaturesPage(ServerExchange::Timeouts timeouts, QObject* parent)
    : QObject(parent), m_timeouts(timeouts)
{
}

FeaturesPage::~FeaturesPage()
{
    Stop();
}

std::optional<QByteArray> FeaturesPage::RequestFor(const QString& url)
{
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.scheme() != QLatin1String("http") || parsed.host().isEmpty())
        return std::nullopt;
    QByteArray path = parsed.path(QUrl::FullyEncoded).toLatin1();
    if (path.isEmpty())
        path = "/";
    if (parsed.hasQuery())
        path += '?' + parsed.query(QUrl::FullyEncoded).toLatin1();
    return "GET " + path + " HTTP/1.0\r\nHost: " + parsed.host(QUrl::FullyEncoded).toLatin1() +
           "\r\nConnection: close\r\n\r\n";
}

std::optional<QByteArray> FeaturesPage::BodyOf(const QByteArray& reply)
{
    const qsizetype lineEnd = reply.indexOf('\n');
    const QList<QByteArray> status = reply.left(lineEnd).trimmed().split(' ');
    if (lineEnd < 0 || status.size() < 2 || !status[0].startsWith("HTTP/") || status[1] != "200")
        return std::nullopt;
    qsizetype bodyStart = reply.indexOf("\r\n\r\n");
    if (bodyStart >= 0) {
        bodyStart += 4;
    } else {
        bodyStart = reply.indexOf("\n\n");
        if (bodyStart < 0)
            return std::nullopt;
        bodyStart += 2;
    }
    return reply.mid(bodyStart);
}

void FeaturesPage::Load(const QString& url)
{
    Stop();
    const std::uint64_t run = ++m_run;
    const std::optional<QByteArray> request = RequestFor(url);
    if (!request) {
        HandOver(this, netutil::FeaturesPageFetched{run, std::nullopt});
        return;
    }
    const QUrl parsed(url);
    m_fetch = std::make_unique<Fetch>(m_timeouts);
    Fetch* fetch = m_fetch.get();
    fetch->thread = std::thread(
        [this, fetch, run, request = *request, host = parsed.host(), port = parsed.port(80)] {
            netutil::FeaturesPageFetched fetched;
            fetched.run = run;
            const std::optional<QByteArray> reply =
                fetch->exchange.AskWhole(host, port, request, MaxBytes);
            if (reply) {
                if (const std::optional<QByteArray> body = BodyOf(*reply))
                    fetched.html = QString::fromUtf8(*body);
            }
            HandOver(this, std::move(fetched));
        });
}

void FeaturesPage::Stop()
{
    ++m_run; // what a stopped fetch hands over is ignored
    if (!m_fetch)
        return;
    m_fetch->exchange.Cancel();
    if (m_fetch->thread.joinable())
        m_fetch->thread.join();
    m_fetch.reset();
}

void FeaturesPage::Take(netutil::FeaturesPageFetched fetched)
{
    if (fetched.run != m_run)
        return;
    if (fetched.html)
        emit loaded(*fetched.html);
    else
        emit failed();
}

} // namespace vantrel
