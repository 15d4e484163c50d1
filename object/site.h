// The web page an object is placed in, and whether the machine policy lets
// that page use it. Knows nothing of the class QVFileIO: it takes the site a
// container hands over (IObjectWithSite::SetSite) and the site part of the
// policy.
#pragma once
#include "platform/windows.h"
#include <string>
#include <vector>

// The site part of the policy below HKLM\SOFTWARE\Policies\QVFileIO, read
// with the rest of it (object/confinement.h).
struct SitePolicy {
    bool hasSites = false;           // the value Sites exists
    std::vector<std::wstring> sites;  // its origins, as written
    bool hasZones = false;           // the value Zones exists
    DWORD zones = 0;                 // bit n: pages of URL security zone n (0 to 4)
    // Whether pages are limited at all: without either value they are not.
    bool Limits() const { return hasSites || hasZones; }
};

// Whether the origin of `url` (scheme, host and port, as the system parses
// them) is one of `sites`. An entry that is not a plain http or https
// origin, with at most a leading "*." label, allows nothing; neither page
// nor entry matches with a host that is no DNS name or IP address.
bool OriginListed(const wchar_t* url, const std::vector<std::wstring>& sites);

// Whether URL security zone `zone` (0 to 4) is in the mask `zones`.
bool ZoneInMask(DWORD zone, DWORD zones);

// The URL of the page that `site` belongs to: the document that holds the
// object (IHTMLDocument2::get_URL of its client site's container, or of the
// container its service provider names, SID_SContainerDispatch), which in a
// frame is the frame's own, not the top-level page's. Only a site without an
// HTML document is judged by its browser's location (SID_SWebBrowserApp,
// IWebBrowser2::get_LocationURL). Fails when none answers with a URL; a
// document that fails is not passed over for the browser.
HRESULT PageUrl(IUnknown* site, std::wstring& url);

// Whether `site` leads to a browser at all: a client site, or a service
// provider answering the host's security manager, a document or the browser.
// Script hosts (Windows Script Host) give objects a site that answers none.
bool IsBrowserSite(IUnknown* site);

// Whether the page of `site` may use the object under `policy`: always when
// the policy does not limit pages or there is no browser page; otherwise
// when its URL can be had and its origin is listed or its zone (the
// system's security manager's) is in the mask. `url` receives the URL.
bool PageAllowed(IUnknown* site, const SitePolicy& policy, std::wstring& url);
