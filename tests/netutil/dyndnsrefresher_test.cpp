#include "netutil/dyndnsrefresher.h"

#include "netutil/dyndnsbook.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QTimer>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <ostream>
#include <thread>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace vantrel {
namespace {

using namespace Qt::StringLiterals;

// Answers names from a table; while held, each lookup waits until released, so a test can
// catch a pass in the middle. A stopped pass leaves its lookup running on a helper thread:
// the lookups share the table's state, so they may outlive the test.
class TableResolver
{
public:
    HostResolver Resolver()
    {
        return [state = m_state](const QString& host) -> std::optional<QString> {
            std::unique_lock lock(state->mutex);
            ++state->lookups;
            state->changed.notify_all();
            state->changed.wait(lock, [&] { return !state->held; });
            const auto found = state->table.constFind(host);
            if (found == state->table.constEnd())
                return std::nullopt;
            return *found;
        };
    }
    void Set(const QString& host, const QString& address)
    {
        std::lock_guard lock(m_state->mutex);
        m_state->table[host] = address;
    }
    void Remove(const QString& host)
    {
        std::lock_guard lock(m_state->mutex);
        m_state->table.remove(host);
    }
    void Hold(bool held)
    {
        std::lock_guard lock(m_state->mutex);
        m_state->held = held;
        m_state->changed.notify_all();
    }
    // Waits on this thread (not the event loop) until `count` lookups have begun.
    bool WaitForLookups(int count)
    {
        std::unique_lock lock(m_state->mutex);
        return m_state->changed.wait_for(lock, std::chrono::seconds(10),
                                         [&] { return m_state->lookups >= count; });
    }
    int lookups()
    {
        std::lock_guard lock(m_state->mutex);
        return m_state->lookups;
    }

private:
    struct State
    {
        std::mutex mutex;
        std::condition_variable changed;
        QMap<QString, QString> table;
        bool held = false;
        int lookups = 0;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

class DynDnsRefresherTest : public ::testing::Test
{
protected:
    QStringList Addresses()
    {
        QStringList addresses;
        for (const DynDnsBook::Entry& entry : m_book.entries())
            addresses << entry.address;
        return addresses;
    }
    bool WaitForPassEnd()
    {
        return test::WaitUntil([this] { return !m_refresher.view().running; });
    }

    DynDnsBook m_book;
    TableResolver m_table;
    DynDnsRefresher m_refresher{m_book, m_table.Resolver()};
};

TEST_F(DynDnsRefresherTest, PassFollowsNamesThatMoveAndNamesThatVanish)
{
    m_book.AddEntry(u"home.dyn.test"_s, DynDnsBook::Unresolved);
    m_book.AddEntry(u"gone.dyn.test"_s, DynDnsBook::Unresolved);
    m_table.Set(u"home.dyn.test"_s, u"10.1.1.1"_s);
    m_table.Set(u"gone.dyn.test"_s, u"10.2.2.2"_s);

    std::vector<DynDnsRefresher::View> seen;
    QObject::connect(&m_refresher, &DynDnsRefresher::viewChanged,
                     [&] { seen.push_back(m_refresher.view()); });
    m_refresher.RefreshAll();
    EXPECT_TRUE(m_refresher.view().running);
    ASSERT_TRUE(WaitForPassEnd());
    EXPECT_EQ(Addresses(), QStringList({u"10.1.1.1"_s, u"10.2.2.2"_s}));
    EXPECT_EQ(m_book.NameForAddress(0x0a020202), u"gone.dyn.test"_s);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().total, 2);
    EXPECT_EQ(seen.back().done, 2);
    EXPECT_FALSE(seen.back().running);

    m_table.Set(u"home.dyn.test"_s, u"10.1.1.9"_s);
    m_table.Remove(u"gone.dyn.test"_s);
    m_refresher.RefreshAll();
    ASSERT_TRUE(WaitForPassEnd());
    EXPECT_EQ(Addresses(), QStringList({u"10.1.1.9"_s, u"-"_s}));
    EXPECT_EQ(m_book.NameForAddress(0x0a010101), std::nullopt);
    EXPECT_EQ(m_book.NameForAddress(0x0a010109), u"home.dyn.test"_s);
    EXPECT_EQ(m_book.NameForAddress(0x0a020202), std::nullopt);
}

TEST_F(DynDnsRefresherTest, ANewRequestAbandonsTheRunningPassAndStartsAgain)
{
    for (const QString& host : {u"a.test"_s, u"b.test"_s, u"c.test"_s}) {
        m_book.AddEntry(host, DynDnsBook::Unresolved);
        m_table.Set(host, u"10.0.0.1"_s);
    }
    m_table.Hold(true);
    m_refresher.RefreshAll();
    ASSERT_TRUE(m_table.WaitForLookups(1));
    // The lookup in progress is let go after the stop: its answer is discarded.
    std::thread release([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        m_table.Hold(false);
    });
    m_refresher.RefreshAll(); // what RefTimer does when it expires
    release.join();
    ASSERT_TRUE(WaitForPassEnd());
    EXPECT_EQ(Addresses(), QStringList({u"10.0.0.1"_s, u"10.0.0.1"_s, u"10.0.0.1"_s}));
    EXPECT_EQ(m_table.lookups(), 1 + 3);
    EXPECT_EQ(m_refresher.view().done, 3);
    EXPECT_EQ(m_refresher.view().total, 3);
}

TEST_F(DynDnsRefresherTest, StoppingAPassLeavesItEndedAndTheLockFree)
{
    m_book.AddEntry(u"a.test"_s, DynDnsBook::Unresolved);
    m_book.AddEntry(u"b.test"_s, DynDnsBook::Unresolved);
    m_table.Set(u"a.test"_s, u"10.0.0.1"_s);
    m_table.Hold(true);
    m_refresher.RefreshAll();
    ASSERT_TRUE(m_table.WaitForLookups(1));
    // Lookups of connection threads go on while the pass waits for the name server.
    EXPECT_FALSE(m_book.ContainsHost(u"c.test"_s));
    m_book.AddEntry(u"c.test"_s, u"10.0.0.3"_s);
    EXPECT_EQ(m_book.NameForAddress(0x0a000003), u"c.test"_s);
    std::thread release([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        m_table.Hold(false);
    });
    m_refresher.StopPass();
    release.join();
    EXPECT_FALSE(m_refresher.view().running);
    EXPECT_EQ(Addresses(), QStringList({u"-"_s, u"-"_s, u"10.0.0.3"_s}));
    // Steps still queued from the stopped pass change nothing.
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_refresher.view().running);
}

// A name server that does not answer: each lookup blocks until released (or for a long
// while). Its state is shared with the lookups, which may outlive the test.
struct BlockingResolver
{
    struct State
    {
        std::mutex mutex;
        std::condition_variable changed;
        int began = 0;
        bool released = false;
    };
    std::shared_ptr<State> state = std::make_shared<State>();

    HostResolver Resolver() const
    {
        return [state = state](const QString&) -> std::optional<QString> {
            std::unique_lock lock(state->mutex);
            ++state->began;
            state->changed.notify_all();
            state->changed.wait_for(lock, std::chrono::seconds(5), [&] { return state->released; });
            return u"10.7.7.7"_s;
        };
    }
    bool WaitForLookups(int count) const
    {
        std::unique_lock lock(state->mutex);
        return state->changed.wait_for(lock, std::chrono::seconds(10),
                                       [&] { return state->began >= count; });
    }
    void Release() const
    {
        std::lock_guard lock(state->mutex);
        state->released = true;
        state->changed.notify_all();
    }
};

TEST(DynDnsRefresherStopTest, StoppingDuringALookupReturnsWithoutWaitingForTheNameServer)
{
    enum class Stop
    {
        StopPass,
        TimerFires,
        ProgramCloses
    };
    for (const Stop stop : {Stop::StopPass, Stop::TimerFires, Stop::ProgramCloses}) {
        SCOPED_TRACE(static_cast<int>(stop));
        const BlockingResolver resolver;
        DynDnsBook book;
        book.AddEntry(u"slow.dyn.test"_s, DynDnsBook::Unresolved);
        auto refresher = std::make_unique<DynDnsRefresher>(book, resolver.Resolver());
        refresher->RefreshAll();
        ASSERT_TRUE(resolver.WaitForLookups(1));

        QElapsedTimer clock;
        clock.start();
        switch (stop) {
        case Stop::StopPass:
            refresher->StopPass();
            break;
        case Stop::TimerFires:
            refresher->RefreshAll();
            break;
        case Stop::ProgramCloses:
            refresher.reset();
            break;
        }
        EXPECT_LT(clock.elapsed(), 1000);
        if (refresher) {
            EXPECT_EQ(refresher->view().running, stop == Stop::TimerFires);
        }
        // The abandoned lookup's answer is dropped.
        EXPECT_EQ(book.entries().front().address, DynDnsBook::Unresolved);

        resolver.Release();
        if (stop == Stop::TimerFires) {
            ASSERT_TRUE(test::WaitUntil([&] { return !refresher->view().running; }));
            EXPECT_EQ(book.entries().front().address, u"10.7.7.7"_s);
        }
    }
}

TEST_F(DynDnsRefresherTest, EntriesAddedDuringAPassWaitForTheNext)
{
    m_book.AddEntry(u"a.test"_s, DynDnsBook::Unresolved);
    m_table.Set(u"a.test"_s, u"10.0.0.1"_s);
    m_table.Set(u"new.test"_s, u"10.0.0.2"_s);
    m_table.Hold(true);
    m_refresher.RefreshAll();
    ASSERT_TRUE(m_table.WaitForLookups(1));
    m_book.AddEntry(u"new.test"_s, u"10.9.9.9"_s);
    m_table.Hold(false);
    ASSERT_TRUE(WaitForPassEnd());
    EXPECT_EQ(Addresses(), QStringList({u"10.0.0.1"_s, u"10.9.9.9"_s}));
    EXPECT_EQ(m_table.lookups(), 1);
}

TEST_F(DynDnsRefresherTest, PeriodTable)
{
    EXPECT_EQ(m_refresher.periodText(), u"30"_s);
    EXPECT_EQ(m_refresher.periodMs(), 0); // stopped until loading sets it
    const struct
    {
        QString text;
        int ms;
    } periods[] = {
        {u"10"_s, 600000},
        {u"45"_s, 45 * 60000},
        {u"soon"_s, 30 * 60000},
        {QString(), 30 * 60000},
        {u"-3"_s, 30 * 60000},
        {u"0"_s, 0},
        {u"99999999"_s, 35791 * 60000}, // the longest a timer holds
    };
    for (const auto& c : periods) {
        SCOPED_TRACE(c.text.toStdString());
        m_refresher.SetPeriodText(c.text);
        EXPECT_EQ(m_refresher.periodText(), c.text);
        EXPECT_EQ(m_refresher.periodMs(), c.ms);
    }
}

TEST_F(DynDnsRefresherTest, TimerExpiryRunsAPass)
{
    m_book.AddEntry(u"a.test"_s, DynDnsBook::Unresolved);
    m_table.Set(u"a.test"_s, u"10.0.0.1"_s);
    m_refresher.SetPeriodText(u"1"_s);
    auto* timer = m_refresher.findChild<QTimer*>(u"RefTimer"_s);
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 60000);
    ASSERT_TRUE(QMetaObject::invokeMethod(timer, "timeout"));
    ASSERT_TRUE(test::WaitUntil([this] { return m_table.lookups() == 1; }));
    ASSERT_TRUE(WaitForPassEnd());
    EXPECT_EQ(Addresses(), QStringList({u"10.0.0.1"_s}));
}

} // namespace
} // namespace vantrel
