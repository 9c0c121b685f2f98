#include "engine/protocol/filepost.h"

#include "engine/protocol/wire.h"

#include <QFile>

#include <array>

namespace uplark {

using namespace Qt::StringLiterals;

namespace {

// The form parts of the body, up to and including the file part's header
// and its empty line.
QByteArray formParts(const QByteArray &quotedPath, const FilePostFields &fields)
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

QByteArray quotedPath(const QString &path)
{
    return '"' + QFile::encodeName(path) + '"';
}

QByteArray filePostHead(qint64 fileSize, const UrlParts &target, const QByteArray &quotedPath,
                        const FilePostFields &fields)
{
    const QByteArray form = formParts(quotedPath, fields);
    const qint64 bodyLength = form.size() + fileSize + Closing.size();

    QByteArray head;
    head += QByteArrayLiteral("POST /my_videos_post HTTP/1.1") + CRLF;
    head += QByteArrayLiteral("Accept: */*") + CRLF;
    head += userAgentLine() + CRLF;
    head += QByteArrayLiteral("Host: ") + target.host + CRLF;
    head += QByteArrayLiteral("Content-Type: multipart/form-data; boundary=") + Boundary + CRLF;
    head += QByteArrayLiteral("Content-Length: ") + QByteArray::number(bodyLength) + CRLF;
    head += QByteArrayLiteral("Cookie: ") + fields.loginCookie + CRLF;
    head += QByteArrayLiteral("Connection: Keep-Alive") + CRLF;
    head += CRLF;
    head += form;
    return head;
}

QByteArray buildFilePost(const QByteArray &fileBytes, const UrlParts &target,
                         const QByteArray &quotedPath, const FilePostFields &fields)
{
    return filePostHead(fileBytes.size(), target, quotedPath, fields) + fileBytes + Closing;
}

// ---- The streamed post ----

std::unique_ptr<FilePostSource> FilePostSource::open(const QString &path,
                                                     const QByteArray &quotedPath,
                                                     const UrlParts &target,
                                                     const FilePostFields &fields, QString *error)
{
    std::unique_ptr<FilePostSource> post(new FilePostSource);
    post->m_file.setFileName(path);
    // Unbuffered: each slice goes from the file straight into its buffer.
    if (!post->m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        *error = post->m_file.errorString();
        return nullptr;
    }
    post->m_fileSize = post->m_file.size();
    post->m_head = filePostHead(post->m_fileSize, target, quotedPath, fields);
    post->m_closing = Closing;
    return post;
}

qint64 FilePostSource::remaining() const
{
    return (m_head.size() - m_headDone) + (m_fileSize - m_fileDone)
           + (m_closing.size() - m_closingDone);
}

QByteArrayView FilePostSource::failWith(const QString &error)
{
    m_error = error;
    m_file.close();
    return {};
}

QByteArrayView FilePostSource::next(qint64 maxBytes)
{
    if (!m_error.isEmpty() || maxBytes <= 0)
        return {};
    if (m_headDone < m_head.size()) {
        const qsizetype n = qsizetype(qMin<qint64>(maxBytes, m_head.size() - m_headDone));
        const QByteArrayView slice(m_head.constData() + m_headDone, n);
        m_headDone += n;
        return slice;
    }
    if (!m_endChecked) {
        const qint64 want = qMin(maxBytes, m_fileSize - m_fileDone);
        // With the last slice one byte more is asked for: a file that has
        // grown gives it, and the slice is not produced.
        const bool last = m_fileDone + want == m_fileSize;
        const qint64 ask = want + (last ? 1 : 0);
        if (m_slice.size() < ask)
            m_slice.resize(ask);
        qint64 got = 0;
        while (got < ask) {
            const qint64 n = m_file.read(m_slice.data() + got, ask - got);
            if (n < 0)
                return failWith(m_file.errorString());
            if (n == 0)
                break;
            got += n;
        }
        if (got < want)
            return failWith(u"The file became shorter while it was being sent."_s);
        if (got > want)
            return failWith(u"The file became longer while it was being sent."_s);
        m_fileDone += want;
        if (last) {
            m_endChecked = true;
            m_file.close();
        }
        if (want > 0)
            return QByteArrayView(m_slice.constData(), want);
    }
    const qsizetype n = qsizetype(qMin<qint64>(maxBytes, m_closing.size() - m_closingDone));
    const QByteArrayView slice(m_closing.constData() + m_closingDone, n);
    m_closingDone += n;
    return slice;
}

} // namespace uplark
