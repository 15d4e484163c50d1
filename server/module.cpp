#include "server/module.h"
#include "platform/raii.h"
#include "qvfileio_idl.h"

namespace {

const LCID kLibraryLocale = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);
HINSTANCE g_instance = nullptr;
volatile LONG g_lockCount = 0;

// Loaded under its own lock, once per process.
class TypeInfoCache {
public:
    HRESULT Get(REFGUID guid, LCID lcid, ITypeInfo** info) {
        if (!info) return E_POINTER;
        *info = nullptr;
        ITypeInfo** slot = IsEqualGUID(guid, IID_IQVFileIO) ? &interface_ : IsEqualGUID(guid, CLSID_QVFileIO) ? &class_ : nullptr;
        if (!slot) return TYPE_E_ELEMENTNOTFOUND;
        ScopedLock guard(lock_);
        HRESULT hr = S_OK;
        if (!*slot) {
            ITypeLib* library = nullptr;
            hr = ::LoadRegTypeLib(LIBID_QVFILEIOSVRLib, 1, 0, lcid, &library);
            // Script engines ask in locale 0, which a library registered
            // for US English alone does not answer everywhere.
            if (FAILED(hr) && lcid != kLibraryLocale)
                hr = ::LoadRegTypeLib(LIBID_QVFILEIOSVRLib, 1, 0, kLibraryLocale, &library);
            if (SUCCEEDED(hr)) {
                hr = library->GetTypeInfoOfGuid(guid, slot);
                library->Release();
            }
        }
        if (SUCCEEDED(hr)) {
            *info = *slot;
            (*info)->AddRef();
        }
        return hr;
    }

    void Release() {
        ScopedLock guard(lock_);
        for (ITypeInfo** slot : {&interface_, &class_})
            if (*slot) {
                (*slot)->Release();
                *slot = nullptr;
            }
    }

private:
    CriticalSection lock_;
    ITypeInfo* interface_ = nullptr;
    ITypeInfo* class_ = nullptr;
};

TypeInfoCache g_typeInfo;

}  // namespace

void ReleaseClassObjects();

namespace Module {

void Attach(HINSTANCE instance) { g_instance = instance; }

void Detach() {
    ReleaseClassObjects();
    g_typeInfo.Release();
}

HINSTANCE Instance() { return g_instance; }
void Lock() { ::InterlockedIncrement(&g_lockCount); }
void Unlock() { ::InterlockedDecrement(&g_lockCount); }
LONG LockCount() { return g_lockCount; }

HRESULT GetTypeInfo(REFGUID guid, LCID lcid, ITypeInfo** info) { return g_typeInfo.Get(guid, lcid, info); }

}  // namespace Module
