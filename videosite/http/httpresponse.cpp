#include "videosite/http/httpresponse.h"

#include "videosite/http/formencoding.h"

#include <QDateTime>
#include <QLocale>

using namespace Qt::StringLiterals;

namespace videosite {

void HttpResponse::setHeader(const QByteArray &name, const QByteArray &value)
{
    headers.removeIf([&name](const auto &field) { return equalsIgnoringCase(field.first, name); });
    headers.append({name, value});
}

void HttpResponse::addHeader(const QByteArray &name, const QByteArray &value)
{
    headers.append({name, value});
}

HttpResponse HttpResponse::html(int status, const QByteArray &page)
{
    HttpResponse response;
    response.status = status;
    response.addHeader("Content-Type", "text/html; charset=utf-8");
    response.body = page;
    return response;
}

HttpResponse HttpResponse::plainText(int status, const QByteArray &text)
{
    HttpResponse response;
    response.status = status;
    response.addHeader("Content-Type", "text/plain; charset=utf-8");
    response.body = text;
    return response;
}

HttpResponse HttpResponse::redirect(int status, const QByteArray &location, const QByteArray &page)
{
    HttpResponse response = html(status, page);
    response.addHeader("Location", location);
    return response;
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 206:
        return "Partial Content";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 411:
        return "Length Required";
    case 413:
        return "Content Too Large";
    case 416:
        return "Range Not Satisfiable";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    case 505:
        return "HTTP Version Not Supported";
    case 507:
        return "Insufficient Storage";
    default:
        return "Status";
    }
}

QByteArray serializeResponseHead(const HttpResponse &response, bool keepAlive)
{
    QByteArray head;
    head.reserve(256);
    head += "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status)
            + "\r\n";
    for (const auto &[name, value] : response.headers)
        head += name + ": " + value + "\r\n";
    const qint64 length = response.filePath.isEmpty() ? response.body.size() : response.fileLength;
    head += "Content-Length: " + QByteArray::number(length) + "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    head += "Date: "
            + QLocale::c()
                  .toString(QDateTime::currentDateTimeUtc(), u"ddd, dd MMM yyyy hh:mm:ss 'GMT'"_s)
                  .toLatin1()
            + "\r\n\r\n";
    return head;
}

QByteArray serializeResponse(const HttpResponse &response, bool keepAlive, bool headOnly)
{
    QByteArray wire = serializeResponseHead(response, keepAlive);
    if (!headOnly)
        wire += response.body;
    return wire;
}

} // namespace videosite
