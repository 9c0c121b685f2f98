#pragma once

#include <QByteArray>
#include <QString>

namespace uplark {

// The site's login exchange: the request and the scan of its answer.

// application/x-www-form-urlencoded form of a value: its UTF-8 bytes, with
// letters, digits and "*-._" kept, space as "+", every other byte as %XX.
QByteArray formUrlEncode(const QString &value);

// The login form body for a user name and password.
QByteArray loginBody(const QString &user, const QString &password);

// The whole login request for the site `host`: request line, headers, the
// empty line, the body and two more CR LF pairs that Content-Length does not
// count.
QByteArray loginRequest(const QByteArray &host, const QString &user, const QString &password);

// What the login answer says as far as it has arrived. The rejection markers
// are looked for first, in this order; the cookie only when none of them is
// there, and only once its end has arrived too.
enum class LoginOutcome {
    NoDecision,      // none of the markers: wait for more of the answer
    TooManyFailures, // "You had too many"
    CheckYour,       // "Please check your"
    Incorrect,       // "Sorry, your login was incorrect."
    LoggedIn,        // "LOGIN_INFO" and the cookie's end
};
LoginOutcome scanLoginAnswer(const QByteArray &answer);

// The login cookie from an answer holding "LOGIN_INFO": "LOGIN_INFO" followed
// by what comes after its first occurrence, up to the next one, the first
// control character (CR, LF, NUL, tab...) and the first "; path=/;".
QByteArray scanLoginCookie(const QByteArray &answer);

} // namespace uplark
