#pragma once

#include "net/workerthread.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>

namespace vantrel {

class ZipBridgeLoader;

// Compresses one file or directory tree into a temporary archive in the background. The
// component advances the progress word and polls the cancel word; the worker records how
// the component ended, so that an archive counts as ready only once it is complete and
// closed (an empty source reaches its total of 0 before the archive even exists). A single
// file that its archive would hold stored gets no archive file: the component produces that
// archive while it is sent, and only its size is known here.
class CompressWorker
{
public:
    enum class Outcome
    {
        Running,
        Ready,
        Failed
    };

    // `finished` runs on the worker thread once the component has returned (to post a
    // wake-up to the owner; it must not touch the owner directly).
    CompressWorker(ZipBridgeLoader* zip, QString sourcePath, bool isDirectory,
                   std::function<void()> finished = {});
    ~CompressWorker(); // cancels and joins
    CompressWorker(const CompressWorker&) = delete;
    CompressWorker& operator=(const CompressWorker&) = delete;

    // Creates "VN<n>.zip" in `tempFolder` (never an existing file) and starts compressing into
    // it. False when no archive file can be created; nothing runs then.
    bool Start(const QString& tempFolder);
    // Asks the component to stop and waits for it without a time limit.
    void CancelAndJoin();
    // Waits for a finished (or finishing) worker.
    void Join();

    const QString& archivePath() const { return m_archivePath; }
    std::uint32_t progress() const; // source bytes consumed
    Outcome outcome() const { return m_outcome.load(std::memory_order_acquire); }
    // Failed because the archive's disk is full (the partial archive is deleted on any
    // failure). Read once outcome() is Failed.
    bool noSpace() const { return m_noSpace.load(std::memory_order_relaxed); }
    // Ready without an archive file: the stored archive is produced while it is sent, and
    // this is its size. Read once outcome() is Ready.
    bool streamed() const { return m_streamed; }
    std::uint64_t streamedSize() const { return m_streamedSize; }

private:
    void Run();
    // Whether the file's archive is produced while it is sent (the result, when it is).
    bool TryStream(int& result);

    ZipBridgeLoader* m_zip;
    QString m_sourcePath;
    bool m_isDirectory;
    std::function<void()> m_finished;
    QString m_archivePath;
    // Plain words handed to the component, which reads and writes them atomically.
    alignas(std::atomic_ref<std::uint32_t>::required_alignment) std::uint32_t m_progress = 0;
    alignas(std::atomic_ref<std::uint32_t>::required_alignment) std::uint32_t m_cancel = 0;
    std::uint32_t m_unusedOut = 0;
    std::atomic<Outcome> m_outcome{Outcome::Running};
    std::atomic<bool> m_noSpace{false};
    // Written before the outcome is published, read after it.
    bool m_streamed = false;
    std::uint64_t m_streamedSize = 0;
    // Its stop raises the cancel word, which the component polls.
    WorkerThread m_worker{
        [this] { std::atomic_ref<std::uint32_t>(m_cancel).store(1, std::memory_order_release); }};
};

// Deletes a file, trying up to 10 times and stopping at the first success. True when the
// file is gone.
bool DeleteArchive(const QString& path);

} // namespace vantrel
