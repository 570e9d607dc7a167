#include "mailprofile.h"

#include <qt6keychain/keychain.h>

#include <QEventLoop>

#include "frmMailLogon.h"
#include "platform/settings/settings.h"

namespace mapi {

namespace {

const QString kApp = QStringLiteral("Ambrelle");
const QString kSection = QStringLiteral("Mail");

LogonPrompt& Prompt() {
    static LogonPrompt prompt;
    return prompt;
}

std::optional<QString>& Password() {
    static std::optional<QString> password;
    return password;
}

bool& KeyringInUse() {
    static bool use = true;
    return use;
}

QString KeyFor(const MailProfile& p) { return p.user + u'@' + p.server; }

// Runs a keyring job to its end; false when no keyring answered or the entry is missing.
bool Run(QKeychain::Job& job) {
    job.setAutoDelete(false);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
    return job.error() == QKeychain::NoError;
}

QString Read(const char* key) {
    return settings::GetSetting(kApp, kSection, QString::fromLatin1(key), QString());
}

std::optional<MailProfile> AskWithDialog(const MailProfile& shown, QWidget* parent) {
    frmMailLogon logon(shown, parent);
    if (logon.exec() != QDialog::Accepted) return std::nullopt;
    return logon.Profile();
}

}  // namespace

std::optional<MailProfile> StoredProfile() {
    MailProfile p;
    p.server = Read("Server");
    p.sender = Read("Sender");
    p.user = Read("User");
    bool ok = false;
    const int port = Read("Port").toInt(&ok);
    if (ok) p.port = port;
    const QString security = Read("Security").toLower();
    p.security = security == u"none"  ? MailProfile::None
                 : security == u"tls" ? MailProfile::Tls
                                      : MailProfile::StartTls;
    if (!p.complete()) return std::nullopt;
    return p;
}

void StoreProfile(const MailProfile& profile) {
    static const char* const names[] = {"None", "STARTTLS", "TLS"};
    settings::SaveSetting(kApp, kSection, QStringLiteral("Server"), profile.server);
    settings::SaveSetting(kApp, kSection, QStringLiteral("Port"), QString::number(profile.port));
    settings::SaveSetting(kApp, kSection, QStringLiteral("Security"),
                          QString::fromLatin1(names[profile.security]));
    settings::SaveSetting(kApp, kSection, QStringLiteral("User"), profile.user);
    settings::SaveSetting(kApp, kSection, QStringLiteral("Sender"), profile.sender);
}

void SetLogonPrompt(LogonPrompt prompt) { Prompt() = std::move(prompt); }

std::optional<MailProfile> AskForProfile(const MailProfile& shown, QWidget* parent) {
    return Prompt() ? Prompt()(shown, parent) : AskWithDialog(shown, parent);
}

void RememberPassword(const QString& password, const MailProfile* forKeyring) {
    Password() = password;
    if (!forKeyring || !KeyringInUse()) return;
    QKeychain::WritePasswordJob job(kApp);
    job.setKey(KeyFor(*forKeyring));
    job.setTextData(password);
    Run(job);
}

std::optional<QString> RememberedPassword(const MailProfile* fromKeyring) {
    if (Password() || !fromKeyring || !KeyringInUse()) return Password();
    QKeychain::ReadPasswordJob job(kApp);
    job.setKey(KeyFor(*fromKeyring));
    if (Run(job)) Password() = job.textData();
    return Password();
}

void ForgetPassword(const MailProfile* fromKeyring) {
    Password().reset();
    if (!fromKeyring || !KeyringInUse()) return;
    QKeychain::DeletePasswordJob job(kApp);
    job.setKey(KeyFor(*fromKeyring));
    Run(job);
}

void UseKeyring(bool use) { KeyringInUse() = use; }

}  // namespace mapi
