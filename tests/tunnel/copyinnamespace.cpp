#include "tests/tunnel/copyinnamespace.h"

#include "tests/support/tempprofile.h"

#include <QProcessEnvironment>

namespace vantrel::test {

namespace {

// The longest a command may take: a send through a slow link included.
constexpr int AnswerTimeoutMs = 90000;

} // namespace

CopyInNamespace::CopyInNamespace(NetnsPair& pair, NetnsPair::Side side, const QString& nick,
                                 const QString& home, const QString& acceptInto)
{
    const QStringList command = pair.Inside(
        side, {QStringLiteral(VANTREL_NAMESPACED_COPY), QStringLiteral("--home"), home,
               QStringLiteral("--nick"), nick, QStringLiteral("--accept-into"), acceptInto});
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VANTREL_BUILD_DIR"), BuildFolder());
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(command.front(), command.mid(1));
    const QStringList ready = ReadLine().split(QLatin1Char('\t'));
    if (ready.value(0) == QLatin1String("READY")) {
        m_port = ready.value(1).toInt();
        m_authority = ready.value(2);
    } else {
        m_error = ready.join(QLatin1Char(' '));
    }
}

CopyInNamespace::~CopyInNamespace()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.write("quit\n");
    if (!m_process.waitForFinished(20000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

QString CopyInNamespace::Ask(const QStringList& fields)
{
    m_process.write((fields.join(QLatin1Char('\t')) + QLatin1Char('\n')).toUtf8());
    const QString line = ReadLine();
    return line.section(QLatin1Char('\t'), 1);
}

QStringList CopyInNamespace::AskFields(const QStringList& fields)
{
    return Ask(fields).split(QLatin1Char('\t'));
}

QStringList CopyInNamespace::Tunnels()
{
    m_process.write("tunnels\n");
    QStringList rows;
    for (QString line = ReadLine(); line.startsWith(QLatin1String("ROW\t")); line = ReadLine())
        rows << line.section(QLatin1Char('\t'), 1).replace(QLatin1Char('\t'), QLatin1Char(' '));
    return rows;
}

QString CopyInNamespace::ReadLine()
{
    while (!m_process.canReadLine()) {
        if (m_process.state() == QProcess::NotRunning ||
            !m_process.waitForReadyRead(AnswerTimeoutMs))
            return QStringLiteral("(no answer)");
    }
    return QString::fromUtf8(m_process.readLine()).trimmed();
}

} // namespace vantrel::test
