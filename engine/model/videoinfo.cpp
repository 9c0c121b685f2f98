#include "engine/model/videoinfo.h"

#include "engine/model/spaces.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace uplark {

namespace {

struct Category
{
    const char16_t *name;
    const char *number;
};

constexpr Category Categories[] = {
    {u"Autos & Vehicles", "2"}, {u"Comedy", "23"},          {u"Education", "27"},
    {u"Entertainment", "24"},   {u"Film & Animation", "1"}, {u"Howto & Style", "26"},
    {u"Music", "10"},           {u"News & Politics", "25"}, {u"Nonprofits & Activism", "29"},
    {u"People & Blogs", "22"},  {u"Pets & Animals", "15"},  {u"Science & Technology", "28"},
    {u"Sports", "17"},          {u"Travel & Events", "19"},
};

} // namespace

QStringList categoryNames()
{
    QStringList names;
    for (const Category &c : Categories)
        names.append(QString::fromUtf16(c.name));
    return names;
}

QByteArray categoryNumber(const QString &nameOrNumber)
{
    for (const Category &c : Categories) {
        if (nameOrNumber == QStringView(c.name) || nameOrNumber == QLatin1StringView(c.number))
            return QByteArray(c.number);
    }
    return {};
}

std::optional<VideoInfoProblem> checkVideoInfo(const QString &title, const QString &description,
                                               bool categoryChosen, const QString &tags)
{
    if (onlySpaces(title))
        return VideoInfoProblem{VideoInfoField::Title, QCoreApplication::translate(
                                                           "uplark::VideoInfoDialog",
                                                           "Please enter a TITLE for your video.")};
    if (onlySpaces(description))
        return VideoInfoProblem{
            VideoInfoField::Description,
            QCoreApplication::translate("uplark::VideoInfoDialog",
                                        "Please enter a meaningful description for your video.")};
    if (!categoryChosen)
        return VideoInfoProblem{
            VideoInfoField::Category,
            QCoreApplication::translate("uplark::VideoInfoDialog",
                                        "Please select a category for your video.")};
    if (onlySpaces(tags))
        return VideoInfoProblem{
            VideoInfoField::Tags,
            QCoreApplication::translate("uplark::VideoInfoDialog",
                                        "Please enter some TAGS in order for your "
                                        "video to be found easily.\r\n\r\n"
                                        "Seperate your tags by spaces.")};
    return std::nullopt;
}

} // namespace uplark
