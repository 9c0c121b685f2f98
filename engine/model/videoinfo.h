#pragma once

#include <QByteArray>
#include <QString>

namespace uplark {

// The video information as the user gave it: the texts as typed (line
// breaks of any kind in the description) and the category by its name as
// the list shows it or by its number.
struct VideoTexts
{
    QString title;
    QString description;
    QString category;
    QString tags;
};

// What the site is told about the video: the three texts as the UTF-8 bytes
// the conversion service returned, and the category number as text.
struct VideoInfo
{
    QByteArray title;
    QByteArray description;
    QByteArray tags;
    QByteArray category;
};

// Most characters the user may give each text.
inline constexpr int TitleLimit = 60;
inline constexpr int DescriptionLimit = 4999;
inline constexpr int TagsLimit = 120;

// The first of the user's texts that the site would not take, with the
// message that says so.
enum class VideoInfoField { Title, Description, Category, Tags };
struct VideoInfoProblem
{
    VideoInfoField field;
    QString message;
};

} // namespace uplark
