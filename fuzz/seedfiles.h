#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>
#include <cstdlib>

// Writes one seed file as <root>/<target>/<name>, making the folder; a seed
// that cannot be written ends the program with an error.
inline void WriteSeed(const QString &root, const char *target, const char *name,
                      const QByteArray &bytes)
{
    const QString folder = root + u'/' + QString::fromLatin1(target);
    QDir().mkpath(folder);
    QFile file(folder + u'/' + QString::fromLatin1(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write seed %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
}

// The output folder from the command line.
inline QString SeedRoot(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        std::exit(2);
    }
    return QString::fromLocal8Bit(argv[1]);
}
