#include "send/compressworker.h"

#include "send/storedarchivereader.h"
#include "send/zipbridgeloader.h"
#include "zipbridge/zipbridge.h"

#include <QDir>
#include <QFile>

namespace vantrel {

namespace {

// Archive numbers are shared by every transfer of the process; files already in the folder
// (from another process or an earlier run) are skipped by the exclusive creation.
std::atomic<std::uint32_t> g_nextArchiveNumber{1};

QString CreateArchiveFile(const QString& tempFolder)
{
    QDir().mkpath(tempFolder);
    for (int attempt = 0; attempt < 10000; ++attempt) {
        const std::uint32_t n = g_nextArchiveNumber.fetch_add(1, std::memory_order_relaxed);
        const QString path = tempFolder + QStringLiteral("/VN%1.zip").arg(n);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return path;
        if (!file.exists())
            return {}; // the folder cannot be written at all
    }
    return {};
}

} // namespace

CompressWorker::CompressWorker(ZipBridgeLoader* zip, QString sourcePath, bool isDirectory,
                               std::function<void()> finished)
    : m_zip(zip), m_sourcePath(std::move(sourcePath)), m_isDirectory(isDirectory),
      m_finished(std::move(finished))
{
}

CompressWorker::~CompressWorker()
{
    CancelAndJoin();
}

bool CompressWorker::Start(const QString& tempFolder)
{
    if (!m_zip) {
        m_outcome.store(Outcome::Failed, std::memory_order_release);
        return false;
    }
    m_archivePath = CreateArchiveFile(tempFolder);
    if (m_archivePath.isEmpty()) {
        m_outcome.store(Outcome::Failed, std::memory_order_release);
        return false;
    }
    m_worker.Start([this] { Run(); });
    return true;
}

void CompressWorker::Run()
{
    const QByteArray archive = QFile::encodeName(m_archivePath);
    const QByteArray source = QFile::encodeName(m_sourcePath);
    int result = ZB_OK;
    if (!m_isDirectory && TryStream(result)) {
        DeleteArchive(m_archivePath);
    } else if (m_isDirectory) {
        result = m_zip->ZipFolder(archive.constData(), source.constData(), &m_progress, &m_cancel);
    } else {
        result = m_zip->ZipSingleFile(archive.constData(), source.constData(), &m_progress,
                                      &m_unusedOut, &m_cancel);
    }
    if (result != ZB_OK) {
        // A partial archive is of no use to anyone, and on a full disk it holds the space.
        DeleteArchive(m_archivePath);
        m_noSpace.store(result == ZB_DESTINATION_ERROR, std::memory_order_relaxed);
    }
    m_outcome.store(result == ZB_OK ? Outcome::Ready : Outcome::Failed, std::memory_order_release);
    if (m_finished)
        m_finished();
}

bool CompressWorker::TryStream(int& result)
{
    StoredArchiveReader reader(m_zip);
    switch (reader.Open(m_sourcePath)) {
    case StoredArchiveReader::Opened::Deflated:
        return false;
    case StoredArchiveReader::Opened::Unreadable:
        result = ZB_SOURCE_ERROR;
        return true;
    case StoredArchiveReader::Opened::Streamed:
        break;
    }
    m_streamedSize = reader.size();
    m_streamed = true;
    result = ZB_OK;
    return true;
}

void CompressWorker::CancelAndJoin()
{
    if (m_worker.IsRunning()) {
        m_worker.RequestStop();
        m_worker.Join();
    }
}

void CompressWorker::Join()
{
    m_worker.Join();
}

std::uint32_t CompressWorker::progress() const
{
    return std::atomic_ref<std::uint32_t>(const_cast<std::uint32_t&>(m_progress))
        .load(std::memory_order_relaxed);
}

bool DeleteArchive(const QString& path)
{
    if (path.isEmpty())
        return true;
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (QFile::remove(path) || !QFile::exists(path))
            return true;
    }
    return false;
}

} // namespace vantrel
