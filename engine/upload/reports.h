#pragma once

namespace uplark {

// What an upload reports to the front end that drives it.

// The steps of an upload that the user is shown.
enum class UploadStep {
    Connecting,       // to the site, for the login
    LoggingIn,        // the login is through; the upload page is fetched
    Uploading,        // the upload form has come; the file post follows
    PreparingAddress, // the whole file has gone out; the video id is awaited
};

// Why an upload stopped before its watch address.
enum class UploadFailure {
    AccountRejected,      // the site refused the account
    TooManyLoginFailures, // the site refused the login after too many failures
    ConnectionError,      // a connection of the chain, or the text conversion, failed
    UnreadableFile,       // the file could not be read for the post
    InvalidHost,          // the upload form's address names no host
    NoVideoId,            // the upload server's answer carries no usable video id
    NotStored,            // the upload server answered with a 5xx status
};

} // namespace uplark
