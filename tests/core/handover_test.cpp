#include "core/base/handover.h"
#include "core/base/runcounter.h"
#include "tests/support/tempprofile.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vantrel {
namespace {

struct Word
{
    std::string text;
};
struct Owned
{
    std::unique_ptr<int> value;
};
struct Kept
{
    std::shared_ptr<int> token;
};

class Recorder : public QObject, public Accepts<Word>, public Accepts<Owned>, public Accepts<Kept>
{
public:
    void Take(Word word) override
    {
        words.push_back(word.text);
        threads.push_back(QThread::currentThread());
    }
    void Take(Owned owned) override { values.push_back(*owned.value); }
    void Take(Kept) override { ++kept; }

    std::vector<std::string> words;
    std::vector<QThread*> threads;
    std::vector<int> values;
    int kept = 0;
};

TEST(HandOver, FromTheReceiversOwnThreadIsADeferredCallInOrder)
{
    Recorder receiver;
    HandOver(&receiver, Word{"first"});
    HandOver(&receiver, Word{"second"});
    EXPECT_TRUE(receiver.words.empty());
    QCoreApplication::sendPostedEvents(&receiver);
    EXPECT_EQ(receiver.words, (std::vector<std::string>{"first", "second"}));
}

TEST(HandOver, FromAWorkerReachesTheReceiversThreadWithItsPayload)
{
    Recorder receiver;
    std::thread worker([&receiver] {
        for (int i = 0; i < 100; ++i)
            HandOver(&receiver, Owned{std::make_unique<int>(i)});
        HandOver(&receiver, Word{"done"});
    });
    worker.join();
    ASSERT_TRUE(test::WaitUntil([&] { return !receiver.words.empty(); }));
    ASSERT_EQ(receiver.values.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(receiver.values[i], i);
    EXPECT_EQ(receiver.threads.front(), receiver.thread());
}

TEST(HandOver, AMessageForADestroyedReceiverIsFreedUndelivered)
{
    const auto token = std::make_shared<int>(0);
    auto receiver = std::make_unique<Recorder>();
    HandOver(receiver.get(), Kept{token});
    EXPECT_EQ(token.use_count(), 2);
    receiver.reset();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(token.use_count(), 1);
}

struct Result
{
    std::uint64_t run = 0;
};

TEST(RunCounter, OnlyTheCurrentRunsResultsCount)
{
    RunCounter runs;
    const std::uint64_t first = runs.Begin();
    EXPECT_FALSE(runs.IsStale(Result{first}));
    const std::uint64_t second = runs.Begin();
    EXPECT_TRUE(runs.IsStale(Result{first}));
    EXPECT_FALSE(runs.IsStale(Result{second}));
    runs.Retire(); // a stop, or the close
    EXPECT_TRUE(runs.IsStale(Result{second}));
    EXPECT_TRUE(runs.IsStale(Result{0}));
}

} // namespace
} // namespace vantrel
