#include "core/handoff.h"

#include "core/base/atomicfile.h"
#include "core/base/programfolder.h"

#include <QDir>
#include <QFile>

namespace vantrel::handoff {

QString FilePath(const ProgramFolder& folder)
{
    return folder.file(FileName);
}

QByteArray CommandLineTail(const QList<QByteArray>& arguments)
{
    QByteArray tail = arguments.join(' ');
    if (tail.size() >= 2) {
        const char first = tail.front();
        if ((first == '"' || first == '\'') && tail.back() == first)
            tail = tail.mid(1, tail.size() - 2);
    }
    return tail;
}

QByteArray Absolute(const QByteArray& path)
{
    if (path.isEmpty() || path.startsWith('/'))
        return path;
    QByteArray current = QFile::encodeName(QDir::currentPath());
    if (!current.endsWith('/'))
        current.append('/');
    return current + path;
}

QByteArray FitPath(const QByteArray& path)
{
    const qsizetype nul = path.indexOf('\0');
    QByteArray fitted = nul >= 0 ? path.left(nul) : path;
    if (fitted.size() <= MaxPathBytes)
        return fitted;
    qsizetype cut = MaxPathBytes;
    // Back off to the start of the sequence the cut would split (continuation bytes 10xxxxxx).
    while (cut > 0 && (static_cast<unsigned char>(fitted[cut]) & 0xC0) == 0x80)
        --cut;
    fitted.truncate(cut);
    return fitted;
}

QByteArray EncodePath(const QString& path)
{
    return QFile::encodeName(path);
}

bool Fits(const QString& path)
{
    const QByteArray bytes = EncodePath(path);
    return !bytes.contains('\0') && bytes.size() <= MaxPathBytes;
}

bool WriteFile(const QString& file, const QByteArray& path)
{
    QByteArray content = FitPath(path);
    content.append('\0');
    // The running copy may read it at any moment: never half a path.
    return atomicfile::Write(file, content);
}

std::optional<QByteArray> ReadFile(const QString& file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray content = in.read(MaxPathBytes + 1);
    const qsizetype nul = content.indexOf('\0');
    if (nul >= 0)
        content.truncate(nul);
    return content;
}

} // namespace vantrel::handoff
