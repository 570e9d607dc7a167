#include "zipfile.h"

#include <zip.h>

#include <QFile>
#include <cstdio>
#include <memory>

#include "platform/files/savefile.h"

namespace word::detail {

namespace {

QString ZipErrorText(int code) {
    zip_error_t ze;
    zip_error_init_with_code(&ze, code);
    const QString why = QString::fromUtf8(zip_error_strerror(&ze));
    zip_error_fini(&ze);
    return why;
}

QString ErrorText(zip_error_t* ze) { return QString::fromUtf8(zip_error_strerror(ze)); }

QString Megabytes(qint64 bytes) { return QString::number(bytes / (1024 * 1024)); }

struct ZipCloser {
    void operator()(zip_t* za) const { zip_discard(za); }
};
using Archive = std::unique_ptr<zip_t, ZipCloser>;

// One entry, read in pieces so that no size the file states is trusted for the allocation.
bool ReadEntry(zip_t* za, zip_uint64_t index, const QString& name, qint64 room, QByteArray* out,
               QString* why) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(za, index, 0, &st) != 0) {
        *why = QString::fromUtf8(zip_strerror(za));
        return false;
    }
    const qint64 limit = std::min(kMaxPartBytes, room);
    const auto tooLarge = [&] {
        *why =
            limit < kMaxPartBytes
                ? QStringLiteral("it unpacks to more than %1 MB").arg(Megabytes(kMaxPackageBytes))
                : QStringLiteral("its part \"%1\" unpacks to more than %2 MB")
                      .arg(name, Megabytes(kMaxPartBytes));
        return false;
    };
    if ((st.valid & ZIP_STAT_SIZE) && st.size > static_cast<zip_uint64_t>(limit)) return tooLarge();
    zip_file_t* f = zip_fopen_index(za, index, 0);
    if (!f) {
        *why = QString::fromUtf8(zip_strerror(za));
        return false;
    }
    out->clear();
    if (st.valid & ZIP_STAT_SIZE) out->reserve(static_cast<qsizetype>(st.size));
    char buffer[64 * 1024];
    for (;;) {
        const zip_int64_t n = zip_fread(f, buffer, sizeof buffer);
        if (n < 0) {
            // The reason stands on the entry, not on the archive.
            *why = QString::fromUtf8(zip_file_strerror(f));
            zip_fclose(f);
            return false;
        }
        if (n == 0) break;
        if (out->size() + n > limit) {
            zip_fclose(f);
            return tooLarge();
        }
        out->append(buffer, static_cast<qsizetype>(n));
    }
    if (const int code = zip_fclose(f); code != 0) {
        *why = ZipErrorText(code);
        return false;
    }
    return true;
}

}  // namespace

bool ReadZip(const QString& path, ZipEntries* entries, QString* error) {
    int code = 0;
    const Archive za(zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code));
    if (!za) {
        *error = QStringLiteral("Cannot open \"%1\": %2").arg(path, ZipErrorText(code));
        return false;
    }
    ZipEntries read;
    qint64 total = 0;
    const zip_int64_t n = zip_get_num_entries(za.get(), 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        const char* raw = zip_get_name(za.get(), index, 0);
        const QString name = raw ? QString::fromUtf8(raw) : QString();
        if (name.endsWith(u'/')) continue;
        QByteArray data;
        QString why;
        if (!raw || !ReadEntry(za.get(), index, name, kMaxPackageBytes - total, &data, &why)) {
            if (!raw) why = QString::fromUtf8(zip_strerror(za.get()));
            *error = QStringLiteral("Cannot read \"%1\": %2").arg(path, why);
            return false;
        }
        total += data.size();
        read.order << name;
        read.data[name] = data;
    }
    *entries = std::move(read);
    return true;
}

bool WriteZip(const QString& path, const ZipEntries& entries, QString* error) {
    const auto fail = [&](const QString& why) {
        *error = QStringLiteral("Cannot write \"%1\": %2").arg(path, why);
        return false;
    };
    // The archive is made in memory and written in one go through a temporary file that takes
    // the document's name only once complete, where libzip's own "name.XXXXXX" beside the file
    // stayed after a kill.
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t* memory = zip_source_buffer_create(nullptr, 0, 0, &ze);
    if (!memory) {
        const QString why = ErrorText(&ze);
        zip_error_fini(&ze);
        return fail(why);
    }
    zip_t* za = zip_open_from_source(memory, ZIP_TRUNCATE, &ze);
    if (!za) {
        const QString why = ErrorText(&ze);
        zip_error_fini(&ze);
        zip_source_free(memory);
        return fail(why);
    }
    zip_error_fini(&ze);
    zip_source_keep(memory);  // kept past zip_close, which fills it
    const auto failOpen = [&](const QString& why) {
        zip_discard(za);
        zip_source_free(memory);
        return fail(why);
    };
    for (const QString& name : entries.order) {
        const QByteArray& data = entries.data[name];
        zip_source_t* src = zip_source_buffer(za, data.constData(), data.size(), 0);
        if (!src || zip_file_add(za, name.toUtf8().constData(), src,
                                 ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
            if (src) zip_source_free(src);
            return failOpen(QString::fromUtf8(zip_strerror(za)));
        }
    }
    if (zip_close(za) != 0) return failOpen(QString::fromUtf8(zip_strerror(za)));

    QByteArray bytes;
    bool read = zip_source_open(memory) == 0;
    if (read) {
        read = zip_source_seek(memory, 0, SEEK_END) == 0;
        const zip_int64_t size = read ? zip_source_tell(memory) : -1;
        read = size >= 0 && zip_source_seek(memory, 0, SEEK_SET) == 0;
        if (read) {
            bytes.resize(static_cast<qsizetype>(size));
            read = zip_source_read(memory, bytes.data(), static_cast<zip_uint64_t>(size)) == size;
        }
        zip_source_close(memory);
    }
    const QString why = read ? QString() : ErrorText(zip_source_error(memory));
    zip_source_free(memory);
    if (!read) return fail(why);

    // Flushed and its size on disk checked before it takes the old file's place: a disk that
    // fills up leaves the old document, not an empty one.
    QString reason;
    return files::WriteWhole(path, bytes, &reason) || fail(reason);
}

}  // namespace word::detail
