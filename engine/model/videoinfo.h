#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace uplark {

// What the site is told about the video: the three texts as the UTF-8 bytes
// the conversion service returned, and the category number as text.
struct VideoInfo
{
    QByteArray title;       // videotitle
    QByteArray description; // videodscr
    QByteArray tags;        // videotags
    QByteArray category;    // videocat
};

// Most characters the user may give each text.
inline constexpr int TitleLimit = 60;
inline constexpr int DescriptionLimit = 4999;
inline constexpr int TagsLimit = 120;

// The fourteen categories, in list order, as the user sees them.
QStringList categoryNames();
// The number stored for a category's name or, given a number, that number
// when it is one of the fourteen; empty otherwise.
QByteArray categoryNumber(const QString &nameOrNumber);

// The first text that the site would not take, with the message that says
// so: a title, description or tags of nothing but spaces, or no category.
enum class VideoInfoField { Title, Description, Category, Tags };
struct VideoInfoProblem
{
    VideoInfoField field;
    QString message;
};
std::optional<VideoInfoProblem> checkVideoInfo(const QString &title, const QString &description,
                                               bool categoryChosen, const QString &tags);

} // namespace uplark
