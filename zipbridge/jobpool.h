#pragma once

#include "zipbridge/cancelflag.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace vantrel {

class BlockDeflater;
struct ZipJob;

// A fixed set of compression threads that run ZipJobs in the order they were submitted. The
// threads live exactly as long as the pool: destroying it stops them (jobs not yet started are
// left undone) and joins them. A job is skipped, not run, once the caller's cancel word is set.
class JobPool
{
public:
    JobPool(unsigned threads, CancelFlag cancel);
    ~JobPool();
    JobPool(const JobPool&) = delete;
    JobPool& operator=(const JobPool&) = delete;

    // The number of threads to use: VANTREL_ZIP_THREADS when set (1 to 64), otherwise the
    // machine's hardware threads, at least 1 and at most 8.
    static unsigned DefaultThreads();

    unsigned Threads() const { return static_cast<unsigned>(m_threads.size()); }
    void Submit(ZipJob* job);
    // Returns once `job` is done or skipped.
    void Wait(const ZipJob* job);

private:
    void Work();
    static void Run(ZipJob& job, BlockDeflater& deflater, std::vector<unsigned char>& scratch);

    CancelFlag m_cancel;
    std::mutex m_mutex;
    std::condition_variable m_queued;
    std::condition_variable m_finished;
    std::deque<ZipJob*> m_queue;
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};

} // namespace vantrel
