#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <atomic>
#include <mutex>
#include <thread>

namespace testsupport {

// A small SMTP server on 127.0.0.1 for one test: it speaks just enough of the protocol
// (EHLO, AUTH PLAIN, MAIL, RCPT, DATA, QUIT) to receive what the program sends, and can
// refuse a login or a recipient, drop the connection, or never answer (from the start, or once it
// has taken the whole data of a mail). Every wait is bounded. It
// takes the login "owner" / "secret" and, when refusing a recipient, refuses "nobody@example.com".
class SmtpServer {
  public:
    enum Behaviour {
        Accept,
        RefuseLogin,
        RefuseRecipient,
        CloseAfterMail,
        Silent,
        SilentAfterData
    };
    struct Mail {
        QString from;
        QStringList recipients;
        QByteArray data;
        QString header(const QString& name) const;
        QString body() const;                           // the first text part, decoded
        QMap<QString, QByteArray> attachments() const;  // file name -> content
    };

    explicit SmtpServer(Behaviour behaviour);
    ~SmtpServer();
    SmtpServer(const SmtpServer&) = delete;
    SmtpServer& operator=(const SmtpServer&) = delete;

    int port() const { return port_; }
    QList<Mail> received() const;
    QString authenticatedAs() const;
    // Connections the client closed while the server was still holding them.
    int hangUps() const { return hangUps_; }

  private:
    void Run();
    void Serve(int fd);

    Behaviour behaviour_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> hangUps_{0};
    mutable std::mutex mutex_;
    QList<Mail> received_;
    QString authenticated_;
    std::thread thread_;
};

}  // namespace testsupport
