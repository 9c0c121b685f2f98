#include "videosite/http/httprequest.h"

#include "videosite/http/formencoding.h"

namespace videosite {

namespace {

bool isTokenChar(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (!isTokenChar(c))
            return false;
    }
    return true;
}

QByteArrayView trimmedSpaces(QByteArrayView text)
{
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t'))
        text.chop(1);
    return text;
}

bool hasToken(QByteArrayView list, QByteArrayView token)
{
    qsizetype start = 0;
    while (start <= list.size()) {
        qsizetype end = list.indexOf(',', start);
        if (end < 0)
            end = list.size();
        if (equalsIgnoringCase(trimmedSpaces(list.sliced(start, end - start)), token))
            return true;
        start = end + 1;
    }
    return false;
}

RequestHeadResult invalid(int status, qsizetype consumed = 0)
{
    RequestHeadResult result;
    result.status = RequestHeadResult::Status::Invalid;
    result.errorStatus = status;
    result.consumed = consumed;
    return result;
}

} // namespace

QByteArray HttpRequest::header(QByteArrayView name) const
{
    for (const auto &[fieldName, value] : headers) {
        if (equalsIgnoringCase(fieldName, name))
            return value;
    }
    return {};
}

bool HttpRequest::hasHeader(QByteArrayView name) const
{
    return !header(name).isNull();
}

QByteArray HttpRequest::cookie(QByteArrayView name) const
{
    for (const auto &[fieldName, value] : headers) {
        if (equalsIgnoringCase(fieldName, "Cookie")) {
            const QByteArray found = cookieValue(value, name);
            if (!found.isNull())
                return found;
        }
    }
    return {};
}

QByteArray HttpRequest::queryItem(QByteArrayView name) const
{
    return formValue(parseUrlEncoded(query), name);
}

bool HttpRequest::wantsKeepAlive() const
{
    const QByteArray connection = header("Connection");
    if (hasToken(connection, "close"))
        return false;
    return minorVersion >= 1 || hasToken(connection, "keep-alive");
}

bool HttpRequest::expectsContinue() const
{
    return minorVersion >= 1 && equalsIgnoringCase(header("Expect"), "100-continue");
}

RequestHeadResult parseRequestHead(QByteArrayView buffer, qsizetype maxHeadSize)
{
    qsizetype start = 0;
    while (start < buffer.size() && (buffer.at(start) == '\r' || buffer.at(start) == '\n'))
        ++start;

    // Collect the lines up to the empty line that ends the head.
    QList<QByteArrayView> lines;
    qsizetype lineStart = start;
    qsizetype headEnd = -1;
    while (headEnd < 0) {
        const qsizetype newline = buffer.indexOf('\n', lineStart);
        if (newline < 0) {
            if (buffer.size() - start > maxHeadSize)
                return invalid(431);
            RequestHeadResult incomplete;
            incomplete.consumed = start;
            return incomplete;
        }
        if (newline + 1 - start > maxHeadSize)
            return invalid(431);
        QByteArrayView line = buffer.sliced(lineStart, newline - lineStart);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            headEnd = newline + 1;
        else
            lines.append(line);
        lineStart = newline + 1;
    }

    if (lines.isEmpty()) // cannot happen: blank lines were skipped above
        return invalid(400, headEnd);

    RequestHeadResult result;
    result.consumed = headEnd;
    HttpRequest &request = result.request;

    // Request line: method, target and version separated by single spaces.
    const QByteArrayView requestLine = lines.first();
    const qsizetype firstSpace = requestLine.indexOf(' ');
    const qsizetype lastSpace = requestLine.lastIndexOf(' ');
    if (firstSpace <= 0 || lastSpace <= firstSpace + 1)
        return invalid(400, headEnd);
    const QByteArrayView method = requestLine.first(firstSpace);
    const QByteArrayView target = requestLine.sliced(firstSpace + 1, lastSpace - firstSpace - 1);
    const QByteArrayView version = requestLine.sliced(lastSpace + 1);
    if (!isToken(method))
        return invalid(400, headEnd);
    for (const char c : target) {
        if (uchar(c) <= 0x20 || uchar(c) == 0x7f)
            return invalid(400, headEnd);
    }
    if (version == "HTTP/1.1")
        request.minorVersion = 1;
    else if (version == "HTTP/1.0")
        request.minorVersion = 0;
    else if (version.startsWith("HTTP/"))
        return invalid(505, headEnd);
    else
        return invalid(400, headEnd);

    request.method = method.toByteArray();
    request.target = target.toByteArray();
    QByteArrayView pathAndQuery = target;
    // Absolute form ("http://host/path"): only the path and query count.
    if (pathAndQuery.startsWith("http://") || pathAndQuery.startsWith("https://")) {
        const qsizetype authority = pathAndQuery.indexOf("//") + 2;
        const qsizetype slash = pathAndQuery.indexOf('/', authority);
        pathAndQuery = slash < 0 ? QByteArrayView("/") : pathAndQuery.sliced(slash);
    }
    const qsizetype question = pathAndQuery.indexOf('?');
    request.path = (question < 0 ? pathAndQuery : pathAndQuery.first(question)).toByteArray();
    request.query = question < 0 ? QByteArray() : pathAndQuery.sliced(question + 1).toByteArray();

    // Header fields.
    QByteArray contentLength;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArrayView line = lines.at(i);
        if (line.front() == ' ' || line.front() == '\t')
            return invalid(400, headEnd); // obsolete line folding
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !isToken(line.first(colon)))
            return invalid(400, headEnd);
        const QByteArray name = line.first(colon).toByteArray();
        const QByteArray value = trimmedSpaces(line.sliced(colon + 1)).toByteArray();
        if (equalsIgnoringCase(name, "Content-Length")) {
            if (!contentLength.isNull() && contentLength != value)
                return invalid(400, headEnd);
            contentLength = value;
        } else if (equalsIgnoringCase(name, "Transfer-Encoding")) {
            return invalid(411, headEnd);
        }
        request.headers.append({name, value});
    }

    if (!contentLength.isNull()) {
        if (contentLength.isEmpty() || contentLength.size() > 18)
            return invalid(contentLength.size() > 18 ? 413 : 400, headEnd);
        for (const char c : std::as_const(contentLength)) {
            if (c < '0' || c > '9')
                return invalid(400, headEnd);
        }
        request.contentLength = contentLength.toLongLong();
    }

    result.status = RequestHeadResult::Status::Complete;
    return result;
}

} // namespace videosite
