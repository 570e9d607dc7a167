#include "mapi.h"

#include <curl/curl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "mailprofile.h"

namespace mapi {

namespace {

constexpr long kConnectSeconds = 20;

std::atomic<int> g_answerSeconds{120};

QString& Reply() {
    static QString reply;
    return reply;
}

bool& TimedOut() {
    static bool timedOut = false;
    return timedOut;
}

// What one send needs, copied from the caller's message, so that a send the caller gave up
// uses nothing of the caller's while it winds down.
struct Job {
    QByteArray url, user, password, from, note;
    bool startTls = false;
    QByteArrayList rcpt, headers;
    struct File {
        QByteArray path, name;
    };
    std::vector<File> files;
    long answerSeconds = 120;
};

// One send on its own thread. The caller reads the outcome once `finished` is set; until then
// only the thread touches it, except for Cancel.
struct Sending {
    Job job;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
    CURLcode rc = CURLE_OK;
    bool connected = false;
    bool timedOut = false;
    QString reply;
    // When the exchange last moved: a line either way or data taken. Only the thread uses it.
    std::chrono::steady_clock::time_point moved = std::chrono::steady_clock::now();
    curl_off_t sent = 0;
    char error[CURL_ERROR_SIZE] = {};
    std::mutex socketsLock;
    std::vector<curl_socket_t> sockets;

    // Cuts the connection, so that curl stops at once rather than at its next look at the
    // progress callback, and no farewell is waited for.
    void Cancel() {
        cancelled = true;
        std::lock_guard lock(socketsLock);
        for (curl_socket_t s : sockets) ::shutdown(s, SHUT_RDWR);
    }
};

// The sends still running, so that the program's end can cut them rather than wait for their
// time-outs. Never destroyed: a send still winding down at exit may reach it.
struct Running {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::shared_ptr<Sending>> sends;
};
Running& Sends() {
    static auto* running = new Running;
    return *running;
}

void CancelRunningSends() {
    Running& r = Sends();
    std::unique_lock lock(r.lock);
    for (const auto& s : r.sends) s->Cancel();
    r.changed.wait_for(lock, std::chrono::seconds(1), [&r] { return r.sends.empty(); });
}

// Keeps the server's last refusal (a 4xx or 5xx line), else its last reply, for the
// caller to show with the failure; the farewell after a refusal does not replace it.
int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* sending) {
    if (type != CURLINFO_HEADER_IN && type != CURLINFO_HEADER_OUT) return 0;
    auto* s = static_cast<Sending*>(sending);
    s->moved = std::chrono::steady_clock::now();
    if (type != CURLINFO_HEADER_IN) return 0;
    QString& last = s->reply;
    const QString line = QString::fromUtf8(data, static_cast<qsizetype>(size)).trimmed();
    const auto refusal = [](const QString& l) { return l.startsWith(u'4') || l.startsWith(u'5'); };
    if (!line.isEmpty() && (refusal(line) || !refusal(last))) last = line;
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
// for the server: a non-zero result ends the transfer. It ends it on Cancel, and once nothing
// has moved for the time a server is given to answer (curl's own limits for a silent server
// reach up to twice that after the data).
int OnProgress(void* sending, curl_off_t, curl_off_t, curl_off_t, curl_off_t sent) {
    auto* s = static_cast<Sending*>(sending);
    if (s->cancelled.load()) return 1;
    const auto now = std::chrono::steady_clock::now();
    if (sent != s->sent) {
        s->sent = sent;
        s->moved = now;
    }
    if (now - s->moved >= std::chrono::seconds(s->job.answerSeconds)) s->timedOut = true;
    return s->timedOut ? 1 : 0;
}

curl_socket_t OnOpenSocket(void* sending, curlsocktype, curl_sockaddr* a) {
    auto* s = static_cast<Sending*>(sending);
    std::lock_guard lock(s->socketsLock);
    if (s->cancelled) return CURL_SOCKET_BAD;
    const curl_socket_t fd = ::socket(a->family, a->socktype | SOCK_CLOEXEC, a->protocol);
    if (fd != CURL_SOCKET_BAD) s->sockets.push_back(fd);
    return fd;
}

// Forgotten before it is closed, so that a Cancel never cuts a descriptor reused meanwhile.
int OnCloseSocket(void* sending, curl_socket_t fd) {
    auto* s = static_cast<Sending*>(sending);
    std::lock_guard lock(s->socketsLock);
    s->sockets.erase(std::remove(s->sockets.begin(), s->sockets.end(), fd), s->sockets.end());
    return ::close(fd);
}

// The whole exchange, the connection's clean-up included, on the send's own thread.
void Run(const std::shared_ptr<Sending>& s) {
    const Job& job = s->job;
    std::unique_ptr<CURL, CurlFree> curl(curl_easy_init());
    if (!curl) {
        s->rc = CURLE_OUT_OF_MEMORY;
        return;
    }
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, job.url.constData());
    if (job.startTls) curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    if (!job.user.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, job.user.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, job.password.constData());
    }
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, job.from.constData());
    std::unique_ptr<curl_slist, CurlFree> recipients;
    for (const QByteArray& a : job.rcpt) Append(recipients, '<' + a + '>');
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients.get());
    std::unique_ptr<curl_slist, CurlFree> headers;
    for (const QByteArray& h : job.headers) Append(headers, h);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());

    std::unique_ptr<curl_mime, CurlFree> mime(curl_mime_init(c));
    curl_mimepart* body = curl_mime_addpart(mime.get());
    curl_mime_data(body, job.note.constData(), static_cast<size_t>(job.note.size()));
    curl_mime_type(body, "text/plain; charset=UTF-8");
    curl_mime_encoder(body, "quoted-printable");
    for (const Job::File& f : job.files) {
        curl_mimepart* part = curl_mime_addpart(mime.get());
        curl_mime_filedata(part, f.path.constData());
        if (!f.name.isEmpty()) curl_mime_filename(part, f.name.constData());
        curl_mime_encoder(part, "base64");
    }
    curl_easy_setopt(c, CURLOPT_MIMEPOST, mime.get());
    // A server that stops answering, or stops taking the data, ends the send (OnProgress); a
    // large attachment on a slow line that keeps moving does not.
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, std::min(kConnectSeconds, job.answerSeconds));
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, job.answerSeconds);
    // Closed with this handle when the send ends, not later by curl's shared clean-up, which
    // would wait for the server's farewell with neither our time-out nor our Cancel.
    curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, OnDebug);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, s.get());
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, s->error);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, s.get());
    curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, OnOpenSocket);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, s.get());
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, OnCloseSocket);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, s.get());

    s->moved = std::chrono::steady_clock::now();
    s->rc = curl_easy_perform(c);
    if (s->timedOut && s->rc == CURLE_ABORTED_BY_CALLBACK) s->rc = CURLE_OPERATION_TIMEDOUT;
    curl_off_t connectTime = 0;
    curl_easy_getinfo(c, CURLINFO_CONNECT_TIME_T, &connectTime);
    s->connected = connectTime > 0;
}

void Start(const std::shared_ptr<Sending>& s) {
    {
        Running& r = Sends();
        std::lock_guard lock(r.lock);
        r.sends.push_back(s);
    }
    std::thread([s] {
        Run(s);
        s->finished.store(true, std::memory_order_release);
        Running& r = Sends();
        std::lock_guard lock(r.lock);
        r.sends.erase(std::find(r.sends.begin(), r.sends.end(), s));
        r.changed.notify_all();
    }).detach();
}

// Keeps the windows served behind a progress window until the send ends; its Cancel (or
// closing, or the program's end) gives the send up at once: false, and the send is cut and
// left to wind down on its own thread.
bool Wait(const std::shared_ptr<Sending>& s, QWidget* parent, const QString& recipients) {
    const auto finished = [&s] { return s->finished.load(std::memory_order_acquire); };
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (finished()) loop.quit();
    });
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
        QObject::connect(window.get(), &QProgressDialog::canceled, &loop, &QEventLoop::quit);
        QObject::connect(window.get(), &QDialog::rejected, &loop, &QEventLoop::quit);
    }
    poll.start(20);
    if (window) window->show();
    if (!finished()) loop.exec();
    // A send that ended just as Cancel was pressed keeps its real outcome.
    if (finished()) return true;
    s->Cancel();
    return false;
}

}  // namespace

QString LastReply() { return Reply(); }
bool LastCallTimedOut() { return TimedOut(); }
void SetAnswerTimeout(int seconds) { g_answerSeconds = std::max(1, seconds); }

std::uint32_t BMAPISendMail(std::uintptr_t, std::uintptr_t uiParam, const MapiMessage& message,
                            std::uint32_t flags, std::uint32_t) {
    Reply().clear();
    TimedOut() = false;
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

    static std::once_flag once;
    std::call_once(once, [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        // A send still running when the program ends is cut, not waited for.
        qAddPostRoutine(CancelRunningSends);
    });
    auto s = std::make_shared<Sending>();
    Job& job = s->job;
    job.url = (profile.security == MailProfile::Tls ? "smtps://" : "smtp://") +
              profile.server.toUtf8() + ':' + QByteArray::number(profile.port);
    job.startTls = profile.security == MailProfile::StartTls;
    job.user = profile.user.toUtf8();
    job.password = profile.password.toUtf8();
    job.from = '<' + profile.sender.toUtf8() + '>';
    job.rcpt = rcpt;
    job.headers << "From: " + profile.sender.toUtf8() << "To: " + to.join(", ");
    if (!cc.isEmpty()) job.headers << "Cc: " + cc.join(", ");
    job.headers << "Subject: " + EncodedWord(message.lpszSubject)
                << "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1();
    job.note = message.lpszNoteText.toUtf8();
    for (const MapiFileDesc& f : message.files)
        job.files.push_back({f.lpszPathName.toLocal8Bit(), f.lpszFileName.toUtf8()});
    job.answerSeconds = g_answerSeconds;

    Start(s);
    if (!Wait(s, reinterpret_cast<QWidget*>(uiParam), QString::fromUtf8(to.join(", ")))) {
        Reply() = QStringLiteral("Sending was cancelled.");
        return MAPI_USER_ABORT;
    }
    Reply() = s->reply;
    const CURLcode rc = s->rc;
    if (rc == CURLE_ABORTED_BY_CALLBACK) {
        Reply() = QStringLiteral("Sending was cancelled.");
        return MAPI_USER_ABORT;
    }
    if (rc == CURLE_LOGIN_DENIED) ForgetPassword(&profile);  // asked again next time
    if (rc == CURLE_OPERATION_TIMEDOUT) {
        TimedOut() = true;
        Reply() = s->connected ? QStringLiteral(
                                     "The mail server %1 did not answer within %2 seconds; the "
                                     "mail may not have been sent.")
                                     .arg(profile.server)
                                     .arg(job.answerSeconds)
                               : QStringLiteral(
                                     "The mail server %1 could not be reached within %2 "
                                     "seconds.")
                                     .arg(profile.server)
                                     .arg(std::min(kConnectSeconds, job.answerSeconds));
    } else if (rc != CURLE_OK && Reply().isEmpty()) {
        Reply() = QString::fromUtf8(s->error[0] ? s->error : curl_easy_strerror(rc));
    }
    return CodeFor(rc, s->error);
}

}  // namespace mapi
