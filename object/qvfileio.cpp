#include "object/qvfileio.h"
#include "server/module.h"
#include <new>

QVFileIO::QVFileIO(IUnknown* outer) : inner_(*this), outer_(outer ? outer : &inner_) {
    Module::Lock();
    // The policy as it stands now; what in it allows nothing is recorded.
    std::vector<Confinement::Problem> problems;
    try {
        confinement_.Load(problems);
    } catch (...) {
        confinement_.AllowNothing();  // a policy that cannot be read in full
    }
    for (const Confinement::Problem& problem : problems)
        Report(HResultFromWin32(ERROR_INVALID_DATA), __LINE__,
               {problem.label.c_str(), problem.entry.c_str(), "Error: ", problem.message});
}

QVFileIO::~QVFileIO() { Module::Unlock(); }

HRESULT QVFileIO::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    QVFileIO* created = new (std::nothrow) QVFileIO(outer);
    if (!created) return E_OUTOFMEMORY;
    // Held at 1 while asking, so a failed query destroys the object.
    created->inner_.AddRef();
    const HRESULT hr = created->inner_.QueryInterface(riid, object);
    created->inner_.Release();
    return hr;
}

// The interface table, in the order the object answers.
HRESULT QVFileIO::Inner::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    IUnknown* found = nullptr;
    if (IsEqualIID(riid, IID_IUnknown))  // alone, the object's identity is its IQVFileIO
        found = self_.outer_ == this ? static_cast<IUnknown*>(self_.Self()) : this;
    else if (IsEqualIID(riid, IID_IQVFileIO) || IsEqualIID(riid, IID_IDispatch))
        found = static_cast<IQVFileIO*>(&self_);
    else if (IsEqualIID(riid, IID_IObjectSafety))
        found = static_cast<IObjectSafety*>(&self_);
    else if (IsEqualIID(riid, IID_IProvideClassInfo) || IsEqualIID(riid, IID_IProvideClassInfo2))
        found = static_cast<IProvideClassInfo2*>(&self_);
    else if (IsEqualIID(riid, IID_ISupportErrorInfo))
        found = static_cast<ISupportErrorInfo*>(&self_);
    // Only where the policy limits pages: a site matters nowhere else, and
    // some script hosts cannot create an object that asks for one (Wine's
    // VBScript, whose hosts give none).
    else if (IsEqualIID(riid, IID_IObjectWithSite) && self_.confinement_.Pages().Limits())
        found = static_cast<IObjectWithSite*>(&self_);
    if (!found) return E_NOINTERFACE;
    found->AddRef();
    *object = found;
    return S_OK;
}

ULONG QVFileIO::Inner::AddRef() { return ++self_.refs_; }

ULONG QVFileIO::Inner::Release() {
    const ULONG refs = --self_.refs_;
    if (refs == 0) delete &self_;
    return refs;
}

HRESULT QVFileIO::QueryInterface(REFIID riid, void** object) { return outer_->QueryInterface(riid, object); }
ULONG QVFileIO::AddRef() { return outer_->AddRef(); }
ULONG QVFileIO::Release() { return outer_->Release(); }

HRESULT QVFileIO::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT QVFileIO::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return Module::GetTypeInfo(IID_IQVFileIO, lcid, info);
}

HRESULT QVFileIO::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    com_ptr<ITypeInfo> info;
    HRESULT hr = Module::GetTypeInfo(IID_IQVFileIO, lcid, info.put());
    return FAILED(hr) ? hr : info->GetIDsOfNames(names, count, ids);
}

HRESULT QVFileIO::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* exception, UINT* argError) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    // A page reaches the operations only through here.
    if (siteRefused_) return RefuseForSite(exception);
    com_ptr<ITypeInfo> info;
    HRESULT hr = Module::GetTypeInfo(IID_IQVFileIO, lcid, info.put());
    return FAILED(hr) ? hr : info->Invoke(Self(), id, flags, params, result, exception, argError);
}

namespace {
const DWORD kSupportedSafety = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
}

HRESULT QVFileIO::GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) {
    if (!supported || !enabled) return E_POINTER;
    com_ptr<IUnknown> answered;
    const HRESULT hr = inner_.QueryInterface(riid, answered.put_void());
    if (FAILED(hr)) {
        *supported = 0;
        *enabled = 0;
        return hr;
    }
    *supported = kSupportedSafety;
    *enabled = enabledSafety_;
    return S_OK;
}

HRESULT QVFileIO::SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) {
    // On a page that the site policy refuses the object is not safe.
    if (siteRefused_) return E_FAIL;
    com_ptr<IUnknown> answered;
    if (FAILED(inner_.QueryInterface(riid, answered.put_void()))) return E_NOINTERFACE;
    if (mask & ~kSupportedSafety) return E_FAIL;
    enabledSafety_ = (enabledSafety_ & ~mask) | (enabled & mask);
    return S_OK;
}

HRESULT QVFileIO::GetClassInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    return Module::GetTypeInfo(CLSID_QVFileIO, LOCALE_USER_DEFAULT, info);
}

HRESULT QVFileIO::GetGUID(DWORD, GUID* guid) {
    if (!guid) return E_POINTER;
    *guid = GUID_NULL;
    return E_FAIL;
}

HRESULT QVFileIO::InterfaceSupportsErrorInfo(REFIID riid) {
    return IsEqualIID(riid, IID_IQVFileIO) ? S_OK : S_FALSE;
}
