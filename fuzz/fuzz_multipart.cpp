// The site's multipart/form-data parser, fed the same body in one piece, in
// chunks of sizes drawn from the input, and a byte at a time: every way must
// give the same outcome, the same parts and the same file bytes, with or
// without a file sink. Input: the body; when it starts with "--", its first
// line names the boundary, otherwise it is Uplark's.
#include "fuzz/check.h"
#include "videosite/http/multipart.h"

#include <functional>

namespace videosite {
}
using namespace videosite;

namespace {

struct Outcome
{
    bool ok = false;
    QList<MultipartPart> parts;
    qint64 fileSize = 0;
    QByteArray sunkFile; // the file's bytes as the sink got them
    int fileStarts = 0;
};

bool samePart(const MultipartPart &a, const MultipartPart &b)
{
    return a.name == b.name && a.fileName == b.fileName && a.contentType == b.contentType
           && a.value == b.value && a.isFile == b.isFile && a.hasBody == b.hasBody;
}

bool sameParts(const QList<MultipartPart> &a, const QList<MultipartPart> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (!samePart(a.at(i), b.at(i)))
            return false;
    }
    return true;
}

// Feeds the body in pieces whose sizes come from nextSize (0 means the rest).
Outcome parse(const QByteArray &boundary, QByteArrayView body, bool withSink,
              const std::function<qsizetype()> &nextSize)
{
    Outcome outcome;
    MultipartParser parser(boundary);
    if (withSink) {
        parser.setFileSink(
            [&outcome](const MultipartPart &part) {
                FUZZ_CHECK(part.isFile);
                ++outcome.fileStarts;
                return true;
            },
            [&outcome](QByteArrayView bytes) {
                outcome.sunkFile.append(bytes);
                return true;
            });
    }
    bool ok = true;
    qsizetype at = 0;
    while (at < body.size()) {
        qsizetype size = nextSize();
        if (size <= 0 || size > body.size() - at)
            size = body.size() - at;
        ok = parser.feed(body.sliced(at, size)) && ok;
        at += size;
    }
    outcome.ok = parser.finish() && ok;
    FUZZ_CHECK(outcome.ok != parser.failed());
    outcome.parts = parser.parts();
    outcome.fileSize = parser.fileSize();
    return outcome;
}

// splitmix64, seeded from the input, for chunk sizes that differ from input
// to input but are the same on every run of one input.
struct SizeStream
{
    quint64 state;

    qsizetype operator()()
    {
        quint64 z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        // Mostly small pieces, which split delimiters and line ends, and now
        // and then a large one.
        switch (z & 3) {
        case 0:
        case 1:
            return qsizetype(1 + ((z >> 8) % 8));
        case 2:
            return qsizetype(1 + ((z >> 8) % 100));
        default:
            return qsizetype(1 + ((z >> 8) % 2000));
        }
    }
};

void checkSame(const Outcome &whole, const Outcome &pieces)
{
    FUZZ_CHECK(whole.ok == pieces.ok);
    if (!whole.ok)
        return;
    FUZZ_CHECK(sameParts(whole.parts, pieces.parts));
    FUZZ_CHECK(whole.fileSize == pieces.fileSize);
    FUZZ_CHECK(whole.sunkFile == pieces.sunkFile);
    FUZZ_CHECK(whole.fileStarts == pieces.fileStarts);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body = FuzzBytes(data, size);
    QByteArray boundary = QByteArrayLiteral("Xu02=$");
    if (body.startsWith("--")) {
        const qsizetype end = body.indexOf('\n');
        boundary = body.mid(2, end < 0 ? -1 : end - 2);
        if (boundary.endsWith('\r'))
            boundary.chop(1);
        boundary = boundary.left(200);
    }

    quint64 seed = 1469598103934665603ull; // FNV-1a of the body
    for (const char c : body)
        seed = (seed ^ uchar(c)) * 1099511628211ull;

    const auto onePiece = [] { return qsizetype(0); };
    const auto byteByByte = [] { return qsizetype(1); };
    for (const bool withSink : {false, true}) {
        const Outcome whole = parse(boundary, body, withSink, onePiece);
        checkSame(whole, parse(boundary, body, withSink, SizeStream{seed}));
        if (body.size() <= 1024)
            checkSame(whole, parse(boundary, body, withSink, byteByByte));

        if (whole.ok) {
            // At most one file part with a body, and it is the last; its
            // bytes reach the sink or its value, never both.
            const MultipartPart *file = nullptr;
            for (const MultipartPart &part : whole.parts) {
                FUZZ_CHECK(file == nullptr);
                if (part.isFile && part.hasBody)
                    file = &part;
            }
            if (withSink) {
                FUZZ_CHECK(whole.fileStarts <= 1 && (whole.fileStarts == 1) == (file != nullptr));
                FUZZ_CHECK(!file || file->value.isEmpty());
                FUZZ_CHECK(whole.sunkFile.size() == whole.fileSize);
            } else {
                FUZZ_CHECK(whole.sunkFile.isEmpty());
                FUZZ_CHECK(whole.fileSize == (file ? file->value.size() : 0));
            }
            FUZZ_CHECK(whole.fileSize <= body.size());
        }
    }
    // The whole-body helper agrees with the parser.
    const std::optional<QList<MultipartPart>> parsed = parseMultipart(body, boundary);
    const Outcome whole = parse(boundary, body, false, onePiece);
    FUZZ_CHECK(parsed.has_value() == whole.ok);
    if (parsed)
        FUZZ_CHECK(sameParts(*parsed, whole.parts));
    return 0;
}
