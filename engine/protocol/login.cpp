#include "engine/protocol/login.h"

#include "engine/protocol/markers.h"
#include "engine/protocol/wire.h"

namespace uplark {

QByteArray formUrlEncode(const QString &value)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    const QByteArray utf8 = value.toUtf8();
    out.reserve(utf8.size() * 3);
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '*'
            || b == '-' || b == '.' || b == '_') {
            out.append(c);
        } else if (b == ' ') {
            out.append('+');
        } else {
            out.append('%');
            out.append(hex[b >> 4]);
            out.append(hex[b & 0xF]);
        }
    }
    return out;
}

QByteArray loginBody(const QString &user, const QString &password)
{
    return QByteArrayLiteral("current_form=loginForm&next=%2Fmy_account&username=")
           + formUrlEncode(user) + QByteArrayLiteral("&password=") + formUrlEncode(password)
           + QByteArrayLiteral("&action_login=Log+In");
}

QByteArray loginRequest(const QByteArray &host, const QString &user, const QString &password)
{
    const QByteArray body = loginBody(user, password);
    QByteArray request;
    request += QByteArrayLiteral("POST /signup?next=/my_account HTTP/1.1") + CRLF;
    request += QByteArrayLiteral("Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*")
               + CRLF;
    request += QByteArrayLiteral("Accept-Language: en-GB") + CRLF;
    request += userAgentLine() + CRLF;
    request += QByteArrayLiteral("Content-Length: ") + QByteArray::number(body.size()) + CRLF;
    request += QByteArrayLiteral("Content-Type: application/x-www-form-urlencoded") + CRLF;
    request += QByteArrayLiteral("Host: ") + host + CRLF;
    request += QByteArrayLiteral("Connection: Keep-Alive") + CRLF;
    request += CRLF;
    request += body + CRLF;
    request += CRLF;
    return request;
}

namespace {

const QByteArray CookieName = QByteArrayLiteral("LOGIN_INFO");
const QByteArray CookieEnd = QByteArrayLiteral("; path=/;");

// Where the text's first control character is; -1 when it has none.
qsizetype controlCharacterAt(const QByteArray &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text.at(i));
        if (c < 0x20 || c == 0x7F)
            return i;
    }
    return -1;
}

} // namespace

LoginOutcome scanLoginAnswer(const QByteArray &answer)
{
    if (answer.contains("You had too many"))
        return LoginOutcome::TooManyFailures;
    if (answer.contains("Please check your"))
        return LoginOutcome::CheckYour;
    if (answer.contains("Sorry, your login was incorrect."))
        return LoginOutcome::Incorrect;
    const qsizetype at = answer.indexOf(CookieName);
    if (at < 0)
        return LoginOutcome::NoDecision;
    // The cookie is whole once what ends it has come: a control character
    // (the line's end), the path, or a second "LOGIN_INFO". None of them can
    // be the start of "LOGIN_INFO", so nothing that follows changes it.
    const QByteArray rest = splitPiece(answer, CookieName, 1);
    const bool ended = answer.indexOf(CookieName, at + CookieName.size()) >= 0
                       || controlCharacterAt(rest) >= 0 || rest.contains(CookieEnd);
    return ended ? LoginOutcome::LoggedIn : LoginOutcome::NoDecision;
}

QByteArray scanLoginCookie(const QByteArray &answer)
{
    // The value ends at the first control character, CR and LF among them:
    // whatever follows is not the cookie's, and must never reach a request.
    QByteArray line = splitPiece(answer, CookieName, 1);
    if (const qsizetype end = controlCharacterAt(line); end >= 0)
        line.truncate(end);
    return CookieName + splitPiece(line, CookieEnd, 0);
}

} // namespace uplark
