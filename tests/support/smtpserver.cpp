#include "smtpserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QRegularExpression>

namespace testsupport {

namespace {

constexpr int kWaitMs = 10000;

// One CRLF-ended line, or empty when the peer went away or the wait ran out.
QByteArray ReadLine(int fd, QByteArray& buffer) {
    while (!buffer.contains("\r\n")) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, kWaitMs) <= 0) return {};
        char chunk[4096];
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) return {};
        buffer.append(chunk, n);
    }
    const qsizetype at = buffer.indexOf("\r\n");
    const QByteArray line = buffer.left(at);
    buffer.remove(0, at + 2);
    return line;
}

void Send(int fd, const QByteArray& text) {
    ::send(fd, text.constData(), static_cast<size_t>(text.size()), MSG_NOSIGNAL);
}

QByteArray Angle(const QByteArray& line) {
    const qsizetype a = line.indexOf('<'), b = line.lastIndexOf('>');
    return a >= 0 && b > a ? line.mid(a + 1, b - a - 1) : QByteArray();
}

QByteArray QuotedPrintable(const QByteArray& in) {
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '=') {
            out += in[i];
        } else if (in.mid(i + 1, 2) == "\r\n") {
            i += 2;
        } else {
            out += QByteArray::fromHex(in.mid(i + 1, 2));
            i += 2;
        }
    }
    return out;
}

struct Part {
    QByteArray headers, content;
};

QList<Part> Parts(const QByteArray& data) {
    const QRegularExpression boundaryRe(QStringLiteral("boundary=\"?([^\";\\r\\n]+)\"?"));
    const auto m = boundaryRe.match(QString::fromLatin1(data));
    if (!m.hasMatch()) return {};
    const QByteArray delimiter = "--" + m.captured(1).toLatin1();
    QList<Part> parts;
    qsizetype at = data.indexOf(delimiter);
    while (at >= 0) {
        const qsizetype start = at + delimiter.size();
        if (data.mid(start, 2) == "--") break;
        const qsizetype next = data.indexOf("\r\n" + delimiter, start);
        if (next < 0) break;
        const QByteArray piece = data.mid(start + 2, next - start - 2);
        const qsizetype split = piece.indexOf("\r\n\r\n");
        parts.push_back({piece.left(split), piece.mid(split + 4)});
        at = next + 2;
    }
    return parts;
}

}  // namespace

QString SmtpServer::Mail::header(const QString& name) const {
    const QByteArray head = data.left(data.indexOf("\r\n\r\n"));
    for (const QByteArray& line : head.split('\n')) {
        const QByteArray l = line.trimmed();
        if (l.toLower().startsWith(name.toLower().toLatin1() + ':'))
            return QString::fromUtf8(l.mid(name.size() + 1).trimmed());
    }
    return {};
}

QString SmtpServer::Mail::body() const {
    for (const Part& p : Parts(data))
        if (p.headers.toLower().contains("text/plain") && !p.headers.toLower().contains("filename"))
            return QString::fromUtf8(p.headers.toLower().contains("quoted-printable")
                                         ? QuotedPrintable(p.content)
                                         : p.content);
    return {};
}

QMap<QString, QByteArray> SmtpServer::Mail::attachments() const {
    QMap<QString, QByteArray> files;
    const QRegularExpression nameRe(QStringLiteral("filename=\"([^\"]+)\""));
    for (const Part& p : Parts(data)) {
        const auto m = nameRe.match(QString::fromUtf8(p.headers));
        if (m.hasMatch()) files.insert(m.captured(1), QByteArray::fromBase64(p.content));
    }
    return files;
}

SmtpServer::SmtpServer(Behaviour behaviour) : behaviour_(behaviour) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), len) == 0 &&
        listen(listener_, 4) == 0 &&
        getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Run(); });
}

SmtpServer::~SmtpServer() {
    stop_ = true;
    thread_.join();
    close(listener_);
}

QList<SmtpServer::Mail> SmtpServer::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

QString SmtpServer::authenticatedAs() const {
    std::lock_guard lock(mutex_);
    return authenticated_;
}

void SmtpServer::Run() {
    while (!stop_) {
        pollfd p{listener_, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        const int fd = accept(listener_, nullptr, nullptr);
        if (fd < 0) continue;
        Serve(fd);
        close(fd);
    }
}

void SmtpServer::Serve(int fd) {
    // Holds the connection without a word until the client leaves or the test ends.
    const auto holdSilent = [this, fd] {
        while (!stop_) {
            pollfd p{fd, POLLIN, 0};
            char c;
            if (poll(&p, 1, 50) > 0 && recv(fd, &c, 1, 0) <= 0) {
                ++hangUps_;
                return;
            }
        }
    };
    if (behaviour_ == Silent) return holdSilent();
    QByteArray buffer;
    Mail mail;
    Send(fd, "220 localhost ESMTP test\r\n");
    for (;;) {
        const QByteArray line = ReadLine(fd, buffer);
        if (line.isEmpty()) return;
        const QByteArray verb = line.left(4).toUpper();
        if (verb == "EHLO" || verb == "HELO") {
            Send(fd, "250-localhost\r\n250-AUTH PLAIN\r\n250 8BITMIME\r\n");
        } else if (verb == "AUTH") {
            QByteArray response = line.mid(11).trimmed();
            if (response.isEmpty()) {
                Send(fd, "334 \r\n");
                response = ReadLine(fd, buffer);
            }
            const QList<QByteArray> fields = QByteArray::fromBase64(response).split('\0');
            const bool ok = behaviour_ != RefuseLogin && fields.size() == 3 &&
                            fields[1] == "owner" && fields[2] == "secret";
            if (ok) {
                std::lock_guard lock(mutex_);
                authenticated_ = QString::fromUtf8(fields[1]);
            }
            Send(fd, ok ? "235 2.7.0 Authentication successful\r\n"
                        : "535 5.7.8 Authentication credentials invalid\r\n");
        } else if (verb == "MAIL") {
            if (behaviour_ == CloseAfterMail) return;
            mail = Mail{QString::fromUtf8(Angle(line)), {}, {}};
            Send(fd, "250 2.1.0 Ok\r\n");
        } else if (verb == "RCPT") {
            const QString to = QString::fromUtf8(Angle(line));
            if (behaviour_ == RefuseRecipient && to == u"nobody@example.com") {
                Send(fd, "550 5.1.1 <" + to.toUtf8() +
                             ">: Recipient address rejected: User unknown\r\n");
            } else {
                mail.recipients << to;
                Send(fd, "250 2.1.5 Ok\r\n");
            }
        } else if (verb == "DATA") {
            Send(fd, "354 End data with <CR><LF>.<CR><LF>\r\n");
            QByteArray data;
            for (;;) {
                const qsizetype end = buffer.indexOf("\r\n.\r\n");
                if (end >= 0) {
                    data += buffer.left(end + 2);
                    buffer.remove(0, end + 5);
                    break;
                }
                pollfd p{fd, POLLIN, 0};
                if (poll(&p, 1, kWaitMs) <= 0) return;
                char chunk[65536];
                const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
                if (n <= 0) return;
                buffer.append(chunk, n);
            }
            mail.data = data.replace("\r\n..", "\r\n.");
            {
                std::lock_guard lock(mutex_);
                received_ << mail;
            }
            if (behaviour_ == SilentAfterData) return holdSilent();
            Send(fd, "250 2.0.0 Ok: queued\r\n");
        } else if (verb == "QUIT") {
            Send(fd, "221 2.0.0 Bye\r\n");
            return;
        } else {
            Send(fd, "502 5.5.2 Error: command not recognized\r\n");
        }
    }
}

}  // namespace testsupport
