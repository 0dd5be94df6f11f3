#include "zipbridge/jobpool.h"

#include "zipbridge/blockdeflater.h"
#include "zipbridge/compressionprobe.h"
#include "zipbridge/zipjob.h"

#include "core/base/zipcrc.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace vantrel {

namespace {

constexpr unsigned kMaxThreads = 8;

} // namespace

JobPool::JobPool(unsigned threads, CancelFlag cancel) : m_cancel(cancel)
{
    threads = std::max(1u, threads);
    m_threads.reserve(threads);
    for (unsigned i = 0; i < threads; ++i)
        m_threads.emplace_back([this] { Work(); });
}

JobPool::~JobPool()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_queued.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

unsigned JobPool::DefaultThreads()
{
    if (const char* fixed = std::getenv("VANTREL_ZIP_THREADS")) {
        char* end = nullptr;
        const unsigned long value = std::strtoul(fixed, &end, 10);
        if (end != fixed && *end == '\0' && value >= 1 && value <= 64)
            return static_cast<unsigned>(value);
    }
    return std::clamp(std::thread::hardware_concurrency(), 1u, kMaxThreads);
}

void JobPool::Submit(ZipJob* job)
{
    {
        std::lock_guard lock(m_mutex);
        job->done = false;
        job->skipped = false;
        job->failed = false;
        m_queue.push_back(job);
    }
    m_queued.notify_one();
}

void JobPool::Wait(const ZipJob* job)
{
    std::unique_lock lock(m_mutex);
    m_finished.wait(lock, [job] { return job->done; });
}

void JobPool::Work()
{
    BlockDeflater deflater;
    std::vector<unsigned char> scratch;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_queued.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_stop)
            return;
        ZipJob* job = m_queue.front();
        m_queue.pop_front();
        lock.unlock();
        if (m_cancel.Requested())
            job->skipped = true;
        else
            Run(*job, deflater, scratch);
        lock.lock();
        job->done = true;
        m_finished.notify_all();
    }
}

void JobPool::Run(ZipJob& job, BlockDeflater& deflater, std::vector<unsigned char>& scratch)
{
    job.failed = false;
    job.skipped = false;
    job.output.clear();
    const unsigned char* data = job.Data();
    const std::size_t length = job.DataLength();
    job.crc = zipcrc::Update(0, data, length);
    switch (job.kind) {
    case ZipJob::Kind::Checksum:
        return;
    case ZipJob::Kind::Block:
        job.failed = !deflater.Block(job.input.data(), job.dictionaryLength, data, length, job.last,
                                     job.output);
        return;
    case ZipJob::Kind::WholeFile:
        break;
    }
    // A file small enough to be a single sample is judged by its own deflated size, which
    // is what the probe would compute; larger ones by the probe's samples.
    if (length <= 3 * CompressionProbe::kSampleBytes) {
        job.store = length == 0 || CompressionProbe::HasCompressedSignature(data, length);
        if (!job.store) {
            job.failed = !deflater.Whole(data, length, job.output);
            job.store = !CompressionProbe::DeflateSavesEnough(length, job.output.size());
        }
    } else {
        job.store = CompressionProbe::ShouldStoreData(data, length, scratch);
        if (!job.store)
            job.failed = !deflater.Whole(data, length, job.output);
    }
    if (job.store)
        job.output.clear();
}

} // namespace vantrel
