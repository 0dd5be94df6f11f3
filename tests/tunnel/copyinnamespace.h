#pragma once

#include "tests/support/netnspair.h"

#include <QProcess>
#include <QString>
#include <QStringList>

namespace vantrel::test {

// A copy of the engine running as a program of its own (namespaced_copy) inside one
// namespace of a pair, driven line by line. The test program defines
// VANTREL_NAMESPACED_COPY as the driver's path.
class CopyInNamespace
{
public:
    CopyInNamespace(NetnsPair& pair, NetnsPair::Side side, const QString& nick, const QString& home,
                    const QString& acceptInto);
    ~CopyInNamespace(); // "quit", and a kill when that is not heard within 20 s

    bool ok() const { return m_port > 0; }
    const QString& error() const { return m_error; }
    int port() const { return m_port; }
    const QString& authority() const { return m_authority; }

    // One command; its "RESULT" line's text after "RESULT".
    QString Ask(const QStringList& fields);
    // The same, split into its tab-separated fields.
    QStringList AskFields(const QStringList& fields);

    // The tunnel list, each row as "type host nick status".
    QStringList Tunnels();

private:
    QString ReadLine();

    QProcess m_process;
    int m_port = 0;
    QString m_authority;
    QString m_error;
};

} // namespace vantrel::test
