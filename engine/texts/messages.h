#pragma once

#include "engine/protocol/login.h"
#include "engine/upload/reports.h"

#include <QString>

namespace uplark {

// The texts that the window and the command line both show.

// What the user is shown for a step: "Connecting to YouTube server..." and so on.
QString uploadStepText(UploadStep step);

// The message that tells the user about a failure in the window; `detail` is
// the system's description of an unreadable file, or for a connection error
// what the user is told beyond it (a refused certificate, a failing proxy).
// A site that could not store the video gets the connection error's message.
QString uploadFailureMessage(UploadFailure failure, const QString &detail = {});

// The same failure as the command line says it, on one line: the message
// followed by the detail in parentheses (which step, host and port, and the
// system's reason), and a site that could not store the video named so,
// with the status.
QString uploadFailureLine(UploadFailure failure, const QString &detail);

// Why an exchange failed when the other end closed its connection before
// the answer was complete, as the command line's details say it.
QString closedBeforeAnswerText();

// The message for an account check that the site did not let in; empty for
// LoggedIn. NoDecision is a connection error, with `detail` as for
// uploadFailureMessage.
QString loginOutcomeMessage(LoginOutcome outcome, const QString &detail = {});

// The confirmation that the stored account is gone.
QString accountRemovedMessage();

} // namespace uplark
