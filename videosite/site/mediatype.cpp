#include "videosite/site/mediatype.h"

namespace videosite {

QByteArray sniffVideoType(QByteArrayView head)
{
    if (head.size() >= 12 && head.sliced(4, 4) == "ftyp") {
        const QByteArrayView brand = head.sliced(8, 4);
        return brand == "qt  " ? "video/quicktime" : "video/mp4";
    }
    if (head.startsWith("\x1A\x45\xDF\xA3"))
        return "video/webm"; // Matroska and WebM share this header
    if (head.startsWith("OggS"))
        return "video/ogg";
    if (head.size() >= 12 && head.startsWith("RIFF") && head.sliced(8, 4) == "AVI ")
        return "video/x-msvideo";
    if (head.startsWith("\x30\x26\xB2\x75\x8E\x66\xCF\x11"))
        return "video/x-ms-wmv";
    if (head.size() >= 4 && head.at(0) == 0 && head.at(1) == 0 && head.at(2) == 1
        && (uchar(head.at(3)) == 0xBA || uchar(head.at(3)) == 0xB3))
        return "video/mpeg";
    if (head.startsWith("FLV"))
        return "video/x-flv";
    return "application/octet-stream";
}

} // namespace videosite
