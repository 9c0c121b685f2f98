// The login answer, as far as it has arrived: its scan for the decision and
// the cookie taken from it. Input: the answer.
#include "engine/protocol/login.h"
#include "fuzz/check.h"

namespace uplark {
}
using namespace uplark;

namespace {

// What ends the cookie has come: a control character or the path after the
// first "LOGIN_INFO", or a second "LOGIN_INFO".
bool cookieEnded(const QByteArray &answer)
{
    const qsizetype at = answer.indexOf("LOGIN_INFO");
    const QByteArray rest = answer.mid(at + 10);
    if (rest.contains("LOGIN_INFO") || rest.contains("; path=/;"))
        return true;
    for (const char c : rest) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray answer = FuzzBytes(data, size);

    const bool tooMany = answer.contains("You had too many");
    const bool checkYour = answer.contains("Please check your");
    const bool incorrect = answer.contains("Sorry, your login was incorrect.");
    const bool cookie = answer.contains("LOGIN_INFO") && cookieEnded(answer);
    // The rejections win over the cookie, in their order; the cookie counts
    // once its end has come; nothing else means waiting for more.
    const LoginOutcome outcome = scanLoginAnswer(answer);
    switch (outcome) {
    case LoginOutcome::TooManyFailures:
        FUZZ_CHECK(tooMany);
        break;
    case LoginOutcome::CheckYour:
        FUZZ_CHECK(checkYour && !tooMany);
        break;
    case LoginOutcome::Incorrect:
        FUZZ_CHECK(incorrect && !checkYour && !tooMany);
        break;
    case LoginOutcome::LoggedIn:
        FUZZ_CHECK(cookie && !incorrect && !checkYour && !tooMany);
        break;
    case LoginOutcome::NoDecision:
        FUZZ_CHECK(!cookie && !incorrect && !checkYour && !tooMany);
        break;
    }

    const QByteArray value = scanLoginCookie(answer);
    if (answer.contains("LOGIN_INFO")) {
        // "LOGIN_INFO" and what followed it in the answer, up to a line's
        // end: the cookie goes into later request heads as it is.
        FUZZ_CHECK(value.startsWith("LOGIN_INFO"));
        const qsizetype at = answer.indexOf("LOGIN_INFO");
        FUZZ_CHECK(answer.mid(at).startsWith(value));
        // No control character: nothing of a later line can follow it.
        for (const char c : value)
            FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
        FUZZ_CHECK(!value.contains("; path=/;"));
    }

    // Once part of the answer has decided, more of it never takes the
    // decision back, and a cookie taken stays the same.
    for (const qsizetype cut : CutPoints(answer)) {
        const QByteArray part = answer.left(cut);
        const LoginOutcome early = scanLoginAnswer(part);
        if (early != LoginOutcome::NoDecision)
            FUZZ_CHECK(outcome != LoginOutcome::NoDecision);
        if (early == LoginOutcome::LoggedIn)
            FUZZ_CHECK(scanLoginCookie(part) == value);
    }
    return 0;
}
