// A browser's script engine, for tests: runs a JScript file as a page of
// each URL given, with Windows' own JScript engine set up the way a browser
// sets it up, so that `new ActiveXObject` goes through the engine's safety
// check of the object and the object meets the page's site.
//   sitehost.exe SCRIPT PAGE...
// Each PAGE is a page of its own (a new engine, site and browser): a URL,
// or frames within frames, "TOP>FRAME>...>FRAME", whose last frame runs the
// script. As in a browser, the site gives the document that runs the script
// (SID_SContainerDispatch) and the browser, which shows the top page
// (SID_SWebBrowserApp). Before its page's output the host prints
// "page: PAGE"; the script prints with
// host.Echo(text). Exit status: 0 when every page's script ran to its end,
// 1 when one stopped at an error (printed as "script error: ..."), 2 when
// the engine could not be set up.
#include <windows.h>
#include <activscp.h>
#include <dispex.h>
#include <docobj.h>
#include <objsafe.h>
#include <servprov.h>
#include <shlguid.h>
#include <urlmon.h>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>
#include "tests/fakepage.h"

namespace {

// Declared by urlmon.h, defined by no import library.
const GUID kConfirmObjectSafety = {0x10200490, 0xfa38, 0x11d0, {0xac, 0x0e, 0x00, 0xa0, 0xc9, 0x0f, 0xff, 0xc0}};

void Print(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(size, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
    std::printf("%s\n", bytes.c_str());
    std::fflush(stdout);
}

// The named item "host": host.Echo(a, b, ...) prints its arguments.
class Host : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        *object = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ? this : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override { *count = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        *ids = ::lstrcmpW(names[0], L"Echo") == 0 ? 1 : DISPID_UNKNOWN;
        return *ids == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (id != 1) return DISP_E_MEMBERNOTFOUND;
        std::wstring line;
        for (UINT i = params->cArgs; i-- > 0;) {
            VARIANT text;
            ::VariantInit(&text);
            if (SUCCEEDED(::VariantChangeType(&text, &params->rgvarg[i], 0, VT_BSTR)))
                line += std::wstring(V_BSTR(&text), ::SysStringLen(V_BSTR(&text))) + (i ? L" " : L"");
            ::VariantClear(&text);
        }
        Print(line);
        if (result) ::VariantInit(result);
        return S_OK;
    }
} host;

// The page's site: the engine's, and through the engine the object's. It
// answers the host's security manager, the document and the browser, as a
// browser's does.
class Site : public IActiveScriptSite, public IServiceProvider, public IInternetHostSecurityManager {
public:
    explicit Site(const std::wstring& page) {
        const std::wstring top = page.substr(0, page.find(L'>')), frame = page.substr(page.rfind(L'>') + 1);
        browser_ = NewFakeBrowser(top.data(), static_cast<UINT>(top.size()), S_OK);
        document_ = NewFakeDocument(frame.data(), static_cast<UINT>(frame.size()), S_OK);
    }
    ~Site() {
        if (browser_) browser_->Release();
        if (document_) document_->Release();
    }
    bool failed = false;

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        *object = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IActiveScriptSite))
            *object = static_cast<IActiveScriptSite*>(this);
        else if (IsEqualIID(riid, IID_IServiceProvider))
            *object = static_cast<IServiceProvider*>(this);
        else if (IsEqualIID(riid, IID_IInternetHostSecurityManager))
            *object = static_cast<IInternetHostSecurityManager*>(this);
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override { return ::InterlockedDecrement(&refs_); }

    STDMETHODIMP QueryService(REFGUID service, REFIID riid, void** object) override {
        *object = nullptr;
        if (IsEqualGUID(service, SID_SInternetHostSecurityManager)) return QueryInterface(riid, object);
        if (IsEqualGUID(service, SID_SWebBrowserApp) && browser_) return browser_->QueryInterface(riid, object);
        if (IsEqualGUID(service, SID_SContainerDispatch) && document_) return document_->QueryInterface(riid, object);
        return E_NOINTERFACE;
    }

    // The zone's settings allow ActiveX controls to run; other actions are not asked for.
    STDMETHODIMP ProcessUrlAction(DWORD action, BYTE* policy, DWORD size, BYTE*, DWORD, DWORD, DWORD) override {
        if (!policy || size < sizeof(DWORD)) return E_INVALIDARG;
        *reinterpret_cast<DWORD*>(policy) = action == URLACTION_ACTIVEX_RUN ? URLPOLICY_ALLOW : URLPOLICY_DISALLOW;
        return S_OK;
    }
    // The engine asks whether a created object is safe for scripting: a
    // browser asks the object's IObjectSafety to be safe for untrusted
    // callers, on IDispatchEx and then on IDispatch, and refuses an object
    // that declines or has no IObjectSafety.
    STDMETHODIMP QueryCustomPolicy(REFGUID key, BYTE** policy, DWORD* size, BYTE* context, DWORD contextSize,
                                   DWORD) override {
        if (!IsEqualGUID(key, kConfirmObjectSafety) || contextSize != sizeof(CONFIRMSAFETY)) return E_NOTIMPL;
        DWORD answer = URLPOLICY_DISALLOW;
        IObjectSafety* safety = nullptr;
        IUnknown* object = reinterpret_cast<CONFIRMSAFETY*>(context)->pUnk;
        if (object && SUCCEEDED(object->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(&safety)))) {
            DWORD supported = 0, enabled = 0;
            if (FAILED(safety->GetInterfaceSafetyOptions(__uuidof(IDispatchEx), &supported, &enabled))) supported = 0;
            DWORD options = INTERFACESAFE_FOR_UNTRUSTED_CALLER | (supported & INTERFACE_USES_SECURITY_MANAGER);
            HRESULT hr = safety->SetInterfaceSafetyOptions(__uuidof(IDispatchEx), options, options);
            if (FAILED(hr)) {
                options = INTERFACESAFE_FOR_UNTRUSTED_CALLER;
                hr = safety->SetInterfaceSafetyOptions(IID_IDispatch, options, options);
            }
            safety->Release();
            if (SUCCEEDED(hr)) answer = URLPOLICY_ALLOW;
        }
        *policy = static_cast<BYTE*>(::CoTaskMemAlloc(sizeof answer));
        if (!*policy) return E_OUTOFMEMORY;
        *reinterpret_cast<DWORD*>(*policy) = answer;
        *size = sizeof answer;
        return S_OK;
    }
    STDMETHODIMP GetSecurityId(BYTE*, DWORD*, DWORD_PTR) override { return E_NOTIMPL; }

    STDMETHODIMP GetLCID(LCID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) override {
        if (info) *info = nullptr;
        if (::lstrcmpW(name, L"host") != 0 || !(mask & SCRIPTINFO_IUNKNOWN)) return TYPE_E_ELEMENTNOTFOUND;
        *item = &host;
        return S_OK;
    }
    STDMETHODIMP GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    STDMETHODIMP OnStateChange(SCRIPTSTATE) override { return S_OK; }
    STDMETHODIMP OnScriptError(IActiveScriptError* error) override {
        EXCEPINFO info = {};
        error->GetExceptionInfo(&info);
        wchar_t number[16];
        ::wsprintfW(number, L"%08X", static_cast<unsigned>(info.scode ? info.scode : info.wCode));
        Print(std::wstring(L"script error: ") + number + L" " + (info.bstrDescription ? info.bstrDescription : L""));
        ::SysFreeString(info.bstrSource);
        ::SysFreeString(info.bstrDescription);
        ::SysFreeString(info.bstrHelpFile);
        failed = true;
        return S_OK;
    }
    STDMETHODIMP OnEnterScript() override { return S_OK; }
    STDMETHODIMP OnLeaveScript() override { return S_OK; }

private:
    IUnknown* browser_;
    IUnknown* document_;
    LONG refs_ = 1;
};

std::wstring ReadScript(const wchar_t* path) {
    HANDLE file = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return L"";
    std::string bytes(::GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ::ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    ::CloseHandle(file);
    std::wstring text(bytes.size(), L'\0');
    text.resize(::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(read), &text[0],
                                      static_cast<int>(text.size())));
    return text;
}

// One page: the engine made safe for untrusted data and told to ask the
// host's security manager before it creates an object, as a browser does,
// then started on the page's site and given the script.
int RunPage(const std::wstring& script, Site& site) {
    CLSID jscript;
    IActiveScript* engine = nullptr;
    IObjectSafety* safety = nullptr;
    IActiveScriptParse* parser = nullptr;
    const DWORD options = INTERFACESAFE_FOR_UNTRUSTED_DATA | INTERFACE_USES_DISPEX | INTERFACE_USES_SECURITY_MANAGER;
    bool ready = SUCCEEDED(::CLSIDFromProgID(L"JScript", &jscript)) &&
                 SUCCEEDED(::CoCreateInstance(jscript, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                                              reinterpret_cast<void**>(&engine))) &&
                 SUCCEEDED(engine->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(&safety))) &&
                 SUCCEEDED(safety->SetInterfaceSafetyOptions(__uuidof(IActiveScriptParse), options, options)) &&
                 SUCCEEDED(engine->QueryInterface(__uuidof(IActiveScriptParse), reinterpret_cast<void**>(&parser))) &&
                 SUCCEEDED(parser->InitNew()) && SUCCEEDED(engine->SetScriptSite(&site)) &&
                 SUCCEEDED(engine->AddNamedItem(L"host", SCRIPTITEM_ISVISIBLE)) &&
                 SUCCEEDED(engine->SetScriptState(SCRIPTSTATE_STARTED));
    if (ready) parser->ParseScriptText(script.c_str(), nullptr, nullptr, nullptr, 0, 0, 0, nullptr, nullptr);
    if (parser) parser->Release();
    if (safety) safety->Release();
    if (engine) {
        engine->Close();
        engine->Release();
    }
    if (!ready) Print(L"the script engine could not be set up");
    return !ready ? 2 : site.failed ? 1 : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: sitehost SCRIPT URL...\n");
        return 2;
    }
    const std::wstring script = ReadScript(argv[1]);
    if (script.empty()) {
        std::fprintf(stderr, "sitehost: cannot read the script\n");
        return 2;
    }
    // The sites outlive the pages: an object may hold its site until COM ends.
    std::vector<std::unique_ptr<Site>> sites;
    ::CoInitialize(nullptr);
    int status = 0;
    for (int i = 2; i < argc; ++i) {
        Print(std::wstring(L"page: ") + argv[i]);
        sites.emplace_back(new Site(argv[i]));
        const int page = RunPage(script, *sites.back());
        if (page > status) status = page;
    }
    ::CoUninitialize();
    return status;
}
