#include "tests/engine/twocopies.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

namespace vantrel::test {

void TwoCopies::SetUp()
{
    m_alice = std::make_unique<EngineCopy>(QByteArrayLiteral("Alice"));
    m_bob = std::make_unique<EngineCopy>(QByteArrayLiteral("Bob"));
    ASSERT_TRUE(m_alice->ok()) << m_alice->error().toStdString();
    ASSERT_TRUE(m_bob->ok()) << m_bob->error().toStdString();
    ASSERT_TRUE(EngineCopy::TrustEachOther(*m_alice, *m_bob));
    QDir().mkpath(Source(QString()));
    QDir().mkpath(Destination(QString()));
}

void TwoCopies::TearDown()
{
    m_alice.reset();
    m_bob.reset();
}

QString TwoCopies::Source(const QString& name) const
{
    return m_data.file(QStringLiteral("src/") + name);
}

QString TwoCopies::Destination(const QString& name) const
{
    return m_data.file(QStringLiteral("dst/") + name);
}

QByteArray RandomData(qsizetype size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    for (qsizetype i = size / 4 * 4; i < size; ++i)
        bytes[i] = static_cast<char>(random.generate());
    return bytes;
}

QByteArray TextData(qsizetype size)
{
    QByteArray text;
    text.reserve(size + 100);
    for (int line = 0; text.size() < size; ++line)
        text += "2026-12-10 05:43:" + QByteArray::number(line % 60) + " INFO transfer " +
                QByteArray::number(line) + " moved a block\n";
    text.truncate(size);
    return text;
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

void WriteSampleTree(const QString& root)
{
    const QString r = root + QLatin1Char('/');
    WriteFile(r + QStringLiteral("readme.txt"), TextData(12000));
    WriteFile(r + QStringLiteral("zero.dat"), QByteArray());
    WriteFile(r + QStringLiteral("naïve/日本語.bin"), RandomData(70000, 7));
    WriteFile(r + QStringLiteral("naïve/deeper/Grüße €.txt"), TextData(3000));
    WriteFile(r + QStringLiteral("sub/big.bin"), RandomData(600000, 8));
    QDir().mkpath(r + QStringLiteral("empty"));
    QDir().mkpath(r + QStringLiteral("leer ö/inner/innermost"));
}

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

QString TreeDifference(const QString& expected, const QString& actual)
{
    const QFileInfo e(expected);
    const QFileInfo a(actual);
    if (!a.exists() && !a.isSymLink())
        return actual + QStringLiteral(" is missing");
    if (e.isDir() != a.isDir() || e.isFile() != a.isFile() || a.isSymLink())
        return actual + QStringLiteral(" is of another kind");
    if (e.isFile()) {
        if (e.size() != a.size())
            return actual +
                   QStringLiteral(" has %1 bytes instead of %2").arg(a.size()).arg(e.size());
        if (ReadAll(expected) != ReadAll(actual))
            return actual + QStringLiteral(" differs");
        return {};
    }
    const auto filter = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
    const QStringList expectedNames = QDir(expected).entryList(filter, QDir::Name);
    const QStringList actualNames = QDir(actual).entryList(filter, QDir::Name);
    if (expectedNames != actualNames)
        return actual +
               QStringLiteral(" holds [%1] instead of [%2]")
                   .arg(actualNames.join(QLatin1Char(',')), expectedNames.join(QLatin1Char(',')));
    for (const QString& name : expectedNames) {
        const QString difference =
            TreeDifference(expected + QLatin1Char('/') + name, actual + QLatin1Char('/') + name);
        if (!difference.isEmpty())
            return difference;
    }
    return {};
}

QStringList TempFiles(const EngineCopy& copy)
{
    return QDir(copy.folder().tempFolder()).entryList(QDir::Files | QDir::Hidden);
}

bool WaitForSent(const QPointer<SendTransfer>& transfer, std::uint32_t bytes)
{
    return WaitUntil(
        [&] {
            if (!transfer || transfer->sentBytes() >= bytes)
                return true;
            const SendTransfer::State state = transfer->state();
            return state == SendTransfer::State::Broken ||
                   state == SendTransfer::State::Completed || state == SendTransfer::State::Closed;
        },
        TransferTimeoutMs);
}

bool WaitForReceived(const QPointer<ReceiveTransfer>& transfer, std::uint32_t bytes)
{
    return WaitUntil(
        [&] {
            if (!transfer || transfer->receivedBytes() >= bytes)
                return true;
            const ReceiveTransfer::State state = transfer->state();
            return state != ReceiveTransfer::State::Pending &&
                   state != ReceiveTransfer::State::ResumeQuestion &&
                   state != ReceiveTransfer::State::WaitingForData &&
                   state != ReceiveTransfer::State::Receiving;
        },
        TransferTimeoutMs);
}

std::string Describe(EngineCopy& copy)
{
    QStringList parts;
    for (TransferListModel* list : {&copy.downloads(), &copy.uploads()}) {
        QStringList rows;
        for (int row = 0; row < list->rowCount(); ++row)
            rows << list->Cell(list->IdAt(row), TransferListModel::Status);
        parts << (list == &copy.downloads() ? QStringLiteral("downloads [")
                                            : QStringLiteral("uploads [")) +
                     rows.join(QStringLiteral(", ")) + QLatin1Char(']');
    }
    for (const auto& [text, title] : copy.messageBoxes())
        parts << QStringLiteral("box '%1': %2").arg(title, text);
    return QString::fromUtf8(copy.nickName()).toStdString() + ": " +
           parts.join(QStringLiteral("; ")).toStdString();
}

QString TopCell(TransferListModel& list, TransferListModel::Column column)
{
    return list.rowCount() > 0 ? list.Cell(list.IdAt(0), column) : QString();
}

int TopIcon(TransferListModel& list)
{
    return list.rowCount() > 0 ? list.StateIcon(list.IdAt(0)) : -2;
}

} // namespace vantrel::test
