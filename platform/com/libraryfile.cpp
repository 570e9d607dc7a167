#include <elf.h>
#include <link.h>

#include <QFile>

#include <cstring>

#include "internal.h"

namespace com::internal {

QString LibraryDefect(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QString();
    const quint64 size = quint64(f.size());
    const QByteArray ident = f.peek(SELFMAG);
    if (ident.size() < SELFMAG || std::memcmp(ident.constData(), ELFMAG, SELFMAG) != 0)
        return QString();
    const QString beforeHeaders =
        QStringLiteral("ends at byte %1, before its program headers").arg(size);
    ElfW(Ehdr) header;
    if (f.read(reinterpret_cast<char*>(&header), sizeof header) != qint64(sizeof header))
        return beforeHeaders;
    // Another machine's class: the loader refuses it without mapping anything.
    if (header.e_ident[EI_CLASS] != (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32))
        return QString();
    if (header.e_phentsize != sizeof(ElfW(Phdr)))
        return QStringLiteral("has program headers of a wrong size");
    if (quint64(header.e_phoff) + quint64(header.e_phnum) * sizeof(ElfW(Phdr)) > size ||
        !f.seek(qint64(header.e_phoff)))
        return beforeHeaders;
    for (int i = 0; i < header.e_phnum; ++i) {
        ElfW(Phdr) segment;
        if (f.read(reinterpret_cast<char*>(&segment), sizeof segment) != qint64(sizeof segment))
            return beforeHeaders;
        if (segment.p_type == PT_LOAD &&
            (segment.p_offset > size || segment.p_filesz > size - segment.p_offset))
            return QStringLiteral("ends at byte %1, inside a loadable segment").arg(size);
    }
    return QString();
}

}  // namespace com::internal
