#include "videosite/http/multipart.h"

#include "videosite/http/formencoding.h"

using namespace Qt::StringLiterals;

namespace videosite {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmedSpaces(QByteArrayView text)
{
    while (!text.isEmpty() && isSpace(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isSpace(text.back()))
        text.chop(1);
    return text;
}

// Reads the parameters of a Content-Disposition value such as
// form-data; name="a"; filename="C:\My Videos\x.wmv". A quoted value ends at a
// quote followed by ";" or the end of the line, so quotes inside a file name
// survive; backslashes are kept as they are (file paths, not escapes).
void readDisposition(QByteArrayView value, MultipartPart &part)
{
    qsizetype pos = value.indexOf(';');
    while (pos >= 0 && pos < value.size()) {
        while (pos < value.size() && (value.at(pos) == ';' || isSpace(value.at(pos))))
            ++pos;
        const qsizetype eq = value.indexOf('=', pos);
        if (eq < 0)
            return;
        const QByteArrayView key = trimmedSpaces(value.sliced(pos, eq - pos));
        qsizetype start = eq + 1;
        while (start < value.size() && isSpace(value.at(start)))
            ++start;
        QByteArrayView text;
        qsizetype next = value.size();
        if (start < value.size() && value.at(start) == '"') {
            qsizetype close = start + 1;
            qsizetype end = -1;
            while ((close = value.indexOf('"', close)) >= 0) {
                qsizetype after = close + 1;
                while (after < value.size() && isSpace(value.at(after)))
                    ++after;
                if (after == value.size() || value.at(after) == ';') {
                    end = close;
                    next = after;
                    break;
                }
                ++close;
            }
            if (end < 0)
                end = value.size(); // no closing quote: the rest of the line
            text = value.sliced(start + 1, qMax<qsizetype>(0, end - start - 1));
        } else {
            const qsizetype semicolon = value.indexOf(';', start);
            next = semicolon < 0 ? value.size() : semicolon;
            text = trimmedSpaces(value.sliced(start, next - start));
        }
        if (equalsIgnoringCase(key, "name")) {
            part.name = text.toByteArray();
        } else if (equalsIgnoringCase(key, "filename")) {
            part.fileName = text.toByteArray();
            part.isFile = true;
        }
        pos = next;
    }
}

MultipartPart readPartHeaders(QByteArrayView block)
{
    MultipartPart part;
    qsizetype start = 0;
    while (start < block.size()) {
        qsizetype end = block.indexOf('\n', start);
        if (end < 0)
            end = block.size();
        QByteArrayView line = block.sliced(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        const qsizetype colon = line.indexOf(':');
        if (colon > 0) {
            const QByteArrayView name = trimmedSpaces(line.first(colon));
            const QByteArrayView value = trimmedSpaces(line.sliced(colon + 1));
            if (equalsIgnoringCase(name, "Content-Disposition"))
                readDisposition(value, part);
            else if (equalsIgnoringCase(name, "Content-Type"))
                part.contentType = value.toByteArray();
        }
        start = end + 1;
    }
    return part;
}

} // namespace

QByteArray multipartBoundary(QByteArrayView contentType)
{
    qsizetype pos = contentType.indexOf(';');
    while (pos >= 0 && pos < contentType.size()) {
        const qsizetype next = contentType.indexOf(';', pos + 1);
        const QByteArrayView param = trimmedSpaces(
            contentType.sliced(pos + 1, (next < 0 ? contentType.size() : next) - pos - 1));
        const qsizetype eq = param.indexOf('=');
        if (eq > 0 && equalsIgnoringCase(trimmedSpaces(param.first(eq)), "boundary")) {
            QByteArrayView value = trimmedSpaces(param.sliced(eq + 1));
            if (value.startsWith('"')) {
                // A quoted boundary may hold ";": take it to its closing quote.
                const QByteArrayView rest = contentType.sliced(contentType.indexOf('"', pos) + 1);
                const qsizetype close = rest.indexOf('"');
                value = close < 0 ? rest : rest.first(close);
            }
            return value.size() <= 200 ? value.toByteArray() : QByteArray();
        }
        pos = next;
    }
    return {};
}

MultipartParser::MultipartParser(const QByteArray &boundary)
    : m_delimiter("\r\n--" + boundary)
    , m_closing("\r\n--" + boundary + "--")
{
    // The first boundary line has no CR LF before it: pretend there was one,
    // so that every delimiter looks the same.
    m_buffer = "\r\n";
    if (boundary.isEmpty())
        fail(u"no boundary"_s);
}

void MultipartParser::setFileSink(FileStart onStart, FileData onData)
{
    m_onFileStart = std::move(onStart);
    m_onFileData = std::move(onData);
}

QByteArray MultipartParser::fieldValue(QByteArrayView name) const
{
    for (const MultipartPart &part : m_parts) {
        if (!part.isFile && part.name == name)
            return part.value;
    }
    return {};
}

const MultipartPart *MultipartParser::filePart() const
{
    for (const MultipartPart &part : m_parts) {
        if (part.isFile)
            return &part;
    }
    return nullptr;
}

bool MultipartParser::fail(const QString &error)
{
    if (m_state != State::Failed) {
        m_state = State::Failed;
        m_error = error;
        m_buffer.clear();
        m_fileHold.clear();
    }
    return false;
}

bool MultipartParser::feed(QByteArrayView data)
{
    switch (m_state) {
    case State::Failed:
        return false;
    case State::Done:
        return true; // the epilogue is ignored
    case State::FileContent:
        return feedFile(data);
    default:
        m_buffer.append(data);
        return process();
    }
}

bool MultipartParser::process()
{
    for (;;) {
        switch (m_state) {
        case State::Preamble: {
            const qsizetype at = m_buffer.indexOf(m_delimiter);
            if (at < 0) {
                // Keep only what could be the start of the first delimiter.
                if (m_buffer.size() >= m_delimiter.size())
                    m_buffer.remove(0, m_buffer.size() - m_delimiter.size() + 1);
                return true;
            }
            m_buffer.remove(0, at + m_delimiter.size());
            m_state = State::AfterDelimiter;
            break;
        }
        case State::AfterDelimiter: {
            if (m_buffer.size() < 2)
                return true;
            if (m_buffer.startsWith("--")) {
                m_buffer.clear();
                m_state = State::Done;
                return true;
            }
            // The rest of the boundary line: optional blanks, then CR LF.
            // The same limit whatever the chunks: a line's length, counted to
            // its LF or to what has come so far.
            const qsizetype newline = m_buffer.indexOf('\n');
            if ((newline < 0 ? m_buffer.size() : newline) > 256)
                return fail(u"boundary line too long"_s);
            if (newline < 0)
                return true;
            for (qsizetype i = 0; i < newline; ++i) {
                const char c = m_buffer.at(i);
                if (!isSpace(c) && !(c == '\r' && i == newline - 1))
                    return fail(u"text after a boundary"_s);
            }
            m_buffer.remove(0, newline + 1);
            m_current = MultipartPart();
            m_headerEnd = -1;
            m_scanFrom = 0;
            m_state = State::PartContent;
            break;
        }
        case State::PartContent: {
            const qsizetype delimiter = m_buffer.indexOf(m_delimiter, m_scanFrom);
            if (m_headerEnd < 0) {
                const qsizetype headerEnd = m_buffer.indexOf("\r\n\r\n");
                if (delimiter >= 0 && (headerEnd < 0 || delimiter < headerEnd)) {
                    // A header line and then the next boundary: a part with no body.
                    MultipartPart part = readPartHeaders(QByteArrayView(m_buffer).first(delimiter));
                    part.hasBody = false;
                    part.isFile = false;
                    m_buffer.remove(0, delimiter + m_delimiter.size());
                    if (!addPart(std::move(part)))
                        return false;
                    m_state = State::AfterDelimiter;
                    break;
                }
                if (headerEnd < 0) {
                    if (m_buffer.size() > MaxPartHeaderSize)
                        return fail(u"part header too long"_s);
                    m_scanFrom = qMax<qsizetype>(0, m_buffer.size() - m_delimiter.size() + 1);
                    return true;
                }
                m_current = readPartHeaders(QByteArrayView(m_buffer).first(headerEnd));
                if (m_current.isFile) {
                    // The header line's CR LF and the next delimiter's CR LF
                    // look like the end of a header block: a header line
                    // alone, even if it names a file, is no file part.
                    const QByteArrayView after = QByteArrayView(m_buffer).sliced(headerEnd + 2);
                    const qsizetype known = qMin(after.size(), m_delimiter.size());
                    if (after.first(known) != QByteArrayView(m_delimiter).first(known))
                        return beginFile(headerEnd);
                    if (known < m_delimiter.size())
                        return true; // cannot tell yet
                    m_current.isFile = false;
                }
                m_headerEnd = headerEnd;
                // The delimiter's CR LF may be the second half of the header end.
                m_scanFrom = headerEnd + 2;
                break;
            }
            if (delimiter < 0) {
                if (m_buffer.size() - m_headerEnd > MaxFieldSize)
                    return fail(u"field too large"_s);
                m_scanFrom = qMax(m_headerEnd + 2, m_buffer.size() - m_delimiter.size() + 1);
                return true;
            }
            const qsizetype valueStart = m_headerEnd + 4;
            if (delimiter < valueStart) {
                // The header line's CR LF and the delimiter's CR LF look like
                // the end of a header block, but there is no value: a part
                // with a header line alone.
                m_current.hasBody = false;
            } else {
                m_current.value = m_buffer.mid(valueStart, delimiter - valueStart);
            }
            m_buffer.remove(0, delimiter + m_delimiter.size());
            if (!addPart(std::move(m_current)))
                return false;
            m_current = MultipartPart();
            m_state = State::AfterDelimiter;
            break;
        }
        case State::FileContent:
        case State::Done:
        case State::Failed:
            return m_state != State::Failed;
        }
    }
}

bool MultipartParser::addPart(MultipartPart part)
{
    m_fieldBytes += part.value.size() + part.name.size();
    if (m_fieldBytes > MaxFieldBytes)
        return fail(u"fields too large"_s);
    if (m_parts.size() >= MaxParts)
        return fail(u"too many parts"_s);
    m_parts.append(std::move(part));
    return true;
}

bool MultipartParser::beginFile(qsizetype headerEnd)
{
    if (m_onFileStart && !m_onFileStart(m_current))
        return fail(u"file refused"_s);
    if (!addPart(m_current))
        return false;
    m_state = State::FileContent;
    const QByteArray rest = m_buffer.mid(headerEnd + 4);
    m_buffer.clear();
    return feedFile(rest);
}

bool MultipartParser::feedFile(QByteArrayView data)
{
    // The last bytes might be the closing delimiter (and a line break after
    // it): hold them back until the end of the body.
    const qsizetype hold = m_closing.size() + 64;
    if (m_fileHold.size() + data.size() <= hold) {
        m_fileHold.append(data);
        return true;
    }
    qsizetype release = m_fileHold.size() + data.size() - hold;
    const qsizetype fromHold = qMin(release, m_fileHold.size());
    if (fromHold > 0 && !emitFile(QByteArrayView(m_fileHold).first(fromHold)))
        return false;
    m_fileHold.remove(0, fromHold);
    release -= fromHold;
    if (release > 0 && !emitFile(data.first(release)))
        return false;
    m_fileHold.append(data.sliced(release));
    return true;
}

bool MultipartParser::emitFile(QByteArrayView data)
{
    m_fileSize += data.size();
    if (m_onFileData)
        return m_onFileData(data) || fail(u"file could not be stored"_s);
    m_parts.last().value.append(data);
    return true;
}

bool MultipartParser::finish()
{
    switch (m_state) {
    case State::Done:
        return true;
    case State::FileContent: {
        QByteArrayView tail(m_fileHold);
        while (!tail.isEmpty()
               && (tail.back() == '\r' || tail.back() == '\n' || isSpace(tail.back())))
            tail.chop(1);
        if (!tail.endsWith(m_closing))
            return fail(u"the body does not end with the closing boundary"_s);
        if (!emitFile(tail.chopped(m_closing.size())))
            return false;
        m_fileHold.clear();
        m_state = State::Done;
        return true;
    }
    case State::Failed:
        return false;
    default:
        return fail(u"the body ends before the closing boundary"_s);
    }
}

std::optional<QList<MultipartPart>> parseMultipart(QByteArrayView body, const QByteArray &boundary)
{
    MultipartParser parser(boundary);
    if (!parser.feed(body) || !parser.finish())
        return std::nullopt;
    return parser.parts();
}

} // namespace videosite
