// The site part of the policy: origins as the system's URL parser reads
// them, zones as its security manager maps them, the page's URL as a
// container hands it over, and the policy as the registry holds it.
#include "object/confinement.h"
#include "object/site.h"
#include "tests/cpp/support.h"
#include "platform/text.h"
#include "tests/fakepage.h"
#include <mshtml.h>
#include <urlmon.h>

namespace {

const wchar_t kIntranet[] = L"https://intranet.example.com";

// A container's site: it answers a service provider, the host's security
// manager, the browser and its document, each only when given one; the
// document as a client site's container (an <object> element's site), or
// `served` through SID_SContainerDispatch (the site a script engine gives an
// object it creates). Lives on the stack and counts its references.
class FakeSite : public IServiceProvider, public IOleClientSite, public IOleContainer,
                 public IInternetHostSecurityManager {
public:
    FakeSite(IUnknown* browser, IUnknown* document, bool services, bool securityManager, bool served = false)
        : services_(services || browser || securityManager || served), securityManager_(securityManager),
          served_(served) {
        *browser_.put() = browser;
        *document_.put() = document;
    }
    ULONG refs() const { return refs_; }

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        *object = nullptr;
        if (IsEqualIID(riid, IID_IUnknown)) *object = static_cast<IServiceProvider*>(this);
        if (IsEqualIID(riid, IID_IServiceProvider) && services_) *object = static_cast<IServiceProvider*>(this);
        const bool clientSite = document_ && !served_;
        if (IsEqualIID(riid, IID_IOleClientSite) && clientSite) *object = static_cast<IOleClientSite*>(this);
        if (IsEqualIID(riid, IID_IOleContainer) && clientSite) *object = static_cast<IOleContainer*>(this);
        if (IsEqualIID(riid, IID_IInternetHostSecurityManager) && securityManager_)
            *object = static_cast<IInternetHostSecurityManager*>(this);
        // The container stands in for its document.
        if (IsEqualIID(riid, IID_IHTMLDocument2) && clientSite) return document_->QueryInterface(riid, object);
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override { return --refs_; }
    STDMETHODIMP QueryService(REFGUID service, REFIID riid, void** object) override {
        *object = nullptr;
        if (IsEqualGUID(service, SID_SWebBrowserApp) && browser_) return browser_->QueryInterface(riid, object);
        if (IsEqualGUID(service, SID_SContainerDispatch) && document_ && served_)
            return document_->QueryInterface(riid, object);
        if (IsEqualGUID(service, SID_SInternetHostSecurityManager)) return QueryInterface(riid, object);
        return E_NOINTERFACE;
    }
    STDMETHODIMP GetContainer(IOleContainer** container) override {
        return QueryInterface(IID_IOleContainer, reinterpret_cast<void**>(container));
    }
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP ShowObject() override { return E_NOTIMPL; }
    STDMETHODIMP OnShowWindow(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
    STDMETHODIMP ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP EnumObjects(DWORD, IEnumUnknown**) override { return E_NOTIMPL; }
    STDMETHODIMP LockContainer(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetSecurityId(BYTE*, DWORD*, DWORD_PTR) override { return E_NOTIMPL; }
    STDMETHODIMP ProcessUrlAction(DWORD, BYTE*, DWORD, BYTE*, DWORD, DWORD, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP QueryCustomPolicy(REFGUID, BYTE**, DWORD*, BYTE*, DWORD, DWORD) override { return E_NOTIMPL; }

private:
    com_ptr<IUnknown> browser_, document_;
    bool services_, securityManager_, served_;
    ULONG refs_ = 0;
};

IUnknown* Browser(const std::wstring& url, HRESULT answer = S_OK) {
    return NewFakeBrowser(url.data(), static_cast<UINT>(url.size()), answer);
}
IUnknown* Document(const std::wstring& url, HRESULT answer = S_OK) {
    return NewFakeDocument(url.data(), static_cast<UINT>(url.size()), answer);
}

SitePolicy Sites(std::vector<std::wstring> sites) {
    SitePolicy policy;
    policy.hasSites = true;
    policy.sites = std::move(sites);
    return policy;
}


TEST(SiteTest, OriginsComparedAsTheSystemParsesThem) {
    std::vector<std::wstring> many;
    for (int i = 0; i < 5000; ++i) many.push_back(L"https://host" + std::to_wstring(i) + L".example.com");
    std::vector<std::wstring> manyThenIntranet = many;
    manyThenIntranet.push_back(kIntranet);
    const std::wstring longPath(8000, L'x');
    // Names of 253 and 254 characters below corp.example.com, of labels up to 63.
    const std::wstring label63(63, L'a'), labels = label63 + L'.' + label63 + L'.' + label63 + L'.';
    const std::wstring name253 = labels + std::wstring(44, L'b') + L".corp.example.com",
                       name254 = labels + std::wstring(45, L'b') + L".corp.example.com";
    const struct {
        std::wstring url;
        std::vector<std::wstring> sites;
        bool listed;
    } cases[] = {
        {L"https://intranet.example.com", {kIntranet}, true},
        {L"https://intranet.example.com/app/page.html?x=1#top", {kIntranet}, true},
        {L"https://INTRANET.Example.COM:443/", {kIntranet}, true},
        {L"https://intranet.example.com./", {kIntranet}, true},
        {L"https://user@intranet.example.com/", {kIntranet}, true},
        {L"https://intr%61net.example.com/", {kIntranet}, true},
        {L"https://intranet.example.com/" + longPath, {kIntranet}, true},
        {L"https://intranet.example.com.evil.test/", {kIntranet}, false},
        {L"https://evil-intranet.example.com/", {kIntranet}, false},
        {L"https://intranet.example.com@evil.test/", {kIntranet}, false},
        {L"https://intranet.example.com%2eevil.test/", {kIntranet}, false},
        {L"http://intranet.example.com/", {kIntranet}, false},
        {L"https://intranet.example.com:8443/", {kIntranet}, false},
        {L"https://evil.test/?https://intranet.example.com", {kIntranet}, false},
        {L"https://evil.test/" + longPath + L"#https://intranet.example.com", {kIntranet}, false},
        {L"file:///C:/intranet.example.com/page.html", {kIntranet, L"file:///C:/"}, false},
        {L"about:blank", {kIntranet, L"about:blank"}, false},
        {L"https://\x0456ntranet.example.com/", {kIntranet}, false},  // a Cyrillic letter i
        {L"", {kIntranet}, false},
        {L"intranet.example.com", {kIntranet}, false},
        {L"http://server:8080/app", {L"http://server:8080"}, true},
        {L"http://SERVER:8080", {L"http://server:8080"}, true},
        {L"http://server/", {L"http://server:8080"}, false},
        {L"https://a.corp.example.com/", {L"https://*.corp.example.com"}, true},
        {L"https://a.b.corp.example.com/", {L"https://*.corp.example.com"}, true},
        {L"https://corp.example.com/", {L"https://*.corp.example.com"}, false},
        {L"https://evilcorp.example.com/", {L"https://*.corp.example.com"}, false},
        {L"https://a.corp.example.com.evil.test/", {L"https://*.corp.example.com"}, false},
        {L"http://a.corp.example.com/", {L"https://*.corp.example.com"}, false},
        {L"https://b\x00fc" L"cher.example/", {L"https://xn--bcher-kva.example"}, true},
        {L"https://xn--bcher-kva.example/", {L"https://b\x00fc" L"cher.example."}, true},
        {L"ftp://intranet.example.com/", {L"ftp://intranet.example.com"}, false},
        {L"https://intranet.example.com/", {L"  https://intranet.example.com  "}, true},
        {L"https://intranet.example.com/", manyThenIntranet, true},
        {L"https://intranet.example.com/", many, false},
        // Entries that are not plain origins allow nothing.
        {L"https://intranet.example.com/app", {L"https://intranet.example.com/app"}, false},
        {L"https://intranet.example.com/?q", {L"https://intranet.example.com/?q"}, false},
        {L"https://intranet.example.com/#f", {L"https://intranet.example.com#f"}, false},
        {L"https://intranet.example.com/", {L"https://user@intranet.example.com"}, false},
        {L"https://intranet.example.com/", {L"https://intranet.*.com"}, false},
        {L"https://intranet.example.com/", {L"https://*intranet.example.com"}, false},
        {L"https://intranet.example.com/", {L"https://*.*.example.com"}, false},
        {L"https://intranet.example.com/", {L"https://*"}, false},
        {L"https://intranet.example.com/", {L"*"}, false},
        {L"https://intranet.example.com/", {L"intranet.example.com"}, false},
        {L"https://intranet.example.com:0/", {L"https://intranet.example.com:0"}, false},
        {L"https://intranet.example.com/", {L"https://intranet.example.com:99999"}, false},
        {L"https://intranet.example.com/", {L""}, false},
        // A host is a DNS name, or an IP address, or it matches nothing.
        {L"https://evil.test%2fx.corp.example.com/", {L"https://*.corp.example.com"}, false},
        {L"http://server.:8080/", {L"http://server:8080"}, false},
        {L"https://a.corp.example.com./", {L"https://*.corp.example.com."}, true},
        {L"https://" + name253 + L"/", {L"https://*.corp.example.com"}, true},
        {L"https://" + name253 + L"./", {L"https://*.corp.example.com"}, true},
        {L"https://" + name254 + L"/", {L"https://*.corp.example.com"}, false},
        {L"https://" + label63 + L"a.corp.example.com/", {L"https://*.corp.example.com"}, false},
        {L"http://10.0.0.5:8080/", {L"http://10.0.0.5:8080"}, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.listed, OriginListed(c.url.c_str(), c.sites))
            << ToAnsi(c.url.substr(0, 80).c_str()) << " against " << ToAnsi(c.sites.back().c_str());
    EXPECT_FALSE(OriginListed(nullptr, {kIntranet}));
}

TEST(SiteTest, ZonesAsTheSecurityManagerMapsThem) {
    ScopedKey domains(HKEY_CURRENT_USER,
                      L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains\\qvsite.test");
    ScopedKey intranet(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap"
                                          L"\\Domains\\qvsite.test\\intra");
    ScopedKey trusted(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap"
                                         L"\\Domains\\qvsite.test\\trusted");
    ScopedKey restricted(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap"
                                            L"\\Domains\\qvsite.test\\bad");
    intranet.Set(L"https", 1);
    trusted.Set(L"https", 2);
    restricted.Set(L"*", 4);
    const struct {
        const wchar_t* url;
        bool hasSites;
        DWORD zones;
        bool allowed;
    } cases[] = {
        {L"https://intra.qvsite.test/", false, 1u << 1, true},
        {L"https://intra.qvsite.test/", false, 1u << 2 | 1u << 3, false},
        {L"http://intra.qvsite.test/", false, 1u << 1, false},  // mapped for https only
        {L"https://trusted.qvsite.test/", false, 1u << 2, true},
        {L"https://elsewhere.qvsite.test/", false, 1u << 3, true},
        {L"https://elsewhere.qvsite.test/", false, 0x17, false},
        {L"https://bad.qvsite.test/", false, 1u << 4, true},
        {L"https://bad.qvsite.test/", false, 0x0F, false},
        {L"file:///C:/page.html", false, 1u << 0, true},
        {L"file:///C:/page.html", false, 0x1E, false},
        {L"https:intranet", false, 0xFFFFFFFF, false},  // no host: an invalid zone
        {L"https://evil.test%2fx.qvsite.test/", false, 0xFFFFFFFF, false},  // no DNS name, whatever its zone
        {L"https://intra.qvsite.test/", false, 0, false},
        {L"https://intranet.example.com/", true, 1u << 1, true},
        {L"https://intra.qvsite.test/", true, 1u << 1, true},
        {L"https://elsewhere.qvsite.test/", true, 1u << 1, false},
    };
    for (const auto& c : cases) {
        SitePolicy policy = c.hasSites ? Sites({kIntranet}) : SitePolicy();
        policy.hasZones = true;
        policy.zones = c.zones;
        FakeSite site(Browser(c.url), nullptr, true, true);
        std::wstring url;
        EXPECT_EQ(c.allowed, PageAllowed(static_cast<IServiceProvider*>(&site), policy, url))
            << ToAnsi(c.url) << " with zones " << c.zones;
        EXPECT_EQ(c.url, url);
    }
    EXPECT_FALSE(ZoneInMask(URLZONE_INVALID, 0xFFFFFFFF));
    EXPECT_FALSE(ZoneInMask(5, 0xFFFFFFFF)) << "zones past the restricted sites are not in the mask";
}

TEST(SiteTest, PageUrlFromTheContainer) {
    const std::wstring intranet = L"https://intranet.example.com/app";
    const std::wstring withNul(L"https://intranet.example.com\0.evil.test/", 41);
    const struct {
        const char* what;
        IUnknown* browser;
        IUnknown* document;
        bool services, securityManager;
        const wchar_t* url;  // null: none can be had
        bool browserSite, allowed;
        bool served;  // the document through SID_SContainerDispatch
    } cases[] = {
        {"the browser's URL: no HTML document", Browser(intranet), nullptr, true, true, intranet.c_str(), true, true},
        {"the document's URL", nullptr, Document(intranet), false, false, intranet.c_str(),
         true, true},
        {"the served document's URL", nullptr, Document(intranet), false, false, intranet.c_str(), true, true, true},
        {"a document that fails, never passed over", Browser(intranet), Document(intranet, E_FAIL), true, true,
         nullptr, true, false, true},
        {"a security manager without a page", nullptr, nullptr, true, true, nullptr, true, false},
        {"a browser that fails", Browser(intranet, E_FAIL), nullptr, true, true, nullptr, true, false},
        {"a document that fails", nullptr, Document(intranet, E_FAIL), false, false, nullptr, true,
         false},
        {"a served document that fails", nullptr, Document(intranet, E_FAIL), false, false, nullptr, true, false, true},
        {"a URL with a NUL inside", Browser(withNul), nullptr, true, true, nullptr, true, false},
        {"an empty URL", Browser(L""), nullptr, true, true, nullptr, true, false},
        {"a script host's site, answering no service", nullptr, nullptr, true, false, nullptr, false, true},
        {"a site answering nothing", nullptr, nullptr, false, false, nullptr, false, true},
    };
    for (const auto& c : cases) {
        FakeSite site(c.browser, c.document, c.services, c.securityManager, c.served);
        IUnknown* unknown = static_cast<IServiceProvider*>(&site);
        std::wstring url = L"sentinel";
        const HRESULT hr = PageUrl(unknown, url);
        EXPECT_EQ(c.url != nullptr, SUCCEEDED(hr)) << c.what << ": " << Hex(hr);
        EXPECT_EQ(c.url ? c.url : L"", url) << c.what;
        EXPECT_EQ(c.browserSite, IsBrowserSite(unknown)) << c.what;
        EXPECT_EQ(c.allowed, PageAllowed(unknown, Sites({kIntranet}), url)) << c.what;
        EXPECT_TRUE(PageAllowed(unknown, SitePolicy(), url)) << c.what << ": without a policy every page may";
        EXPECT_EQ(0u, site.refs()) << c.what << ": every reference given back";
    }
    std::wstring url;
    EXPECT_EQ(E_POINTER, PageUrl(nullptr, url));
    EXPECT_TRUE(PageAllowed(nullptr, Sites({}), url)) << "no site, no page to refuse";
}

TEST(SiteTest, PolicyReadWithTheRestOfThePolicy) {
    ScopedKey key(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\QVFileIO");
    const wchar_t sites[] = L"https://intranet.example.com\0\0  http://server:8080 \0";
    key.Set(L"Sites", REG_MULTI_SZ, sites, sizeof sites);
    key.Set(L"Zones", 6);
    std::vector<Confinement::Problem> problems;
    Confinement policy;
    policy.Load(problems);
    EXPECT_TRUE(policy.Pages().hasSites && policy.Pages().hasZones && problems.empty());
    EXPECT_EQ(std::vector<std::wstring>({kIntranet, L"http://server:8080"}), policy.Pages().sites);
    EXPECT_EQ(6u, policy.Pages().zones);
    // Values of the wrong type limit pages and allow none, each with its record.
    key.Set(L"Sites", REG_SZ, kIntranet, sizeof kIntranet);
    key.Set(L"Zones", REG_SZ, L"6", 4);
    Confinement wrong;
    wrong.Load(problems);
    EXPECT_TRUE(wrong.Pages().hasSites && wrong.Pages().sites.empty() && wrong.Pages().hasZones && !wrong.Pages().zones);
    EXPECT_EQ(2u, problems.size());
}

// The object in a page: it answers IObjectWithSite and holds its site; on a
// page that the policy refuses it is not safe and every call fails.
class ObjectWithSiteTest : public QVFileIOTest {
protected:
    // IsValidFileOrDirectoryName("a.txt", 0) called as a page's script calls it.
    HRESULT CallFromPage(IUnknown* page, std::wstring& description) {
        com_ptr<IDispatch> dispatch;
        EXPECT_EQ(S_OK, page->QueryInterface(IID_IDispatch, dispatch.put_void()));
        LPOLESTR name = const_cast<LPOLESTR>(L"IsValidFileOrDirectoryName");
        DISPID id = 0;
        EXPECT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
        Bstr text(L"a.txt");
        VARIANT args[2], result;
        args[0].vt = VT_I4;
        args[0].lVal = 0;
        args[1].vt = VT_BSTR;
        args[1].bstrVal = text;
        ::VariantInit(&result);
        DISPPARAMS params = {args, nullptr, 2, 0};
        EXCEPINFO exception = {};
        HRESULT hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                                      &exception, nullptr);
        ::VariantClear(&result);
        description = exception.bstrDescription ? exception.bstrDescription : L"";
        if (hr == DISP_E_EXCEPTION) hr = exception.scode;
        const bool ours = exception.bstrSource && std::wstring(exception.bstrSource) == L"QVFileIOSvr.QVFileIO3.1";
        EXPECT_EQ(FAILED(hr), ours) << "a failure's source is the class";
        ::SysFreeString(exception.bstrSource);
        ::SysFreeString(exception.bstrDescription);
        ::SysFreeString(exception.bstrHelpFile);
        return hr;
    }
};

TEST_F(ObjectWithSiteTest, HoldsItsSiteUntilLetGo) {
    com_ptr<IObjectWithSite> withSite;
    EXPECT_EQ(E_NOINTERFACE, object->QueryInterface(IID_IObjectWithSite, withSite.put_void()))
        << "without Sites or Zones pages are not limited: no site is asked for";
    ScopedKey key(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\QVFileIO");
    key.Set(L"Zones", 6);
    com_ptr<IClassFactory> factory;
    ASSERT_EQ(S_OK, DllGetClassObject(CLSID_QVFileIO, IID_IClassFactory, factory.put_void()));
    object.reset();
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IQVFileIO, object.put_void()));
    ASSERT_EQ(S_OK, object->QueryInterface(IID_IObjectWithSite, withSite.put_void()));
    com_ptr<IUnknown> identity;
    ASSERT_EQ(S_OK, withSite->QueryInterface(IID_IUnknown, identity.put_void()));
    EXPECT_EQ(static_cast<void*>(object.get()), static_cast<void*>(identity.get()));
    void* none = &identity;
    EXPECT_EQ(E_FAIL, withSite->GetSite(IID_IUnknown, &none));
    EXPECT_EQ(nullptr, none);
    FakeSite site(Browser(kIntranet), nullptr, true, true);
    IUnknown* unknown = static_cast<IServiceProvider*>(&site);
    EXPECT_EQ(S_OK, withSite->SetSite(unknown));
    EXPECT_EQ(1u, site.refs());
    com_ptr<IServiceProvider> got;
    EXPECT_EQ(S_OK, withSite->GetSite(IID_IServiceProvider, got.put_void()));
    EXPECT_EQ(static_cast<IServiceProvider*>(&site), got.get());
    got.reset();
    EXPECT_EQ(S_OK, withSite->SetSite(nullptr));
    EXPECT_EQ(0u, site.refs()) << "SetSite(NULL) lets the site go";
    EXPECT_EQ(S_OK, withSite->SetSite(unknown));
    withSite.reset();
    identity.reset();
    object.reset();
    EXPECT_EQ(0u, site.refs()) << "and so does the object's end";
}

TEST_F(ObjectWithSiteTest, RefusedPageIsNotSafeAndFailsEveryCall) {
    ScopedKey key(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\QVFileIO");
    const wchar_t sites[] = L"https://intranet.example.com\0";
    key.Set(L"Sites", REG_MULTI_SZ, sites, sizeof sites);
    // The page's browser shows `top`; the object is in `frame`'s document,
    // as an <object> element or created by the frame's script (`served`).
    const struct {
        const wchar_t* top;    // null: a script host's site
        const wchar_t* frame;  // null: no HTML document
        bool served, allowed;
    } cases[] = {
        {L"https://intranet.example.com/app", nullptr, false, true},
        {L"https://evil.test/page", nullptr, false, false},
        {nullptr, nullptr, false, true},
        {L"https://intranet.example.com/app", L"https://evil.test/ad", false, false},
        {L"https://intranet.example.com/app", L"https://evil.test/ad", true, false},
        {L"https://evil.test/page", L"https://intranet.example.com/app", false, true},
        {L"https://evil.test/page", L"https://intranet.example.com/app", true, true},
    };
    com_ptr<IClassFactory> factory;
    ASSERT_EQ(S_OK, DllGetClassObject(CLSID_QVFileIO, IID_IClassFactory, factory.put_void()));
    for (const auto& c : cases) {
        const std::string url = c.frame ? ToAnsi(c.frame) : c.top ? ToAnsi(c.top) : "";
        const std::string what = !c.top ? "a script host's site"
                                 : !c.frame ? url
                                            : url + " in " + ToAnsi(c.top) + (c.served ? ", served" : "");
        DeleteLog();
        com_ptr<IObjectWithSite> page;
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IObjectWithSite, page.put_void()));
        FakeSite site(c.top ? Browser(c.top) : nullptr, c.frame ? Document(c.frame) : nullptr, true, c.top != nullptr,
                      c.served);
        EXPECT_EQ(S_OK, page->SetSite(static_cast<IServiceProvider*>(&site)));
        com_ptr<IObjectSafety> safety;
        ASSERT_EQ(S_OK, page->QueryInterface(IID_IObjectSafety, safety.put_void()));
        const DWORD untrusted = INTERFACESAFE_FOR_UNTRUSTED_CALLER;
        EXPECT_EQ(c.allowed ? S_OK : E_FAIL, safety->SetInterfaceSafetyOptions(IID_IDispatch, untrusted, untrusted))
            << what;
        std::wstring description;
        EXPECT_EQ(c.allowed ? S_OK : E_ACCESSDENIED, CallFromPage(page.get(), description)) << what;
        if (c.allowed) {
            EXPECT_TRUE(ReadLog().empty()) << what;
            continue;
        }
        EXPECT_EQ(L"Refused by the administrator's policy", description);
        // Letting the site go lifts nothing: the page may still hold the object.
        EXPECT_EQ(S_OK, page->SetSite(nullptr));
        EXPECT_EQ(E_ACCESSDENIED, CallFromPage(page.get(), description));
        const std::vector<LogRecord> records = ReadLog();
        ASSERT_EQ(2u, records.size()) << "one record a call";
        for (const LogRecord& record : records) {
            EXPECT_EQ("80070005", record.hresult);
            EXPECT_EQ(std::vector<std::string>({"URL: " + url, "Error: Refused by the administrator's policy"}),
                      record.pieces);
        }
    }
}

}  // namespace
