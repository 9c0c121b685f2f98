#include "engine/protocol/uploadresult.h"

#include "engine/protocol/markers.h"

#include <QByteArrayList>

namespace uplark {

using namespace Qt::StringLiterals;

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// One answer's head from `begin`: its status (nothing while the status is
// not complete, NoStatus when it is not an HTTP status line) and where the
// head ends (-1 while it has not).
struct Head
{
    std::optional<int> status;
    qsizetype begin = 0;
    qsizetype end = -1;
};

Head headAt(const QByteArray &start, qsizetype begin)
{
    static const QByteArray Http = QByteArrayLiteral("HTTP/");
    const QByteArrayView text = QByteArrayView(start).sliced(begin);
    Head head;
    head.begin = begin;
    if (!text.startsWith(Http)) {
        if (!Http.startsWith(text))
            head.status = NoStatus;
        return head;
    }
    const qsizetype space = text.indexOf(' ');
    const qsizetype lineEnd = text.indexOf('\n');
    if (space < 0 || (lineEnd >= 0 && lineEnd < space)) {
        if (lineEnd >= 0)
            head.status = NoStatus;
        return head;
    }
    // The three digits and the character after them.
    if (text.size() < space + 5)
        return head;
    const QByteArrayView code = text.sliced(space + 1, 3);
    const char after = text.at(space + 4);
    const bool valid = isDigit(code[0]) && isDigit(code[1]) && isDigit(code[2])
                       && (after == ' ' || after == '\r' || after == '\n');
    head.status = valid ? code.toInt() : NoStatus;
    const qsizetype end = text.indexOf("\r\n\r\n");
    head.end = end < 0 ? -1 : begin + end + 4;
    return head;
}

// The final answer's head: interim 1xx answers, which have no body, passed over.
Head finalHead(const QByteArray &start)
{
    Head head = headAt(start, 0);
    while (head.status && *head.status >= 100 && *head.status < 200) {
        // The final status is not known before the interim head has ended.
        if (head.end < 0)
            return Head{std::nullopt, head.begin, -1};
        head = headAt(start, head.end);
    }
    return head;
}

// Where a body in chunks from `at` ends, its last chunk and its trailer
// included, once all of that is in `start`; nothing before that, and for
// chunks that are not well formed.
std::optional<qint64> chunkedEnd(const QByteArray &start, qsizetype at)
{
    for (;;) {
        const qsizetype lineEnd = start.indexOf("\r\n", at);
        if (lineEnd < 0)
            return std::nullopt;
        QByteArray sizeText = start.mid(at, lineEnd - at);
        if (const qsizetype extension = sizeText.indexOf(';'); extension >= 0)
            sizeText.truncate(extension);
        sizeText = sizeText.trimmed();
        bool ok = !sizeText.isEmpty() && sizeText.size() <= 8;
        for (const char c : sizeText)
            ok = ok && isHexDigit(c);
        if (!ok)
            return std::nullopt;
        const qint64 size = sizeText.toLongLong(nullptr, 16);
        at = lineEnd + 2;
        if (size == 0) {
            // The trailer's lines, up to an empty one.
            for (;;) {
                const qsizetype end = start.indexOf("\r\n", at);
                if (end < 0)
                    return std::nullopt;
                if (end == at)
                    return end + 2;
                at = end + 2;
            }
        }
        if (start.size() < at + size + 2 || start.mid(at + size, 2) != "\r\n")
            return std::nullopt;
        at += size + 2;
    }
}

} // namespace

std::optional<QByteArray> scanVideoId(const QByteArray &answer, bool ended)
{
    return completeBetween(answer, QByteArrayLiteral("video_id="), QByteArrayLiteral("&"), ended);
}

std::optional<int> answerStatus(const QByteArray &start)
{
    return finalHead(start).status;
}

std::optional<qint64> answerLength(const QByteArray &start)
{
    const Head head = finalHead(start);
    if (!head.status || *head.status == NoStatus || head.end < 0)
        return std::nullopt;
    std::optional<qint64> length;
    const QByteArray lines = start.mid(head.begin, head.end - head.begin);
    for (const QByteArray &line : lines.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        // A body in chunks says its end itself; it wins over a length.
        if (name == "transfer-encoding")
            return value.toLower().endsWith("chunked") ? chunkedEnd(start, head.end) : std::nullopt;
        if (name == "content-length") {
            bool ok = !value.isEmpty() && value.size() <= 15;
            for (const char c : value)
                ok = ok && isDigit(c);
            if (!ok)
                return std::nullopt;
            length = value.toLongLong();
        }
    }
    if (!length)
        return std::nullopt;
    return head.end + *length;
}

UploadVerdict scanUploadAnswer(const ReceivedAnswer &answer, bool closed)
{
    UploadVerdict verdict;
    // A connection closed before any answer has given none.
    if (answer.total() == 0)
        return verdict;
    const std::optional<int> status = answerStatus(answer.start());
    if (!status && !closed)
        return verdict;
    verdict.status = status.value_or(NoStatus);
    if (verdict.status >= 500 && verdict.status <= 599) {
        verdict.kind = UploadVerdict::Kind::ServerError;
        return verdict;
    }
    const std::optional<qint64> length = answerLength(answer.start());
    const bool whole = length ? answer.total() >= *length : closed;
    // Bytes past the answer's length are not the answer's.
    QByteArray text = answer.text();
    if (length) {
        const qint64 end = *length - (answer.total() - text.size());
        if (end < text.size())
            text.truncate(qsizetype(qMax<qint64>(0, end)));
    }
    if (const std::optional<QByteArray> id = scanVideoId(text, whole)) {
        verdict.kind = UploadVerdict::Kind::VideoId;
        verdict.videoId = *id;
    } else if (whole) {
        verdict.kind = UploadVerdict::Kind::NoVideoId;
    }
    return verdict;
}

bool isAddressSafe(const QByteArray &id)
{
    static const QByteArray Allowed = QByteArrayLiteral("-._~!$'()*+,;=:@/?");
    if (id.isEmpty())
        return false;
    for (qsizetype i = 0; i < id.size(); ++i) {
        const char c = id.at(i);
        if (c == '%') {
            if (i + 2 >= id.size() || !isHexDigit(id.at(i + 1)) || !isHexDigit(id.at(i + 2)))
                return false;
            i += 2;
        } else if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c)
                     || Allowed.contains(c))) {
            return false;
        }
    }
    return true;
}

QString watchAddress(const QByteArray &id, const SiteAddress &site)
{
    // One character per byte, as the answer gave it.
    return QString::fromLatin1(site.schemePrefix() + site.authority) + u"/watch?v="_s
           + QString::fromLatin1(id);
}

QString termsAddress(const SiteAddress &site)
{
    return QString::fromLatin1(site.schemePrefix() + site.authority) + u"/t/terms"_s;
}

} // namespace uplark
