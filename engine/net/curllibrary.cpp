#include "engine/net/curllibrary.h"

using namespace Qt::StringLiterals;

namespace uplark {

std::unique_ptr<CurlLibrary> CurlLibrary::load(QString *error)
{
    std::unique_ptr<CurlLibrary> curl(new CurlLibrary);
    // The soname of libcurl's ABI, as the linker would have recorded it.
    curl->m_library.setFileNameAndVersion(u"curl"_s, 4);
    if (!curl->m_library.load()) {
        *error = u"libcurl could not be loaded: "_s + curl->m_library.errorString();
        return nullptr;
    }
    bool complete = true;
    auto resolve = [&](auto &function, const char *name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
            curl->m_library.resolve(name));
        complete = complete && function;
    };
    resolve(curl->globalInit, "curl_global_init");
    resolve(curl->globalCleanup, "curl_global_cleanup");
    resolve(curl->easyInit, "curl_easy_init");
    resolve(curl->easySetopt, "curl_easy_setopt");
    resolve(curl->easyPerform, "curl_easy_perform");
    resolve(curl->easyGetinfo, "curl_easy_getinfo");
    resolve(curl->easyCleanup, "curl_easy_cleanup");
    resolve(curl->easyStrerror, "curl_easy_strerror");
    resolve(curl->slistAppend, "curl_slist_append");
    resolve(curl->slistFreeAll, "curl_slist_free_all");
    if (!complete) {
        *error = u"libcurl lacks a function Uplark needs: "_s + curl->m_library.errorString();
        return nullptr;
    }
    if (curl->globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        *error = u"libcurl could not be set up"_s;
        return nullptr;
    }
    curl->m_initialised = true;
    return curl;
}

CurlLibrary::~CurlLibrary()
{
    if (m_initialised)
        globalCleanup();
}

} // namespace uplark
