#include "site/filepost.h"

#include "site/wire.h"

#include <QFile>

#include <array>
#include <cstring>
#include <utility>

namespace uplark {

using namespace Qt::StringLiterals;

namespace {

// The form parts of the body, up to and including the file part's header
// and its empty line.
QByteArray FormParts(const QByteArray &quotedPath, const FilePostFields &fields)
{
    struct Part
    {
        const char *name;
        const QByteArray *value; // nullptr: header line only
    };
    const QByteArray empty;
    const QByteArray submit = QByteArrayLiteral("myvideo_submit");
    const QByteArray en = QByteArrayLiteral("EN");
    const QByteArray pub = QByteArrayLiteral("public");
    const QByteArray zero = QByteArrayLiteral("0");
    const QByteArray yes = QByteArrayLiteral("Yes");
    const std::array<Part, 21> parts{{
        {"field_command", &submit},
        {"field_myvideo_keywords", &fields.tags},
        {"field_myvideo_title", &fields.title},
        {"field_myvideo_descr", &fields.description},
        {"field_myvideo_categories", &fields.category},
        {"language", &en},
        {"field_privacy", &pub},
        {"field_private_share_entities", nullptr},
        {"addresser", &fields.addresser},
        {"contact", &empty},
        {"field_date_day", &zero},
        {"field_date_yr", &zero},
        {"field_date_mon", &zero},
        {"location", &empty},
        {"allow_comments", &yes},
        {"allow_comment_ratings", &yes},
        {"allow_responses", &yes},
        {"allow_embedding", &yes},
        {"allow_offweb", nullptr},
        {"allow_ratings", &yes},
        {"allow_syndication", &yes},
    }};
    const QByteArray disposition = QByteArrayLiteral("Content-Disposition: form-data; name=\"");
    QByteArray form = "--" + Boundary + CRLF;
    for (const Part &part : parts) {
        form += disposition;
        form += part.name;
        form += '"' + CRLF;
        if (part.value)
            form += CRLF + *part.value;
        form += CRLF + "--" + Boundary + CRLF;
    }
    form += disposition + "field_uploadfile\"; filename=" + quotedPath + CRLF;
    form += QByteArrayLiteral("Content-Type: video/x-ms-wmv") + CRLF;
    form += CRLF;
    return form;
}

const QByteArray Closing = CRLF + "--" + Boundary + "--";

} // namespace

QByteArray QuotedPath(const QString &path)
{
    return '"' + QFile::encodeName(path) + '"';
}

FilePost LayOutFilePost(qint64 fileSize, const URLParts &target, const QByteArray &quotedPath,
                        const FilePostFields &fields)
{
    const QByteArray form = FormParts(quotedPath, fields);
    const qint64 bodyLength = form.size() + fileSize + Closing.size();

    QByteArray header;
    header += QByteArrayLiteral("POST /my_videos_post HTTP/1.1") + CRLF;
    header += QByteArrayLiteral("Accept: */*") + CRLF;
    header += UserAgentLine() + CRLF;
    header += QByteArrayLiteral("Host: ") + target.Host + CRLF;
    header += QByteArrayLiteral("Content-Type: multipart/form-data; boundary=") + Boundary + CRLF;
    header += QByteArrayLiteral("Content-Length: ") + QByteArray::number(bodyLength) + CRLF;
    header += QByteArrayLiteral("Cookie: ") + fields.loginCookie + CRLF;
    header += QByteArrayLiteral("Connection: Keep-Alive") + CRLF;
    header += CRLF;

    FilePost post;
    post.fileSize = fileSize;
    post.request.reserve(header.size() + bodyLength);
    post.request += header;
    post.request += form;
    post.fileOffset = post.request.size();
    // Within the reserved capacity: no reallocation, the room stays unfilled.
    post.request.resize(post.fileOffset + fileSize);
    post.request += Closing;
    return post;
}

QByteArray BuildFilePost(const QByteArray &fileBytes, const URLParts &target,
                         const QByteArray &quotedPath, const FilePostFields &fields)
{
    FilePost post = LayOutFilePost(fileBytes.size(), target, quotedPath, fields);
    if (!fileBytes.isEmpty())
        std::memcpy(post.fileRoom(), fileBytes.constData(), size_t(fileBytes.size()));
    return post.request;
}

bool ReadWholeFile(const QString &path, const std::function<char *(qint64 length)> &room,
                   QString *error)
{
    QFile file(path);
    // Unbuffered: the bytes go from the file straight into the caller's room.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return false;
    }
    const qint64 length = file.size();
    char *into = room(length);
    qint64 done = 0;
    while (done < length) {
        const qint64 n = file.read(into + done, length - done);
        if (n < 0) {
            *error = file.errorString();
            return false;
        }
        if (n == 0) {
            *error = u"The file became shorter while it was being read."_s;
            return false;
        }
        done += n;
    }
    return true;
}

QByteArray ReadFilePost(const QString &path, const URLParts &target, const FilePostFields &fields,
                        QString *error)
{
    FilePost post;
    const QByteArray quoted = QuotedPath(path);
    const bool read = ReadWholeFile(
        path,
        [&](qint64 length) {
            post = LayOutFilePost(length, target, quoted, fields);
            return post.fileRoom();
        },
        error);
    return read ? std::move(post.request) : QByteArray();
}

} // namespace uplark
