#pragma once

#include <QString>

namespace settings {

// The per-user settings store, addressed by application title, section and key. Section
// and key names compare without regard to case. Values are text.
QString GetSetting(const QString& app, const QString& section, const QString& key,
                   const QString& defaultValue = QString());
bool SaveSetting(const QString& app, const QString& section, const QString& key, const QString& value);
// Removes one key, or the whole section when `key` is empty.
bool DeleteSetting(const QString& app, const QString& section, const QString& key = QString());

// Where the store's files live (one INI file per application title). Tests point this at a
// temporary folder; by default it is the user's configuration folder.
void SetStoreFolder(const QString& folder);
QString StoreFolder();

}  // namespace settings
