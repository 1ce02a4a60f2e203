#pragma once

#include <QString>

namespace quennet::sync {

// What went wrong talking to the server, with the text the user is shown.
struct DavError {
    enum Kind {
        None,
        BadUrl,             // the address is not a URL we talk to
        Insecure,           // plain HTTP to another machine
        Offline,            // no connection (refused, no such host, no network)
        Timeout,            // the server went silent
        Certificate,        // the server's certificate did not verify
        Unauthorized,       // 401
        Forbidden,          // 403
        NotFound,           // 404
        PreconditionFailed, // 412: the card changed on the server meanwhile
        InvalidSyncToken,   // the server no longer knows our sync token
        ServerError,        // 5xx
        HttpError,          // any other status we cannot go on after
        Malformed,          // the answer is not the XML or vCard it should be
        TooLarge,           // the answer ran past what we read
        NoAddressBook,      // discovery found none
        Cancelled,
        LocalStore, // the contact store could not be written
    };

    Kind kind = None;
    int httpStatus = 0;
    QString message; // for the user, in Chinese; empty when kind is None

    bool ok() const { return kind == None; }
    static DavError make(Kind kind, QString message, int httpStatus = 0)
    {
        return {kind, httpStatus, std::move(message)};
    }
};

} // namespace quennet::sync
