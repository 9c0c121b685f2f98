#include "engine/texts/messages.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace uplark {

namespace {

QString translate(const char *text)
{
    return QCoreApplication::translate("uplark::Messages", text);
}

} // namespace

QString uploadStepText(UploadStep step)
{
    switch (step) {
    case UploadStep::Connecting:
        return translate("Connecting to YouTube server...");
    case UploadStep::LoggingIn:
        return translate("Logging in...");
    case UploadStep::Uploading:
        return translate("Uploading... Please wait");
    case UploadStep::PreparingAddress:
        return translate("Preparing your video address...");
    }
    return {};
}

QString uploadFailureMessage(UploadFailure failure, const QString &detail)
{
    switch (failure) {
    case UploadFailure::AccountRejected:
    case UploadFailure::TooManyLoginFailures:
        return translate("Either your username or password is wrong. Please check them and set "
                         "your account again.");
    case UploadFailure::ConnectionError:
    case UploadFailure::NotStored:
        // A refused certificate or a failing proxy is named after it.
        return detail.isEmpty() ? translate("Connection error!")
                                : translate("Connection error!") + u"\n\n"_s + detail;
    case UploadFailure::UnreadableFile:
        return detail;
    case UploadFailure::InvalidHost:
        return translate("Invalid Host");
    case UploadFailure::NoVideoId:
        return translate("An error occured. Please re-run the program. Please revise your video "
                         "description and eliminate the unwanted special characters. Sorry for "
                         "that!");
    }
    return {};
}

QString uploadFailureLine(UploadFailure failure, const QString &detail)
{
    if (failure == UploadFailure::UnreadableFile)
        return detail;
    const QString message = failure == UploadFailure::NotStored
                                ? translate("The site could not store the video.")
                                : uploadFailureMessage(failure);
    return detail.isEmpty() ? message : message + u" ("_s + detail + u')';
}

QString closedBeforeAnswerText()
{
    return translate("the connection was closed before the answer was complete");
}

QString loginOutcomeMessage(LoginOutcome outcome, const QString &detail)
{
    switch (outcome) {
    case LoginOutcome::LoggedIn:
        return {};
    case LoginOutcome::TooManyFailures:
        return translate(
            "You had too many login failures. Please wait before trying to login again.");
    case LoginOutcome::CheckYour:
        return translate("Please check your username or password.");
    case LoginOutcome::Incorrect:
        return translate("Sorry, your login was incorrect.");
    case LoginOutcome::NoDecision:
        return uploadFailureMessage(UploadFailure::ConnectionError, detail);
    }
    return {};
}

QString accountRemovedMessage()
{
    return translate("We removed your YouTube account information on this computer.");
}

} // namespace uplark
