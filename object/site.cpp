// CreateUri and IUri came with Internet Explorer 7's urlmon: ask for them
// here alone, before any system header.
#undef _WIN32_IE
#define _WIN32_IE 0x0700
#include "object/site.h"
#include "platform/raii.h"
#include <exdisp.h>
#include <mshtml.h>
#include <shlguid.h>
#include <urlmon.h>

namespace {

const wchar_t kPolicyKey[] = L"SOFTWARE\\Policies\\QVFileIO";

// An origin as compared: scheme and host in lower case, the host in its
// ASCII (punycode) form without a trailing dot, the port always filled in.
struct Origin {
    std::wstring scheme, host;
    DWORD port = 0;
    bool wildcard = false;  // an entry "*.domain": `host` is the domain
};

std::wstring Take(const unique_bstr& text) {
    return text ? std::wstring(text.get(), ::SysStringLen(text.get())) : std::wstring();
}

void LowerAscii(std::wstring& text) {
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = c - L'A' + L'a';
}

// The host as the DNS knows it: one trailing dot dropped, international
// names in their ASCII form, so that both spellings of a name compare equal.
bool CanonicalHost(std::wstring& host) {
    if (!host.empty() && host.back() == L'.') host.pop_back();
    if (host.empty() || host.front() == L'.' || host.find(L"..") != std::wstring::npos) return false;
    bool ascii = true;
    for (wchar_t c : host) ascii = ascii && c < 0x80;
    if (!ascii) {
        wchar_t converted[256];
        const int length = ::IdnToAscii(0, host.c_str(), static_cast<int>(host.size()), converted, 256);
        if (length <= 0) return false;
        host.assign(converted, length);
    }
    LowerAscii(host);
    return true;
}

// Scheme, host and port of `text` as the system's URL parser reads them;
// `entry` also demands a plain http or https origin with nothing after it.
bool ParseOrigin(const std::wstring& text, bool entry, Origin& origin) {
    com_ptr<IUri> uri;
    if (text.empty() || FAILED(::CreateUri(text.c_str(), Uri_CREATE_CANONICALIZE, 0, uri.put()))) return false;
    unique_bstr scheme, host, userInfo, path, query, fragment;
    DWORD hostType = Uri_HOST_UNKNOWN;
    if (uri->GetSchemeName(scheme.put()) != S_OK || uri->GetHost(host.put()) != S_OK ||
        uri->GetPort(&origin.port) != S_OK || FAILED(uri->GetHostType(&hostType)))
        return false;
    origin.scheme = Take(scheme);
    origin.host = Take(host);
    LowerAscii(origin.scheme);
    if (hostType == Uri_HOST_UNKNOWN || origin.host.empty()) return false;
    if (entry) {
        if (origin.scheme != L"http" && origin.scheme != L"https") return false;
        if (FAILED(uri->GetUserInfo(userInfo.put())) || FAILED(uri->GetPath(path.put())) ||
            FAILED(uri->GetQuery(query.put())) || FAILED(uri->GetFragment(fragment.put())))
            return false;
        const std::wstring rest = Take(path);
        if (!Take(userInfo).empty() || (!rest.empty() && rest != L"/") || !Take(query).empty() ||
            !Take(fragment).empty() || origin.port == 0)
            return false;
        // "*." only as the whole leftmost label of a name.
        if (origin.host.compare(0, 2, L"*.") == 0 && (hostType == Uri_HOST_DNS || hostType == Uri_HOST_IDN)) {
            origin.wildcard = true;
            origin.host.erase(0, 2);
        }
    }
    return origin.host.find(L'*') == std::wstring::npos && CanonicalHost(origin.host);
}

bool OriginMatches(const Origin& page, const Origin& entry) {
    if (page.scheme != entry.scheme || page.port != entry.port) return false;
    if (!entry.wildcard) return page.host == entry.host;
    // Any host below the domain, never the domain itself.
    const size_t length = entry.host.size();
    return page.host.size() > length + 1 && page.host.compare(page.host.size() - length, length, entry.host) == 0 &&
           page.host[page.host.size() - length - 1] == L'.';
}

// A URL handed over as a BSTR: a NUL inside it would make the parser see
// another URL than the container's, so such a URL is none.
HRESULT TakeUrl(const unique_bstr& text, HRESULT hr, std::wstring& url) {
    if (FAILED(hr)) return hr;
    url = Take(text);
    if (url.empty() || url.find(L'\0') != std::wstring::npos) {
        url.clear();
        return E_INVALIDARG;
    }
    return S_OK;
}

// The machine policy lists origins: any other type of value lists none.
void ReadSites(HKEY key, SitePolicy& policy) {
    DWORD type = 0, size = 0;
    LONG status = ::RegQueryValueExW(key, L"Sites", nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND) return;
    policy.hasSites = true;
    std::wstring data;
    // The value may grow between the two reads: a few tries, then none.
    for (int tries = 0; tries < 3 && status == ERROR_SUCCESS && type == REG_MULTI_SZ; ++tries) {
        data.assign(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        status = ::RegQueryValueExW(key, L"Sites", nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
        if (status == ERROR_SUCCESS) {
            data.resize(size / sizeof(wchar_t));
            break;
        }
        if (status == ERROR_MORE_DATA) status = ERROR_SUCCESS;
        data.clear();
    }
    if (status != ERROR_SUCCESS || type != REG_MULTI_SZ) return;
    for (size_t start = 0; start < data.size();) {
        size_t end = data.find(L'\0', start);
        if (end == std::wstring::npos) end = data.size();
        std::wstring entry = data.substr(start, end - start);
        start = end + 1;
        // Blanks around an entry are the editor's, not the origin's.
        const size_t first = entry.find_first_not_of(L" \t");
        if (first == std::wstring::npos) continue;
        policy.sites.push_back(entry.substr(first, entry.find_last_not_of(L" \t") - first + 1));
    }
}

void ReadZones(HKEY key, SitePolicy& policy) {
    DWORD type = 0, value = 0, size = sizeof value;
    const LONG status = ::RegQueryValueExW(key, L"Zones", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    if (status == ERROR_FILE_NOT_FOUND) return;
    policy.hasZones = true;
    if (status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value) policy.zones = value;
}

}  // namespace

SitePolicy ReadSitePolicy() {
    SitePolicy policy;
    unique_hkey key;
    const LONG status =
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.put());
    if (status == ERROR_FILE_NOT_FOUND) return policy;
    if (status != ERROR_SUCCESS) {
        // A policy that is there but cannot be read allows no page.
        policy.hasSites = true;
        return policy;
    }
    ReadSites(key.get(), policy);
    ReadZones(key.get(), policy);
    return policy;
}

bool OriginListed(const wchar_t* url, const std::vector<std::wstring>& sites) {
    Origin page;
    if (!url || !ParseOrigin(url, false, page)) return false;
    for (const std::wstring& site : sites) {
        Origin entry;
        if (ParseOrigin(site, true, entry) && OriginMatches(page, entry)) return true;
    }
    return false;
}

bool ZoneInMask(DWORD zone, DWORD zones) {
    return zone <= URLZONE_UNTRUSTED && (zones & (1u << zone)) != 0;
}

HRESULT PageUrl(IUnknown* site, std::wstring& url) {
    url.clear();
    if (!site) return E_POINTER;
    com_ptr<IServiceProvider> services;
    com_ptr<IWebBrowser2> browser;
    if (SUCCEEDED(site->QueryInterface(IID_IServiceProvider, services.put_void())) &&
        SUCCEEDED(services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.put_void())) && browser) {
        unique_bstr location;
        return TakeUrl(location, browser->get_LocationURL(location.put()), url);
    }
    com_ptr<IOleClientSite> clientSite;
    com_ptr<IOleContainer> container;
    com_ptr<IHTMLDocument2> document;
    HRESULT hr = site->QueryInterface(IID_IOleClientSite, clientSite.put_void());
    if (SUCCEEDED(hr)) hr = clientSite->GetContainer(container.put());
    if (SUCCEEDED(hr) && !container) hr = E_NOINTERFACE;
    if (SUCCEEDED(hr)) hr = container->QueryInterface(IID_IHTMLDocument2, document.put_void());
    if (FAILED(hr)) return hr;
    unique_bstr address;
    return TakeUrl(address, document->get_URL(address.put()), url);
}

bool IsBrowserSite(IUnknown* site) {
    if (!site) return false;
    com_ptr<IOleClientSite> clientSite;
    if (SUCCEEDED(site->QueryInterface(IID_IOleClientSite, clientSite.put_void()))) return true;
    com_ptr<IServiceProvider> services;
    if (FAILED(site->QueryInterface(IID_IServiceProvider, services.put_void())) || !services) return false;
    com_ptr<IInternetHostSecurityManager> manager;
    com_ptr<IWebBrowser2> browser;
    return SUCCEEDED(services->QueryService(SID_SInternetHostSecurityManager, IID_IInternetHostSecurityManager,
                                            manager.put_void())) ||
           SUCCEEDED(services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.put_void()));
}

bool PageAllowed(IUnknown* site, const SitePolicy& policy, std::wstring& url) {
    url.clear();
    if (!policy.Limits()) return true;
    // No page: the container is not a browser (a script host's site, or none).
    if (FAILED(PageUrl(site, url))) return !IsBrowserSite(site);
    if (policy.hasSites && OriginListed(url.c_str(), policy.sites)) return true;
    if (!policy.hasZones) return false;
    com_ptr<IInternetSecurityManager> manager;
    DWORD zone = URLZONE_INVALID;
    return SUCCEEDED(::CoInternetCreateSecurityManager(nullptr, manager.put(), 0)) &&
           SUCCEEDED(manager->MapUrlToZone(url.c_str(), &zone, 0)) && ZoneInMask(zone, policy.zones);
}
