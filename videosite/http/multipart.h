#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace videosite {

// One part of a multipart/form-data body.
struct MultipartPart
{
    QByteArray name;
    QByteArray fileName;
    QByteArray contentType;
    // The value of a field; for a file part only when no file sink was set.
    QByteArray value;
    // Whether the part has a body and its Content-Disposition names a file.
    bool isFile = false;
    // False for a part that has a header line and nothing else: no empty line
    // and no value before the next boundary line.
    bool hasBody = true;
};

// The boundary parameter of a multipart Content-Type, quoted or not; the
// unquoted form runs to the next ";" so "=" and "$" belong to it. Empty when
// there is none.
QByteArray multipartBoundary(QByteArrayView contentType);

// Reads a multipart/form-data body as it arrives, piece by piece.
//
// It is tolerant of what hand-written requests contain: parts made of a header
// line alone, unquoted boundaries with "=" and "$", file names that are full
// local paths with spaces and backslashes. A part whose Content-Disposition
// carries a filename is the file part: it runs to the closing delimiter at the
// very end of the body, so the file's bytes may hold CR, LF, NUL and even the
// boundary text. The file part must therefore be the last part. A part made
// of a header line alone is a field without value, even if it names a file. Its bytes go
// to the file sink as they arrive (all but the last few, which are held back
// until the end shows where the closing delimiter starts).
class MultipartParser
{
public:
    // Called once the file part's header is read, with the parts read before
    // it; returning false stops the parse.
    using FileStart = std::function<bool(const MultipartPart &filePart)>;
    // Called with the file's bytes in order; returning false stops the parse.
    using FileData = std::function<bool(QByteArrayView bytes)>;

    explicit MultipartParser(const QByteArray &boundary);

    // Without a sink the file's bytes are collected in the part's value.
    void setFileSink(FileStart onStart, FileData onData);

    bool feed(QByteArrayView data);
    // Ends the body; false when it was not a complete multipart body.
    bool finish();

    bool failed() const { return m_state == State::Failed; }
    QString errorString() const { return m_error; }
    const QList<MultipartPart> &parts() const { return m_parts; }
    // The value of the first field called name that is not a file, or a null array.
    QByteArray fieldValue(QByteArrayView name) const;
    const MultipartPart *filePart() const;
    qint64 fileSize() const { return m_fileSize; }

    // What the fields may hold in memory, one and all together. The site
    // takes at most 1 MiB of form in the step before the file post, so the
    // post's fields never need more.
    static constexpr qsizetype MaxFieldSize = 1024 * 1024;
    static constexpr qsizetype MaxFieldBytes = 1024 * 1024;
    static constexpr qsizetype MaxPartHeaderSize = 16 * 1024;
    static constexpr int MaxParts = 1000;

private:
    enum class State { Preamble, AfterDelimiter, PartContent, FileContent, Done, Failed };

    bool process();
    bool beginFile(qsizetype headerEnd);
    bool feedFile(QByteArrayView data);
    bool emitFile(QByteArrayView data);
    bool addPart(MultipartPart part);
    bool fail(const QString &error);

    QByteArray m_delimiter; // CR LF "--" boundary
    QByteArray m_closing;   // CR LF "--" boundary "--"
    State m_state = State::Preamble;
    QByteArray m_buffer;
    qsizetype m_scanFrom = 0;
    qsizetype m_headerEnd = -1;
    MultipartPart m_current;
    QList<MultipartPart> m_parts;
    qsizetype m_fieldBytes = 0;
    QByteArray m_fileHold;
    qint64 m_fileSize = 0;
    FileStart m_onFileStart;
    FileData m_onFileData;
    QString m_error;
};

// Parses a whole body held in memory; file bytes end up in the file part's
// value. Empty when the body is not valid multipart.
std::optional<QList<MultipartPart>> parseMultipart(QByteArrayView body, const QByteArray &boundary);

} // namespace videosite
