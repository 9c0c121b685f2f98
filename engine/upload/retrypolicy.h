#pragma once

#include "engine/upload/reports.h"

#include <QtGlobal>

namespace uplark {

// When an unattended upload tries a file again, from the login on.

// A connection error, an answer without a usable video id and a site that
// could not store the video may pass; a rejected account, too many login
// failures and bad input never do, and trying again could only make them
// worse (the site counts failed logins).
bool isWorthRetrying(UploadFailure failure);

// Seconds to wait before the retry with this number (1 for the first): 1, 2,
// 4, ... doubling, at most 60.
int retryDelaySeconds(int retry);

} // namespace uplark
