#include "engine/upload/retrypolicy.h"

namespace uplark {

bool isWorthRetrying(UploadFailure failure)
{
    switch (failure) {
    case UploadFailure::ConnectionError:
    case UploadFailure::NoVideoId:
    case UploadFailure::NotStored:
        return true;
    case UploadFailure::AccountRejected:
    case UploadFailure::TooManyLoginFailures:
    case UploadFailure::UnreadableFile:
    case UploadFailure::InvalidHost:
        return false;
    }
    return false;
}

int retryDelaySeconds(int retry)
{
    constexpr int Longest = 60;
    if (retry <= 1)
        return 1;
    if (retry > 6)
        return Longest;
    return qMin(1 << (retry - 1), Longest);
}

} // namespace uplark
