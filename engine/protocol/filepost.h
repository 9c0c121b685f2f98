#pragma once

#include "engine/net/sendsource.h"
#include "engine/protocol/uploadtarget.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <memory>

namespace uplark {

// The file post to the upload server: one multipart request that carries the
// video information, the upload form's addresser value and the file.

// The texts of the post, inserted as they are.
struct FilePostFields
{
    QByteArray tags;
    QByteArray title;
    QByteArray description;
    QByteArray category;
    QByteArray addresser;
    QByteArray loginCookie;
};

// `"` + the path's bytes + `"`, as the file part names the file.
QByteArray quotedPath(const QString &path);

// The request up to the file's bytes, for a file of `fileSize` bytes: header
// lines (Content-Length counting the whole body), the form parts and the file
// part's header. This is the one place that writes the post's parts.
QByteArray filePostHead(qint64 fileSize, const UrlParts &target, const QByteArray &quotedPath,
                        const FilePostFields &fields);

// The whole request for file content held in memory (the streamed post
// below produces the same bytes).
QByteArray buildFilePost(const QByteArray &fileBytes, const UrlParts &target,
                         const QByteArray &quotedPath, const FilePostFields &fields);

// The request for a file on disk, produced as it is sent: the head, then the
// file read one slice per call, then the closing. The same bytes as
// buildFilePost with the file's content. The file is opened and measured by
// open(); its bytes are read only by next(), so at most one slice of it is
// held at a time.
//
// The file must keep the length it had when it was opened: a read that
// fails, a file that ends early, and a file that has bytes beyond that
// length (checked with the last slice, before it is produced) are failures,
// so that no request goes out whose body disagrees with its Content-Length.
class FilePostSource : public SendSource
{
public:
    // Opens the file at `path`. Null, with the system's description in
    // `error`, when it cannot be opened.
    static std::unique_ptr<FilePostSource> open(const QString &path, const QByteArray &quotedPath,
                                                const UrlParts &target,
                                                const FilePostFields &fields, QString *error);

    qint64 fileSize() const { return m_fileSize; }
    // Bytes of the whole request.
    qint64 size() const { return m_head.size() + m_fileSize + m_closing.size(); }

    qint64 remaining() const override;
    QByteArrayView next(qint64 maxBytes) override;
    QString errorString() const override { return m_error; }

private:
    FilePostSource() = default;
    QByteArrayView failWith(const QString &error);

    QFile m_file;
    qint64 m_fileSize = 0;
    QByteArray m_head;
    QByteArray m_closing;
    qsizetype m_headDone = 0;    // bytes of the head produced
    qint64 m_fileDone = 0;       // bytes of the file produced
    bool m_endChecked = false;   // the file was found to end at its length
    qsizetype m_closingDone = 0; // bytes of the closing produced
    QByteArray m_slice;          // the latest slice of the file
    QString m_error;
};

} // namespace uplark
