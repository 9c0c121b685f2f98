#include "engine/model/categories.h"

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

} // namespace uplark
