// The class table and the class object that creates QVFileIO objects.
#include "object/qvfileio.h"
#include "server/module.h"
#include <new>

namespace {

class ClassFactory : public IClassFactory {
public:
    using Creator = HRESULT (*)(IUnknown*, REFIID, void**);
    explicit ClassFactory(Creator creator) : creator_(creator) {}
    virtual ~ClassFactory() = default;

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) return E_NOINTERFACE;
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    // The class table's own reference does not keep the server loaded; a
    // client's does.
    STDMETHODIMP_(ULONG) AddRef() override {
        const LONG refs = ::InterlockedIncrement(&refs_);
        if (refs == 2) Module::Lock();
        return refs;
    }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG refs = ::InterlockedDecrement(&refs_);
        if (refs == 1) Module::Unlock();
        if (refs == 0) delete this;
        return refs;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        return creator_(outer, riid, object);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        lock ? Module::Lock() : Module::Unlock();
        return S_OK;
    }

private:
    volatile LONG refs_ = 1;
    Creator creator_;
};

struct ClassEntry {
    const CLSID* clsid;
    ClassFactory::Creator create;
    IClassFactory* classObject;
};

ClassEntry g_classes[] = {
    {&CLSID_QVFileIO, &QVFileIO::CreateInstance, nullptr},
};

CriticalSection g_classObjectLock;

}  // namespace

void ReleaseClassObjects() {
    for (ClassEntry& entry : g_classes)
        if (IClassFactory* object = entry.classObject) {
            entry.classObject = nullptr;
            object->Release();
        }
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    for (ClassEntry& entry : g_classes) {
        if (!IsEqualCLSID(clsid, *entry.clsid)) continue;
        IClassFactory* classObject;
        {
            ScopedLock lock(g_classObjectLock);
            if (!entry.classObject) entry.classObject = new (std::nothrow) ClassFactory(entry.create);
            classObject = entry.classObject;
        }
        if (!classObject) return E_OUTOFMEMORY;
        return classObject->QueryInterface(riid, object);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return Module::LockCount() == 0 ? S_OK : S_FALSE; }
