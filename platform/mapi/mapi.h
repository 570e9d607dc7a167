#pragma once

#include <QString>
#include <cstdint>
#include <vector>

// The Simple MAPI send call, over SMTP. The records carry what the callers fill in.
namespace mapi {

enum : std::uint32_t { MAPI_ORIG = 0, MAPI_TO = 1, MAPI_CC = 2, MAPI_BCC = 3 };
enum : std::uint32_t { MAPI_LOGON_UI = 0x1, MAPI_DIALOG = 0x8 };

enum : std::uint32_t {
    SUCCESS_SUCCESS = 0,
    MAPI_USER_ABORT = 1,
    MAPI_E_FAILURE = 2,
    MAPI_E_LOGIN_FAILURE = 3,
    MAPI_E_INSUFFICIENT_MEMORY = 5,
    MAPI_E_ATTACHMENT_NOT_FOUND = 11,
    MAPI_E_ATTACHMENT_OPEN_FAILURE = 12,
    MAPI_E_UNKNOWN_RECIPIENT = 14,
    MAPI_E_BAD_RECIPTYPE = 15,
    MAPI_E_NETWORK_FAILURE = 23,
    MAPI_E_INVALID_RECIPS = 25,
};

struct MapiRecipDesc {
    std::uint32_t ulRecipClass = MAPI_TO;
    QString lpszName;     // the address as the user wrote it
    QString lpszAddress;  // used instead of the name when given
};

struct MapiFileDesc {
    std::int32_t nPosition = -1;
    QString lpszPathName;
    QString lpszFileName;  // the name the recipient sees; the path's own name when empty
};

struct MapiMessage {
    QString lpszSubject;
    QString lpszNoteText;
    std::vector<MapiRecipDesc> recips;
    std::vector<MapiFileDesc> files;
};

// Sends the message at once. With MAPI_LOGON_UI a missing mail profile or password is asked
// for; cancelling that, or the progress window shown while the mail goes, gives
// MAPI_USER_ABORT. The exchange runs on a thread of its own; a Cancel returns at once and
// leaves the connection to be cut there. Returns a Simple MAPI code.
std::uint32_t BMAPISendMail(std::uintptr_t session, std::uintptr_t uiParam,
                            const MapiMessage& message, std::uint32_t flags,
                            std::uint32_t reserved = 0);

// The mail server's last reply, or what went wrong before one came, of the last call.
QString LastReply();
// Whether the last call failed because the server did not answer in time; LastReply() then
// says so in words.
bool LastCallTimedOut();
// How long a silent server is waited for, in seconds (120 unless set; tests shorten it).
void SetAnswerTimeout(int seconds);

}  // namespace mapi
