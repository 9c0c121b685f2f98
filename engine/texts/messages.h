#pragma once

#include "engine/protocol/login.h"
#include "engine/upload/reports.h"

#include <QString>

namespace uplark {

// The texts that the window and the command line both show.

// What the user is shown for a step: "Connecting to YouTube server..." and so on.
QString uploadStepText(UploadStep step);

// The message that tells the user about a failure; `detail` is the system's
// description of an unreadable file, or for a connection error what the
// user is told beyond it (a refused certificate, a failing proxy).
QString uploadFailureMessage(UploadFailure failure, const QString &detail = {});

// The message for an account check that the site did not let in; empty for
// LoggedIn. NoDecision is a connection error, with `detail` as for
// uploadFailureMessage.
QString loginOutcomeMessage(LoginOutcome outcome, const QString &detail = {});

// The confirmation that the stored account is gone.
QString accountRemovedMessage();

} // namespace uplark
