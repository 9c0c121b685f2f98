#pragma once

#include "videosite/site/store.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <utility>

namespace videosite {

// Escapes &, <, >, " and ' so that user text shows as text in pages and
// attribute values.
QString htmlEscape(QStringView text);

// The category ids the upload form offers, with their names, in menu order.
const QList<std::pair<QByteArray, QString>> &videoCategories();
// The name of a category id; unknown ids show as they are.
QString categoryName(QByteArrayView id);

// The site's pages as UTF-8 HTML. The pages that answer the uploader's
// exchanges are kept small and carry their markers early, so that each
// arrives in the first piece the client reads.
namespace Pages {

struct UploadDetails
{
    QByteArray title;
    QByteArray description;
    QByteArray category;
    QByteArray tags;
};

QByteArray error(int status);
QByteArray home(const QList<Video> &videos, bool signedIn);
QByteArray watch(const Video &video, bool signedIn);
QByteArray myVideos(const QString &user, const QList<Video> &videos);
QByteArray signInForMyVideos();
QByteArray terms(bool signedIn);
QByteArray account(const QString &user, int videoCount);

// The sign-in form, with an optional message above it (plain text).
QByteArray signIn(const QString &message, const QByteArray &next);
// The short page sent with the login cookie.
QByteArray signedIn(const QByteArray &next);
QByteArray signedOut();

// The first upload step: the page script carries the anti-forgery token.
QByteArray uploadStart(const QByteArray &xsrfToken, const Video *justUploaded);
QByteArray signInToUpload();
// The second upload step: the form that goes to the upload server, with the
// one-time ticket in its "addresser" field.
QByteArray uploadForm(const QByteArray &action, const QByteArray &ticket,
                      const UploadDetails &details);
QByteArray uploadDone(const QByteArray &resultAddress, const QByteArray &watchAddress);
QByteArray uploadRefused(const QString &reason, const QByteArray &uploadPageAddress);

QByteArray stylesheet();

} // namespace Pages

} // namespace videosite
