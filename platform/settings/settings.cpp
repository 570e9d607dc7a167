#include "settings.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

#include <memory>

namespace settings {
namespace {

QString& Folder() {
    static QString folder;
    return folder;
}

std::unique_ptr<QSettings> Open(const QString& app) {
    const QString file = QDir(StoreFolder()).filePath((app.isEmpty() ? QStringLiteral("default") : app) + QStringLiteral(".ini"));
    return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

// The stored spelling of a name that matches `wanted` without case, or `wanted` itself.
QString Match(const QStringList& names, const QString& wanted) {
    for (const QString& n : names)
        if (n.compare(wanted, Qt::CaseInsensitive) == 0) return n;
    return wanted;
}

}  // namespace

void SetStoreFolder(const QString& folder) { Folder() = folder; }

QString StoreFolder() {
    if (!Folder().isEmpty()) return Folder();
    if (const QByteArray env = qgetenv("AMBRELLE_SETTINGS_DIR"); !env.isEmpty()) return QString::fromLocal8Bit(env);
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)).filePath(QStringLiteral("Ambrelle"));
}

QString GetSetting(const QString& app, const QString& section, const QString& key, const QString& defaultValue) {
    auto s = Open(app);
    const QString group = Match(s->childGroups(), section);
    s->beginGroup(group);
    const QString name = Match(s->childKeys(), key);
    const QVariant v = s->value(name);
    s->endGroup();
    return v.isValid() ? v.toString() : defaultValue;
}

bool SaveSetting(const QString& app, const QString& section, const QString& key, const QString& value) {
    if (section.isEmpty() || key.isEmpty()) return false;
    QDir().mkpath(StoreFolder());
    auto s = Open(app);
    s->beginGroup(Match(s->childGroups(), section));
    s->setValue(Match(s->childKeys(), key), value);
    s->endGroup();
    s->sync();
    return s->status() == QSettings::NoError;
}

bool DeleteSetting(const QString& app, const QString& section, const QString& key) {
    auto s = Open(app);
    const QString group = Match(s->childGroups(), section);
    if (key.isEmpty()) {
        s->remove(group);
    } else {
        s->beginGroup(group);
        s->remove(Match(s->childKeys(), key));
        s->endGroup();
    }
    s->sync();
    return s->status() == QSettings::NoError;
}

}  // namespace settings
