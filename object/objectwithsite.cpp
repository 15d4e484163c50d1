// The object in a web page (IObjectWithSite): a page that the site part of
// the machine policy (Sites, Zones; read with the rest of the policy when
// the object is made) does not allow cannot use the object.
#include "object/qvfileio.h"
#include "object/site.h"

namespace {
// No browser hands over a longer URL (INTERNET_MAX_URL_LENGTH): the log
// names the page without taking a page's worth of text for every call.
const size_t kLoggedUrlLength = 2083;
}  // namespace

HRESULT QVFileIO::SetSite(IUnknown* site) {
    if (site) site->AddRef();
    *site_.put() = site;
    if (!site) return S_OK;
    // Decided for each site handed over; a refusal is never lifted, so a
    // page cannot shed it by having its object given another site or none.
    try {
        std::wstring url;
        if (!PageAllowed(site, confinement_.Pages(), url)) {
            siteRefused_ = true;
            siteUrl_ = url.substr(0, kLoggedUrlLength);
        }
    } catch (...) {
        siteRefused_ = true;
    }
    return S_OK;
}

HRESULT QVFileIO::GetSite(REFIID riid, void** site) {
    if (!site) return E_POINTER;
    *site = nullptr;
    return site_ ? site_->QueryInterface(riid, site) : E_FAIL;
}

HRESULT QVFileIO::RefuseForSite(EXCEPINFO* exception) {
    HRESULT hr = E_ACCESSDENIED;
    try {
        const std::string url = ToAnsi(siteUrl_.c_str());
        hr = Fail(E_ACCESSDENIED, __LINE__, {"URL: ", url.c_str(), "Error: ", kRefusedByPolicy});
    } catch (...) {
        // No memory for the page's address: the refusal is told all the same.
        hr = Fail(E_ACCESSDENIED, __LINE__, {"URL: ", "", "Error: ", kRefusedByPolicy});
    }
    if (!exception) return hr;
    // Handed on as the type library's Invoke hands on an operation's failure.
    ZeroMemory(exception, sizeof *exception);
    exception->scode = hr;
    com_ptr<IErrorInfo> info;
    if (::GetErrorInfo(0, info.put()) == S_OK) {
        info->GetSource(&exception->bstrSource);
        info->GetDescription(&exception->bstrDescription);
    }
    return DISP_E_EXCEPTION;
}
