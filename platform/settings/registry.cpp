#include "registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTextStream>
#include <map>
#include <memory>
#include <optional>

#include "settings.h"

namespace registry {

struct OpenKey {
    // Value names in lower case: names compare without case.
    QHash<QString, std::pair<std::uint32_t, QByteArray>> values;
};

namespace {

// KEY_SET_VALUE, KEY_CREATE_SUB_KEY, KEY_CREATE_LINK, DELETE, WRITE_DAC, WRITE_OWNER.
constexpr std::uint32_t kChangeRights = 0x0002 | 0x0004 | 0x0020 | 0x10000 | 0x40000 | 0x80000;

std::map<Root, QString>& Overrides() {
    static std::map<Root, QString> files;
    return files;
}

QString RootName(Root root) {
    return root == HKEY_LOCAL_MACHINE ? QStringLiteral("HKEY_LOCAL_MACHINE")
                                      : QStringLiteral("HKEY_CURRENT_USER");
}

// "SOFTWARE/Vendor\\Tool\\" -> "software\vendor\tool".
QString NormalKey(QString key) {
    key.replace(u'/', u'\\');
    while (key.endsWith(u'\\')) key.chop(1);
    while (key.startsWith(u'\\')) key.remove(0, 1);
    return key.toLower();
}

// A quoted .reg string starting at `pos` (on the opening quote); moves `pos` past it.
std::optional<QString> Quoted(const QString& line, qsizetype& pos) {
    if (pos >= line.size() || line[pos] != u'"') return std::nullopt;
    QString out;
    for (++pos; pos < line.size(); ++pos) {
        const QChar c = line[pos];
        if (c == u'"') {
            ++pos;
            return out;
        }
        if (c == u'\\' && pos + 1 < line.size()) ++pos;
        out += line[pos];
    }
    return std::nullopt;
}

// One `"name"=value` line into `key`; lines of other forms are passed over.
void ReadValueLine(const QString& line, OpenKey& key) {
    qsizetype pos = 0;
    QString name;
    if (line.startsWith(u'@')) {
        pos = 1;
    } else if (const auto quoted = Quoted(line, pos)) {
        name = *quoted;
    } else {
        return;
    }
    while (pos < line.size() && line[pos].isSpace()) ++pos;
    if (pos >= line.size() || line[pos] != u'=') return;
    ++pos;
    while (pos < line.size() && line[pos].isSpace()) ++pos;
    const QString rest = line.mid(pos).trimmed();
    if (rest.startsWith(u'"')) {
        qsizetype p = 0;
        if (const auto text = Quoted(rest, p)) {
            QByteArray bytes = text->toUtf8();
            bytes.append('\0');
            key.values.insert(name.toLower(), {REG_SZ, bytes});
        }
    } else if (rest.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
        bool ok = false;
        const quint32 n = rest.mid(6).toUInt(&ok, 16);
        if (!ok || rest.size() != 14) return;
        QByteArray bytes(4, '\0');
        for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((n >> (8 * i)) & 0xFF);
        key.values.insert(name.toLower(), {REG_DWORD, bytes});
    }
}

// The values of `subKey` in the file; false when the file has no such key.
bool ReadKey(const QString& file, Root root, const QString& subKey, OpenKey& key) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    QTextStream in(&f);
    const QString wanted = NormalKey(subKey);
    const QString rootPrefix = RootName(root).toLower() + u'\\';
    bool found = false;
    bool inside = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            QString section = NormalKey(line.mid(1, line.size() - 2));
            if (section.startsWith(rootPrefix))
                section.remove(0, rootPrefix.size());
            else if (section.startsWith(QLatin1String("hkey_")))
                section.clear();  // another root
            inside = !section.isEmpty() && section == wanted;
            found = found || inside;
        } else if (inside) {
            ReadValueLine(line, key);
        }
    }
    return found;
}

}  // namespace

QString RootFile(Root root) {
    if (const auto it = Overrides().find(root); it != Overrides().end() && !it->second.isEmpty())
        return it->second;
    if (root == HKEY_LOCAL_MACHINE) {
        if (const QByteArray env = qgetenv("AMBRELLE_MACHINE_REGISTRY"); !env.isEmpty())
            return QString::fromLocal8Bit(env);
        return QStringLiteral("/etc/Ambrelle/registry.reg");
    }
    return QDir(settings::StoreFolder()).filePath(QStringLiteral("registry.reg"));
}

void SetRootFile(Root root, const QString& path) { Overrides()[root] = path; }

long RegOpenKeyEx(Root root, const QString& subKey, std::uint32_t samDesired, HKEY* result) {
    *result = nullptr;
    const QFileInfo info(RootFile(root));
    if (!info.exists()) return ERROR_FILE_NOT_FOUND;
    if (!info.isReadable()) return ERROR_ACCESS_DENIED;
    // A file marked read-only refuses change rights even where the user could still write
    // it (root), as the real registry refuses them to a user without them.
    if ((samDesired & kChangeRights) &&
        (!info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner)))
        return ERROR_ACCESS_DENIED;
    auto key = std::make_unique<OpenKey>();
    if (!ReadKey(info.filePath(), root, subKey, *key)) return ERROR_FILE_NOT_FOUND;
    *result = key.release();
    return ERROR_SUCCESS;
}

long RegQueryValueEx(HKEY key, const QString& valueName, std::uint32_t* type, QByteArray* data) {
    if (!key) return ERROR_INVALID_HANDLE;
    const auto it = key->values.constFind(valueName.toLower());
    if (it == key->values.constEnd()) return ERROR_FILE_NOT_FOUND;
    *type = it->first;
    if (it->second.size() > data->size()) return ERROR_MORE_DATA;
    *data = it->second;
    return ERROR_SUCCESS;
}

long RegCloseKey(HKEY key) {
    if (!key) return ERROR_INVALID_HANDLE;
    delete key;
    return ERROR_SUCCESS;
}

}  // namespace registry
