// Any other method of the two interfaces is left out of the tables: none
// of the callers under test calls one.
#define COBJMACROS
#include "tests/fakepage.h"
#include <exdisp.h>
#include <mshtml.h>

typedef struct {
    const void* vtbl;
    LONG refs;
    BSTR url;
    HRESULT answer;
    const IID* own[3];
} FakePage;

static HRESULT STDMETHODCALLTYPE Page_QueryInterface(FakePage* page, REFIID riid, void** object) {
    int i;
    *object = NULL;
    if (IsEqualIID(riid, &IID_IUnknown) || IsEqualIID(riid, &IID_IDispatch)) *object = page;
    for (i = 0; i < 3; ++i)
        if (IsEqualIID(riid, page->own[i])) *object = page;
    if (!*object) return E_NOINTERFACE;
    InterlockedIncrement(&page->refs);
    return S_OK;
}

static ULONG STDMETHODCALLTYPE Page_AddRef(FakePage* page) { return InterlockedIncrement(&page->refs); }

static ULONG STDMETHODCALLTYPE Page_Release(FakePage* page) {
    const LONG refs = InterlockedDecrement(&page->refs);
    if (refs == 0) {
        SysFreeString(page->url);
        HeapFree(GetProcessHeap(), 0, page);
    }
    return refs;
}

static HRESULT STDMETHODCALLTYPE Page_Url(FakePage* page, BSTR* url) {
    *url = NULL;
    if (FAILED(page->answer)) return page->answer;
    *url = SysAllocStringLen(page->url, SysStringLen(page->url));
    return *url ? page->answer : E_OUTOFMEMORY;
}

#define UNKNOWN_METHODS(Iface)                                        \
    .QueryInterface = (HRESULT(STDMETHODCALLTYPE*)(Iface*, REFIID, void**))Page_QueryInterface, \
    .AddRef = (ULONG(STDMETHODCALLTYPE*)(Iface*))Page_AddRef,                 \
    .Release = (ULONG(STDMETHODCALLTYPE*)(Iface*))Page_Release

static const IWebBrowser2Vtbl browserVtbl = {
    UNKNOWN_METHODS(IWebBrowser2),
    .get_LocationURL = (HRESULT(STDMETHODCALLTYPE*)(IWebBrowser2*, BSTR*))Page_Url,
};

static const IHTMLDocument2Vtbl documentVtbl = {
    UNKNOWN_METHODS(IHTMLDocument2),
    .get_URL = (HRESULT(STDMETHODCALLTYPE*)(IHTMLDocument2*, BSTR*))Page_Url,
};

static IUnknown* NewPage(const void* vtbl, const IID* a, const IID* b, const IID* c, const WCHAR* url, UINT length,
                         HRESULT answer) {
    FakePage* page = (FakePage*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof *page);
    if (!page) return NULL;
    page->vtbl = vtbl;
    page->refs = 1;
    page->url = SysAllocStringLen(url, length);
    page->answer = answer;
    page->own[0] = a;
    page->own[1] = b;
    page->own[2] = c;
    return (IUnknown*)page;
}

IUnknown* NewFakeBrowser(const WCHAR* url, UINT length, HRESULT answer) {
    return NewPage(&browserVtbl, &IID_IWebBrowser2, &IID_IWebBrowserApp, &IID_IWebBrowser, url, length, answer);
}

IUnknown* NewFakeDocument(const WCHAR* url, UINT length, HRESULT answer) {
    return NewPage(&documentVtbl, &IID_IHTMLDocument2, &IID_IHTMLDocument, &IID_IHTMLDocument2, url, length, answer);
}
