#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace mapi {

// Where and as whom mail is sent. Kept in the settings store, section "Mail", except the
// password, which is held for the session only.
struct MailProfile {
    enum Security { None = 0, StartTls = 1, Tls = 2 };
    QString server;
    int port = 587;
    Security security = StartTls;
    QString user;
    QString sender;
    QString password;

    bool complete() const { return !server.isEmpty() && !sender.isEmpty() && port > 0; }
};

std::optional<MailProfile> StoredProfile();
void StoreProfile(const MailProfile& profile);

// Asks for the profile, starting from `shown`; nullopt when cancelled. Tests put their own
// in place of the dialog.
using LogonPrompt =
    std::function<std::optional<MailProfile>(const MailProfile& shown, QWidget* parent)>;
void SetLogonPrompt(LogonPrompt prompt);
std::optional<MailProfile> AskForProfile(const MailProfile& shown, QWidget* parent);

// The password: held for the session, and kept in the desktop's keyring where one answers
// (never on disk otherwise). Forgetting drops both, so the next send asks again.
void RememberPassword(const QString& password, const MailProfile* forKeyring = nullptr);
std::optional<QString> RememberedPassword(const MailProfile* fromKeyring = nullptr);
void ForgetPassword(const MailProfile* fromKeyring = nullptr);
// Tests leave the user's keyring alone.
void UseKeyring(bool use);

}  // namespace mapi
