#pragma once

#include <QLibrary>
#include <QString>

#include <curl/curl.h>

#include <memory>

namespace uplark {

// libcurl, loaded from libcurl.so.4 when the program first needs it rather
// than at start: only the text conversion uses it. The functions the
// program calls are looked up once; curl_global_init runs when the library
// is loaded and curl_global_cleanup when this object goes.
class CurlLibrary
{
public:
    // Null, with the reason in `error`, when the library or one of its
    // functions cannot be found.
    static std::unique_ptr<CurlLibrary> load(QString *error);
    ~CurlLibrary();

    CurlLibrary(const CurlLibrary &) = delete;
    CurlLibrary &operator=(const CurlLibrary &) = delete;

    decltype(&::curl_global_init) globalInit = nullptr;
    decltype(&::curl_global_cleanup) globalCleanup = nullptr;
    decltype(&::curl_easy_init) easyInit = nullptr;
    decltype(&::curl_easy_setopt) easySetopt = nullptr;
    decltype(&::curl_easy_perform) easyPerform = nullptr;
    decltype(&::curl_easy_getinfo) easyGetinfo = nullptr;
    decltype(&::curl_easy_cleanup) easyCleanup = nullptr;
    decltype(&::curl_easy_strerror) easyStrerror = nullptr;
    decltype(&::curl_slist_append) slistAppend = nullptr;
    decltype(&::curl_slist_free_all) slistFreeAll = nullptr;

private:
    CurlLibrary() = default;

    QLibrary m_library;
    bool m_initialised = false;
};

} // namespace uplark
