#pragma once

#include "clientwire.h"

#include <QByteArray>

class SiteProcess;

// Plain-socket HTTP for the tests: what the server sends, byte for byte.
namespace RawHttp {

// Connects to the loopback port, writes the request, waits for the answer's
// first piece and returns what has arrived by then (the uploader reads no
// more before it looks for its marker).
QByteArray firstRead(quint16 port, const QByteArray &request, int timeoutMs = 30000);

struct Answer
{
    int status = 0;
    QByteArray head;
    QByteArray body;
    QByteArray header(const QByteArray &name) const;
};
// Sends a request that asks for "Connection: close" and reads until the
// server closes.
Answer fetch(quint16 port, const QByteArray &request);
Answer get(quint16 port, const QByteArray &path, const QByteArray &cookiePair = {},
           const QByteArray &extraHeaders = {}, const QByteArray &method = "GET");
Answer parse(const QByteArray &wire);

} // namespace RawHttp

// The uploader's chain step by step against a running site.
namespace UploadSteps {

// The login cookie pair, or empty when the login was refused.
QByteArray login(const SiteProcess &site, const QByteArray &user, const QByteArray &password);

struct UploadForm
{
    QByteArray ticket;
    QByteArray action;
};
UploadForm uploadForm(const SiteProcess &site, const QByteArray &cookiePair);

// Sends the file post and returns the first piece of the answer.
QByteArray post(const SiteProcess &site, const ClientWire::FilePost &post, const QByteArray &cookiePair);

// Login, upload form and file post; returns the new video's id or empty.
QByteArray uploadVideo(const SiteProcess &site, const QByteArray &cookiePair, ClientWire::FilePost post);

} // namespace UploadSteps
