#include "cli/metadata.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace uplark {

bool readMetadata(const QString &path, QList<FileMetadata> *entries, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = u"cannot read the metadata file "_s + path + u": "_s + file.errorString();
        return false;
    }
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parse);
    const QString where = u"the metadata file "_s + path;
    if (parse.error != QJsonParseError::NoError) {
        *error = where + u" is not JSON: "_s + parse.errorString() + u" at byte "_s
                 + QString::number(parse.offset);
        return false;
    }
    if (!document.isArray()) {
        *error = where + u" must hold an array of objects"_s;
        return false;
    }
    const QJsonArray array = document.array();
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QString entry = where + u", entry "_s + QString::number(i + 1);
        if (!array.at(i).isObject()) {
            *error = entry + u" is not an object"_s;
            return false;
        }
        const QJsonObject object = array.at(i).toObject();
        FileMetadata metadata;
        for (auto it = object.begin(); it != object.end(); ++it) {
            const QString key = it.key();
            const QJsonValue value = it.value();
            std::optional<QString> *text = key == u"title"_s         ? &metadata.title
                                           : key == u"description"_s ? &metadata.description
                                           : key == u"category"_s    ? &metadata.category
                                           : key == u"tags"_s        ? &metadata.tags
                                                                     : nullptr;
            if (key == u"file"_s && value.isString()) {
                metadata.file = value.toString();
            } else if (text && value.isString()) {
                *text = value.toString();
            } else if (key == u"category"_s && value.isDouble()) {
                *text = QString::number(value.toInteger());
            } else if (text && value.isNull()) {
                // As if the key were absent.
            } else {
                *error = entry + u": "_s
                         + (key == u"file"_s || text ? u"\"%1\" must be a string"_s.arg(key)
                                                     : u"unknown key \"%1\""_s.arg(key));
                return false;
            }
        }
        if (metadata.file.isEmpty()) {
            *error = entry + u" has no \"file\""_s;
            return false;
        }
        entries->append(metadata);
    }
    return true;
}

bool matchMetadata(const QStringList &files, const QList<FileMetadata> &entries,
                   QList<int> *indexes, QString *error)
{
    indexes->fill(-1, files.size());
    for (qsizetype e = 0; e < entries.size(); ++e) {
        const QString &named = entries.at(e).file;
        const QString canonical = QFileInfo(named).canonicalFilePath();
        for (qsizetype f = 0; f < files.size(); ++f) {
            const QFileInfo given(files.at(f));
            const bool same = named == files.at(f)
                              || (!canonical.isEmpty() && canonical == given.canonicalFilePath())
                              || (!named.contains(u'/') && named == given.fileName());
            if (!same)
                continue;
            if (indexes->at(f) >= 0 && indexes->at(f) != e) {
                *error = u"the metadata file has two entries for "_s + files.at(f);
                return false;
            }
            (*indexes)[f] = int(e);
        }
    }
    return true;
}

} // namespace uplark
