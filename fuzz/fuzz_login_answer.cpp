// The login answer: its scan for the decision and the cookie taken from it.
// Input: one piece of the answer as the connection reads it.
#include "engine/protocol/login.h"
#include "fuzz/check.h"

namespace uplark {
}
using namespace uplark;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray piece = FuzzBytes(data, size);

    const bool tooMany = piece.contains("You had too many");
    const bool checkYour = piece.contains("Please check your");
    const bool incorrect = piece.contains("Sorry, your login was incorrect.");
    const bool cookie = piece.contains("LOGIN_INFO");
    // The rejections win over the cookie, in their order; no marker means
    // waiting for more.
    switch (scanLoginAnswer(piece)) {
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

    const QByteArray value = scanLoginCookie(piece);
    if (cookie) {
        // "LOGIN_INFO" and what followed it in the answer, up to a line's
        // end: the cookie goes into later request heads as it is.
        FUZZ_CHECK(value.startsWith("LOGIN_INFO"));
        const qsizetype at = piece.indexOf("LOGIN_INFO");
        FUZZ_CHECK(piece.mid(at).startsWith(value));
        // No control character: nothing of a later line can follow it.
        for (const char c : value)
            FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
        FUZZ_CHECK(!value.contains("; path=/;"));
    }
    return 0;
}
