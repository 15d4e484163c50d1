// CreateUri and IUri came with Internet Explorer 7's urlmon: ask for them
// here alone, before any system header.
#undef _WIN32_IE
#define _WIN32_IE 0x0700
#include "object/site.h"
#include "platform/raii.h"
#include <docobj.h>
#include <exdisp.h>
#include <mshtml.h>
#include <shlguid.h>
#include <urlmon.h>

namespace {

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

// The host as the DNS knows it, so that both spellings of a name compare
// equal: international names in their ASCII form, in lower case, and a
// trailing dot dropped where it names the same host (two labels or more:
// "server." is not "server", which the resolver completes with its search
// domains). A host that is no DNS name is none: a percent sign the parser
// left, an empty label or one of more than 63 characters, more than 253 in
// all. An IP address is taken as the parser writes it. `below`: the host is
// the domain of a "*." entry, one label short of the names it allows.
bool CanonicalHost(std::wstring& host, DWORD hostType, bool below) {
    if (host.empty() || host.find(L'%') != std::wstring::npos) return false;
    if (hostType == Uri_HOST_IPV4 || hostType == Uri_HOST_IPV6) {
        LowerAscii(host);
        return true;
    }
    const bool rooted = host.back() == L'.';
    if (rooted) host.pop_back();
    bool ascii = true;
    for (wchar_t c : host) ascii = ascii && c < 0x80;
    if (!ascii) {
        wchar_t converted[256];
        const int length = ::IdnToAscii(0, host.c_str(), static_cast<int>(host.size()), converted, 256);
        if (length <= 0) return false;
        host.assign(converted, length);
    }
    if (host.empty() || host.size() > 253) return false;
    size_t labels = 0;
    for (size_t start = 0, end = 0; start <= host.size(); start = end + 1, ++labels) {
        end = host.find(L'.', start);
        if (end == std::wstring::npos) end = host.size();
        if (end == start || end - start > 63) return false;
    }
    LowerAscii(host);
    if (rooted && labels + (below ? 1 : 0) < 2) host += L'.';
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
    return origin.host.find(L'*') == std::wstring::npos && CanonicalHost(origin.host, hostType, origin.wildcard);
}

// Whether the host of `url`, where it names one, is a DNS name or an IP
// address: a page named otherwise is refused whatever zone it maps to.
bool HostIsName(const std::wstring& url) {
    com_ptr<IUri> uri;
    unique_bstr host;
    DWORD hostType = Uri_HOST_UNKNOWN;
    if (FAILED(::CreateUri(url.c_str(), Uri_CREATE_CANONICALIZE, 0, uri.put())) || FAILED(uri->GetHost(host.put())) ||
        FAILED(uri->GetHostType(&hostType)))
        return false;
    std::wstring name = Take(host);
    return name.empty() || (hostType != Uri_HOST_UNKNOWN && CanonicalHost(name, hostType, false));
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

}  // namespace

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
    com_ptr<IOleClientSite> clientSite;
    com_ptr<IOleContainer> container;
    com_ptr<IServiceProvider> services;
    com_ptr<IHTMLDocument2> document;
    // The document that holds the object, as an <object> element's site or
    // as a script's (new ActiveXObject) service provider names it.
    if (SUCCEEDED(site->QueryInterface(IID_IOleClientSite, clientSite.put_void())) &&
        SUCCEEDED(clientSite->GetContainer(container.put())) && container)
        container->QueryInterface(IID_IHTMLDocument2, document.put_void());
    const bool hasServices = SUCCEEDED(site->QueryInterface(IID_IServiceProvider, services.put_void())) && services;
    if (!document && hasServices)
        services->QueryService(SID_SContainerDispatch, IID_IHTMLDocument2, document.put_void());
    if (document) {
        unique_bstr address;
        return TakeUrl(address, document->get_URL(address.put()), url);
    }
    // No HTML document: a host that shows the object otherwise, inside a browser.
    com_ptr<IWebBrowser2> browser;
    if (!hasServices || FAILED(services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.put_void())) ||
        !browser)
        return E_NOINTERFACE;
    unique_bstr location;
    return TakeUrl(location, browser->get_LocationURL(location.put()), url);
}

bool IsBrowserSite(IUnknown* site) {
    if (!site) return false;
    com_ptr<IOleClientSite> clientSite;
    if (SUCCEEDED(site->QueryInterface(IID_IOleClientSite, clientSite.put_void()))) return true;
    com_ptr<IServiceProvider> services;
    if (FAILED(site->QueryInterface(IID_IServiceProvider, services.put_void())) || !services) return false;
    com_ptr<IInternetHostSecurityManager> manager;
    com_ptr<IHTMLDocument2> document;
    com_ptr<IWebBrowser2> browser;
    return SUCCEEDED(services->QueryService(SID_SInternetHostSecurityManager, IID_IInternetHostSecurityManager,
                                            manager.put_void())) ||
           SUCCEEDED(services->QueryService(SID_SContainerDispatch, IID_IHTMLDocument2, document.put_void())) ||
           SUCCEEDED(services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.put_void()));
}

bool PageAllowed(IUnknown* site, const SitePolicy& policy, std::wstring& url) {
    url.clear();
    if (!policy.Limits()) return true;
    // No page: the container is not a browser (a script host's site, or none).
    if (FAILED(PageUrl(site, url))) return !IsBrowserSite(site);
    if (policy.hasSites && OriginListed(url.c_str(), policy.sites)) return true;
    if (!policy.hasZones || !HostIsName(url)) return false;
    com_ptr<IInternetSecurityManager> manager;
    DWORD zone = URLZONE_INVALID;
    return SUCCEEDED(::CoInternetCreateSecurityManager(nullptr, manager.put(), 0)) &&
           SUCCEEDED(manager->MapUrlToZone(url.c_str(), &zone, 0)) && ZoneInMask(zone, policy.zones);
}
