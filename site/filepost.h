#pragma once

#include "site/uploadtarget.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace uplark {

// The file post to the upload server: one multipart request that carries the
// video information, the upload form's addresser value and the file.

// The texts of the post, inserted as they are.
struct FilePostFields
{
    QByteArray tags;        // videotags
    QByteArray title;       // videotitle
    QByteArray description; // videodscr
    QByteArray category;    // videocat
    QByteArray addresser;   // addresser
    QByteArray loginCookie; // logininfo
};

// A request laid out for a file of a given size: header lines, form parts,
// room for the file's bytes at `fileOffset`, the closing boundary. The buffer
// is allocated once at its final size; the room is left for the file to be
// read straight into.
struct FilePost
{
    QByteArray request;
    qsizetype fileOffset = 0;
    qint64 fileSize = 0;

    char *fileRoom() { return request.data() + fileOffset; }
};

// `"` + the path's bytes + `"`, as the file part names the file.
QByteArray QuotedPath(const QString &path);

// Lays out the request for a file of `fileSize` bytes; the file's bytes are
// not filled in. This is the one place that writes the post's parts.
FilePost LayOutFilePost(qint64 fileSize, const URLParts &target, const QByteArray &quotedPath,
                        const FilePostFields &fields);

// The whole request for file content held in memory.
QByteArray BuildFilePost(const QByteArray &fileBytes, const URLParts &target,
                         const QByteArray &quotedPath, const FilePostFields &fields);

// Reads the whole file at `path` straight into memory the caller provides:
// opens it, takes its length, asks `room(length)` for space of that many bytes
// and reads exactly that many bytes into it. False, with the system's
// description of the failure in `error`, when the file cannot be opened,
// measured or read whole.
bool ReadWholeFile(const QString &path, const std::function<char *(qint64 length)> &room,
                   QString *error);

// The whole request for the file at `path`, read from disk straight into its
// place. Empty, with `error` set, when the file cannot be read.
QByteArray ReadFilePost(const QString &path, const URLParts &target, const FilePostFields &fields,
                        QString *error);

} // namespace uplark
