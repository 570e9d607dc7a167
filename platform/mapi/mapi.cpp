#include "mapi.h"

#include <curl/curl.h>

#include <QApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QThread>
#include <atomic>
#include <memory>

#include "mailprofile.h"

namespace mapi {

namespace {

QString& Reply() {
    static QString reply;
    return reply;
}

// Keeps the server's last refusal (a 4xx or 5xx line), else its last reply, for the
// caller to show with the failure; the farewell after a refusal does not replace it.
int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    if (type != CURLINFO_HEADER_IN) return 0;
    auto* last = static_cast<QString*>(user);
    const QString line = QString::fromUtf8(data, static_cast<qsizetype>(size)).trimmed();
    const auto refusal = [](const QString& l) { return l.startsWith(u'4') || l.startsWith(u'5'); };
    if (!line.isEmpty() && (refusal(line) || !refusal(*last))) *last = line;
    return 0;
}

QByteArray Address(const MapiRecipDesc& r) {
    return (r.lpszAddress.isEmpty() ? r.lpszName : r.lpszAddress).trimmed().toUtf8();
}

// A header value that may hold any character (RFC 2047).
QByteArray EncodedWord(const QString& text) {
    bool ascii = true;
    for (QChar c : text) ascii = ascii && c.unicode() >= 0x20 && c.unicode() < 0x7f;
    if (ascii) return text.toLatin1();
    return "=?UTF-8?B?" + text.toUtf8().toBase64() + "?=";
}

std::uint32_t CodeFor(CURLcode rc, const char* error) {
    switch (rc) {
        case CURLE_OK:
            return SUCCESS_SUCCESS;
        case CURLE_LOGIN_DENIED:
            return MAPI_E_LOGIN_FAILURE;
        case CURLE_OUT_OF_MEMORY:
            return MAPI_E_INSUFFICIENT_MEMORY;
        case CURLE_READ_ERROR:
            return MAPI_E_ATTACHMENT_OPEN_FAILURE;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_GOT_NOTHING:
        case CURLE_RECV_ERROR:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_USE_SSL_FAILED:
            return MAPI_E_NETWORK_FAILURE;
        case CURLE_SEND_ERROR:
            // curl reports a refused recipient as a send error too.
            return qstrncmp(error, "RCPT", 4) == 0 ? MAPI_E_UNKNOWN_RECIPIENT
                                                   : MAPI_E_NETWORK_FAILURE;
        default:
            return MAPI_E_FAILURE;
    }
}

struct CurlFree {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
    void operator()(curl_mime* m) const { curl_mime_free(m); }
    void operator()(curl_slist* s) const { curl_slist_free_all(s); }
};

void Append(std::unique_ptr<curl_slist, CurlFree>& list, const QByteArray& line) {
    list.reset(curl_slist_append(list.release(), line.constData()));
}

// Called by curl about once a second and at every step of the exchange, also while it waits
// for the server: a non-zero result ends the transfer.
int OnProgress(void* cancelled, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<std::atomic<bool>*>(cancelled)->load() ? 1 : 0;
}

// Runs the transfer on a thread of its own while this one keeps the windows painted behind a
// progress window whose Cancel (or closing) asks curl to stop. Waits for the transfer either
// way: it uses buffers of the caller's.
CURLcode Transfer(CURL* c, QWidget* parent, const QString& recipients,
                  std::atomic<bool>* cancelled) {
    CURLcode rc = CURLE_OK;
    std::unique_ptr<QThread> worker(QThread::create([c, &rc] { rc = curl_easy_perform(c); }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    std::unique_ptr<QProgressDialog> window;
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        window = std::make_unique<QProgressDialog>(
            QStringLiteral("Sending the mail to %1...").arg(recipients), QStringLiteral("Cancel"),
            0, 0, parent);
        window->setObjectName(QStringLiteral("frmMailSending"));
        window->setWindowTitle(QStringLiteral("Sending mail"));
        window->setWindowModality(Qt::ApplicationModal);
        window->setMinimumDuration(0);
        window->setAutoClose(false);
        QObject::connect(window.get(), &QProgressDialog::canceled,
                         [cancelled] { *cancelled = true; });
        QObject::connect(window.get(), &QDialog::rejected, [cancelled] { *cancelled = true; });
    }
    worker->start();
    if (window) window->show();
    loop.exec();
    worker->wait();
    return rc;
}

}  // namespace

QString LastReply() { return Reply(); }

std::uint32_t BMAPISendMail(std::uintptr_t, std::uintptr_t uiParam, const MapiMessage& message,
                            std::uint32_t flags, std::uint32_t) {
    Reply().clear();
    if (message.recips.empty()) return MAPI_E_INVALID_RECIPS;
    QByteArrayList to, cc, rcpt;
    for (const MapiRecipDesc& r : message.recips) {
        const QByteArray a = Address(r);
        if (a.isEmpty() || a.contains('\r') || a.contains('\n')) return MAPI_E_INVALID_RECIPS;
        if (r.ulRecipClass == MAPI_TO)
            to << a;
        else if (r.ulRecipClass == MAPI_CC)
            cc << a;
        else if (r.ulRecipClass != MAPI_BCC)
            return MAPI_E_BAD_RECIPTYPE;
        rcpt << a;
    }
    for (const MapiFileDesc& f : message.files)
        if (!QFileInfo(f.lpszPathName).isFile()) {
            Reply() = f.lpszPathName;
            return MAPI_E_ATTACHMENT_NOT_FOUND;
        }

    MailProfile profile = StoredProfile().value_or(MailProfile{});
    const auto known =
        profile.complete() && !profile.user.isEmpty() ? RememberedPassword(&profile) : std::nullopt;
    if (known) profile.password = *known;
    if (!profile.complete() || (!profile.user.isEmpty() && !known)) {
        if (!(flags & MAPI_LOGON_UI)) return MAPI_E_LOGIN_FAILURE;
        const auto asked = AskForProfile(profile, reinterpret_cast<QWidget*>(uiParam));
        if (!asked) return MAPI_USER_ABORT;
        profile = *asked;
        if (!profile.complete()) return MAPI_E_LOGIN_FAILURE;
        StoreProfile(profile);
        RememberPassword(profile.password, &profile);
    }

    curl_global_init(CURL_GLOBAL_DEFAULT);
    std::unique_ptr<CURL, CurlFree> curl(curl_easy_init());
    if (!curl) return MAPI_E_INSUFFICIENT_MEMORY;
    CURL* c = curl.get();
    const QByteArray url = (profile.security == MailProfile::Tls ? "smtps://" : "smtp://") +
                           profile.server.toUtf8() + ':' + QByteArray::number(profile.port);
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    if (profile.security == MailProfile::StartTls)
        curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    const QByteArray user = profile.user.toUtf8(), password = profile.password.toUtf8();
    if (!user.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    }
    const QByteArray from = '<' + profile.sender.toUtf8() + '>';
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.constData());
    std::unique_ptr<curl_slist, CurlFree> recipients;
    for (const QByteArray& a : rcpt) Append(recipients, '<' + a + '>');
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients.get());

    std::unique_ptr<curl_slist, CurlFree> headers;
    Append(headers, "From: " + profile.sender.toUtf8());
    Append(headers, "To: " + to.join(", "));
    if (!cc.isEmpty()) Append(headers, "Cc: " + cc.join(", "));
    Append(headers, "Subject: " + EncodedWord(message.lpszSubject));
    Append(headers, "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());

    std::unique_ptr<curl_mime, CurlFree> mime(curl_mime_init(c));
    curl_mimepart* body = curl_mime_addpart(mime.get());
    const QByteArray note = message.lpszNoteText.toUtf8();
    curl_mime_data(body, note.constData(), static_cast<size_t>(note.size()));
    curl_mime_type(body, "text/plain; charset=UTF-8");
    curl_mime_encoder(body, "quoted-printable");
    for (const MapiFileDesc& f : message.files) {
        curl_mimepart* part = curl_mime_addpart(mime.get());
        const QByteArray path = f.lpszPathName.toLocal8Bit();
        curl_mime_filedata(part, path.constData());
        if (!f.lpszFileName.isEmpty())
            curl_mime_filename(part, f.lpszFileName.toUtf8().constData());
        curl_mime_encoder(part, "base64");
    }
    curl_easy_setopt(c, CURLOPT_MIMEPOST, mime.get());
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 20L);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, 120L);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, OnDebug);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &Reply());
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    char error[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);

    std::atomic<bool> cancelled{false};
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &cancelled);
    const CURLcode rc = Transfer(c, reinterpret_cast<QWidget*>(uiParam),
                                 QString::fromUtf8(to.join(", ")), &cancelled);
    if (rc == CURLE_ABORTED_BY_CALLBACK) {
        Reply() = QStringLiteral("Sending was cancelled.");
        return MAPI_USER_ABORT;
    }
    if (rc == CURLE_LOGIN_DENIED) ForgetPassword(&profile);  // asked again next time
    if (rc != CURLE_OK && Reply().isEmpty())
        Reply() = QString::fromUtf8(error[0] ? error : curl_easy_strerror(rc));
    return CodeFor(rc, error);
}

}  // namespace mapi
