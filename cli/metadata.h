#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace uplark {

// One file's own texts from a metadata file; an absent text is left to the
// options.
struct FileMetadata
{
    QString file;
    std::optional<QString> title;
    std::optional<QString> description;
    std::optional<QString> category; // a name or a number
    std::optional<QString> tags;
};

// Reads a metadata file: a JSON array of objects, each with a "file" key and
// any of "title", "description", "category" (a name or a number) and "tags".
// False, with what is wrong in `error` (one line), for a file that cannot be
// read, is not such an array, or has other keys or values.
bool readMetadata(const QString &path, QList<FileMetadata> *entries, QString *error);

// For each of `files` (as given on the command line), the index of its entry
// in `entries`, or -1. An entry's "file" names a file as given, by the same
// path from the current folder, or, without a "/", by its file name; entries
// for other files are left aside, so that one metadata file can serve a
// whole folder. False, with `error`, when two entries name the same file.
bool matchMetadata(const QStringList &files, const QList<FileMetadata> &entries,
                   QList<int> *indexes, QString *error);

} // namespace uplark
