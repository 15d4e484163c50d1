// The object's interfaces (QueryInterface table, error information, object
// safety, class information, IDispatch through the type library) and the
// component server's class object and unload count.
#include "object/frame.h"
#include "server/module.h"
#include "tests/cpp/support.h"

namespace {

const wchar_t kProgId[] = L"QVFileIOSvr.QVFileIO3.1";

// A distinct non-null value, to see whether an out pointer was written.
void* const kUnwritten = reinterpret_cast<void*>(0x1234);

class ObjectTest : public QVFileIOTest {
protected:
    template <class I>
    void Query(REFIID riid, com_ptr<I>& result) {
        EXPECT_EQ(S_OK, object->QueryInterface(riid, result.put_void()));
    }
};

TEST_F(ObjectTest, QueryInterfaceTable) {
    com_ptr<IUnknown> unknown;
    Query(IID_IUnknown, unknown);
    com_ptr<IDispatch> dispatch;
    Query(IID_IDispatch, dispatch);
    com_ptr<IQVFileIO> qv;
    Query(IID_IQVFileIO, qv);
    com_ptr<IProvideClassInfo> classInfo;
    Query(IID_IProvideClassInfo, classInfo);
    com_ptr<IProvideClassInfo2> classInfo2;
    Query(IID_IProvideClassInfo2, classInfo2);
    com_ptr<IObjectSafety> safety;
    Query(IID_IObjectSafety, safety);
    com_ptr<ISupportErrorInfo> errorInfo;
    Query(IID_ISupportErrorInfo, errorInfo);

    EXPECT_EQ(static_cast<void*>(qv.get()), static_cast<void*>(object.get()));
    EXPECT_EQ(static_cast<void*>(qv.get()), static_cast<void*>(dispatch.get())) << "IDispatch is IQVFileIO";
    EXPECT_EQ(static_cast<void*>(qv.get()), static_cast<void*>(unknown.get())) << "identity is IQVFileIO";
    EXPECT_EQ(static_cast<void*>(classInfo.get()), static_cast<void*>(classInfo2.get()));
    ASSERT_TRUE(safety && errorInfo && classInfo);

    // Every interface leads back to the same identity.
    for (IUnknown* from : {static_cast<IUnknown*>(safety.get()), static_cast<IUnknown*>(errorInfo.get()),
                           static_cast<IUnknown*>(classInfo2.get())}) {
        com_ptr<IUnknown> identity;
        ASSERT_EQ(S_OK, from->QueryInterface(IID_IUnknown, identity.put_void()));
        EXPECT_EQ(unknown.get(), identity.get());
    }

    for (const IID* other : {&IID_IStream, &IID_IPersist, &IID_IClassFactory, &IID_IMarshal, &IID_IPersistStream,
                             &IID_IConnectionPointContainer, &IID_NULL}) {
        void* out = kUnwritten;
        EXPECT_EQ(E_NOINTERFACE, object->QueryInterface(*other, &out));
        EXPECT_EQ(nullptr, out);
        out = kUnwritten;
        EXPECT_EQ(E_NOINTERFACE, safety->QueryInterface(*other, &out));
        EXPECT_EQ(nullptr, out);
    }
}

TEST_F(ObjectTest, ReferenceCountIsPlain) {
    // The fixture holds one reference.
    EXPECT_EQ(2u, object->AddRef());
    com_ptr<IObjectSafety> safety;
    Query(IID_IObjectSafety, safety);
    EXPECT_EQ(4u, safety->AddRef()) << "one count for every interface";
    EXPECT_EQ(3u, safety->Release());
    EXPECT_EQ(2u, object->Release());
    safety.reset();
    EXPECT_EQ(2u, object->AddRef());
    EXPECT_EQ(1u, object->Release()) << "the fixture's reference is left";
}

TEST_F(ObjectTest, SupportsErrorInfoForItsInterfaceOnly) {
    com_ptr<ISupportErrorInfo> info;
    Query(IID_ISupportErrorInfo, info);
    EXPECT_EQ(S_OK, info->InterfaceSupportsErrorInfo(IID_IQVFileIO));
    EXPECT_EQ(S_FALSE, info->InterfaceSupportsErrorInfo(IID_IDispatch));
    EXPECT_EQ(S_FALSE, info->InterfaceSupportsErrorInfo(IID_IUnknown));
    EXPECT_EQ(S_FALSE, info->InterfaceSupportsErrorInfo(IID_IObjectSafety));
    EXPECT_EQ(S_FALSE, info->InterfaceSupportsErrorInfo(GUID_NULL));
}

TEST_F(ObjectTest, ObjectSafetyOptions) {
    com_ptr<IObjectSafety> safety;
    Query(IID_IObjectSafety, safety);
    DWORD supported = 99, enabled = 99;
    EXPECT_EQ(E_POINTER, safety->GetInterfaceSafetyOptions(IID_IQVFileIO, nullptr, &enabled));
    EXPECT_EQ(E_POINTER, safety->GetInterfaceSafetyOptions(IID_IQVFileIO, &supported, nullptr));

    // An interface the object does not answer: both results 0, the query's failure.
    EXPECT_EQ(E_NOINTERFACE, safety->GetInterfaceSafetyOptions(IID_IStream, &supported, &enabled));
    EXPECT_EQ(0u, supported);
    EXPECT_EQ(0u, enabled);

    for (const IID* answered : {&IID_IQVFileIO, &IID_IDispatch, &IID_IUnknown, &IID_IObjectSafety,
                                &IID_IProvideClassInfo2, &IID_ISupportErrorInfo}) {
        supported = enabled = 99;
        EXPECT_EQ(S_OK, safety->GetInterfaceSafetyOptions(*answered, &supported, &enabled));
        EXPECT_EQ(3u, supported);
        EXPECT_EQ(0u, enabled) << "nothing is enabled at construction";
    }

    EXPECT_EQ(S_OK, safety->SetInterfaceSafetyOptions(IID_IDispatch, 3, 3));
    EXPECT_EQ(S_OK, safety->GetInterfaceSafetyOptions(IID_IQVFileIO, &supported, &enabled));
    EXPECT_EQ(3u, enabled) << "the options belong to the object, not to one interface";

    // Mask 1, enabled 0: only INTERFACESAFE_FOR_UNTRUSTED_CALLER is cleared.
    EXPECT_EQ(S_OK, safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER, 0));
    EXPECT_EQ(S_OK, safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled));
    EXPECT_EQ(static_cast<DWORD>(INTERFACESAFE_FOR_UNTRUSTED_DATA), enabled);

    // A bit outside the mask in the enabled argument is not taken.
    EXPECT_EQ(S_OK, safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_DATA, 1));
    EXPECT_EQ(S_OK, safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled));
    EXPECT_EQ(0u, enabled);

    EXPECT_EQ(S_OK, safety->SetInterfaceSafetyOptions(IID_IQVFileIO, 1, 1));
    EXPECT_EQ(E_FAIL, safety->SetInterfaceSafetyOptions(IID_IQVFileIO, 4, 4));
    EXPECT_EQ(E_FAIL, safety->SetInterfaceSafetyOptions(IID_IQVFileIO, 7, 0));
    EXPECT_EQ(E_NOINTERFACE, safety->SetInterfaceSafetyOptions(IID_IStream, 1, 0));
    EXPECT_EQ(E_NOINTERFACE, safety->SetInterfaceSafetyOptions(IID_IStream, 4, 4));
    EXPECT_EQ(S_OK, safety->GetInterfaceSafetyOptions(IID_IQVFileIO, &supported, &enabled));
    EXPECT_EQ(1u, enabled) << "refused calls change nothing";
}

TEST_F(ObjectTest, ProvidesClassInfo) {
    com_ptr<IProvideClassInfo2> provide;
    Query(IID_IProvideClassInfo2, provide);
    EXPECT_EQ(E_POINTER, provide->GetClassInfo(nullptr));

    com_ptr<ITypeInfo> info;
    ASSERT_EQ(S_OK, provide->GetClassInfo(info.put()));
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attributes));
    EXPECT_TRUE(IsEqualGUID(CLSID_QVFileIO, attributes->guid));
    EXPECT_EQ(TKIND_COCLASS, attributes->typekind);
    EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FCANCREATE);
    info->ReleaseTypeAttr(attributes);
    Bstr name, doc;
    ASSERT_EQ(S_OK, info->GetDocumentation(MEMBERID_NIL, name.put(), doc.put(), nullptr, nullptr));
    EXPECT_EQ(L"QVFileIO", name.str());
    EXPECT_EQ(L"QVFileIO Class 3", doc.str());

    // The class has no event interface: every kind gives the null GUID.
    for (DWORD kind : {DWORD(0), DWORD(GUIDKIND_DEFAULT_SOURCE_DISP_IID), DWORD(2), DWORD(0xFFFFFFFF)}) {
        GUID guid = IID_IQVFileIO;
        EXPECT_EQ(E_FAIL, provide->GetGUID(kind, &guid));
        EXPECT_TRUE(IsEqualGUID(GUID_NULL, guid));
        EXPECT_EQ(E_POINTER, provide->GetGUID(kind, nullptr));
    }
}

// The 42 operations in slot order: DISPID n is the n-th.
const wchar_t* const kOperations[] = {
    L"CreateDir", L"GetFreeDiskSpace", L"Write", L"IsValidFileOrDirectoryName", L"DirectoryExists",
    L"FileExists", L"CreateFile", L"WriteToExistingFile", L"Append", L"SetAsReadOnly", L"SetAsHidden",
    L"SetAsArchive", L"ClearFileAttributes", L"Read", L"DeleteFile", L"DeleteDirectory", L"MoveFileOrDirectory",
    L"CopyFile", L"GetFileSize", L"GetCreationDate", L"GetCreationTime", L"GetLastAccessedDate",
    L"GetLastAccessedTime", L"GetLastModifiedDate", L"GetLastModifiedTime", L"DriveExists",
    L"GetDirectoryContents", L"IsDirectoryName", L"IsEmptyDirectory", L"FindFileOrDirectory", L"BrowseAllDrives",
    L"MapNetworkDrive", L"CreateRegistryKey", L"DeleteRegistryKey", L"DeleteRegistryValue",
    L"ReadRegistryStringData", L"ReadRegistryNumericData", L"GetSubKeyCount", L"GetRegSubKeyName",
    L"GetScriptPath", L"GetWorkstationName", L"StartOrmik",
};

TEST_F(ObjectTest, DispatchNamesAndTypeInfo) {
    com_ptr<IDispatch> dispatch;
    Query(IID_IDispatch, dispatch);
    UINT count = 0;
    EXPECT_EQ(S_OK, dispatch->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);

    com_ptr<ITypeInfo> info;
    ASSERT_EQ(S_OK, dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put()));
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attributes));
    EXPECT_TRUE(IsEqualGUID(IID_IQVFileIO, attributes->guid));
    info->ReleaseTypeAttr(attributes);

    ASSERT_EQ(42u, sizeof kOperations / sizeof *kOperations);
    for (size_t i = 0; i < 42; ++i) {
        LPOLESTR name = const_cast<LPOLESTR>(kOperations[i]);
        DISPID id = -99;
        EXPECT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
        EXPECT_EQ(static_cast<DISPID>(i + 1), id) << "DISPID of " << static_cast<int>(i);
    }
    // Names are matched without regard to case, as scripts expect.
    LPOLESTR lower = const_cast<LPOLESTR>(L"startormik");
    DISPID id = -99;
    EXPECT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, &lower, 1, 0, &id));
    EXPECT_EQ(42, id);

    LPOLESTR unknown = const_cast<LPOLESTR>(L"NoSuchOperation");
    EXPECT_EQ(DISP_E_UNKNOWNNAME, dispatch->GetIDsOfNames(IID_NULL, &unknown, 1, 0, &id));
    EXPECT_EQ(DISPID_UNKNOWN, id);
}

// The registered type library: its attributes, its four types in order,
// the interface's slots and help strings, and the two enumerations.
TEST(TypeLibraryTest, ContentsAndOrder) {
    com_ptr<ITypeLib> library;
    ASSERT_EQ(S_OK, ::LoadRegTypeLib(LIBID_QVFILEIOSVRLib, 1, 0, 0x409, library.put()));
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attributes));
    EXPECT_EQ(0x409u, attributes->lcid);
    EXPECT_EQ(1, attributes->wMajorVerNum);
    EXPECT_EQ(0, attributes->wMinorVerNum);
    EXPECT_EQ(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, attributes->syskind);  // each width its own
    library->ReleaseTLibAttr(attributes);
    Bstr name, doc;
    ASSERT_EQ(S_OK, library->GetDocumentation(-1, name.put(), doc.put(), nullptr, nullptr));
    EXPECT_EQ(L"QVFILEIOSVRLib", name.str());
    EXPECT_EQ(L"QVFileIOSvr 3.0 Type Library", doc.str());

    struct Expected { const wchar_t* name; TYPEKIND kind; const wchar_t* doc; const GUID* guid; };
    const Expected types[] = {
        {L"QVFileIO", TKIND_COCLASS, L"QVFileIO Class 3", &CLSID_QVFileIO},
        {L"IQVFileIO", TKIND_DISPATCH, L"IQVFileIO Interface", &IID_IQVFileIO},
        {L"lKEY_NAME", TKIND_ENUM, L"", nullptr},
        {L"lDATA_TYPE", TKIND_ENUM, L"", nullptr},
    };
    ASSERT_EQ(4u, library->GetTypeInfoCount());
    for (UINT i = 0; i < 4; ++i) {
        Bstr typeName, typeDoc;
        ASSERT_EQ(S_OK, library->GetDocumentation(i, typeName.put(), typeDoc.put(), nullptr, nullptr));
        EXPECT_EQ(types[i].name, typeName.str());
        EXPECT_EQ(types[i].doc, typeDoc.str());
        TYPEKIND kind;
        ASSERT_EQ(S_OK, library->GetTypeInfoType(i, &kind));
        EXPECT_EQ(types[i].kind, kind) << i;
        com_ptr<ITypeInfo> info;
        ASSERT_EQ(S_OK, library->GetTypeInfo(i, info.put()));
        TYPEATTR* typeAttributes = nullptr;
        ASSERT_EQ(S_OK, info->GetTypeAttr(&typeAttributes));
        if (types[i].guid) EXPECT_TRUE(IsEqualGUID(*types[i].guid, typeAttributes->guid)) << i;
        else EXPECT_FALSE(IsEqualGUID(GUID_NULL, typeAttributes->guid)) << "a fixed GUID for " << i;
        if (kind == TKIND_COCLASS) EXPECT_TRUE(typeAttributes->wTypeFlags & TYPEFLAG_FCANCREATE);
        if (kind == TKIND_DISPATCH) EXPECT_TRUE(typeAttributes->wTypeFlags & TYPEFLAG_FDUAL);
        info->ReleaseTypeAttr(typeAttributes);
    }

    // The interface's own table: IUnknown, IDispatch, then the 42 in DISPID
    // order, each with its help string.
    com_ptr<ITypeInfo> dispatchInfo, interfaceInfo;
    ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(IID_IQVFileIO, dispatchInfo.put()));
    HREFTYPE interfaceRef = 0;
    ASSERT_EQ(S_OK, dispatchInfo->GetRefTypeOfImplType(-1, &interfaceRef));
    ASSERT_EQ(S_OK, dispatchInfo->GetRefTypeInfo(interfaceRef, interfaceInfo.put()));
    TYPEATTR* interfaceAttributes = nullptr;
    ASSERT_EQ(S_OK, interfaceInfo->GetTypeAttr(&interfaceAttributes));
    EXPECT_EQ(TKIND_INTERFACE, interfaceAttributes->typekind);
    EXPECT_TRUE(interfaceAttributes->wTypeFlags & TYPEFLAG_FDUAL);
    EXPECT_TRUE(interfaceAttributes->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
    EXPECT_TRUE(interfaceAttributes->wTypeFlags & TYPEFLAG_FDISPATCHABLE);
    EXPECT_EQ(42, interfaceAttributes->cFuncs);
    const int functions = interfaceAttributes->cFuncs;
    interfaceInfo->ReleaseTypeAttr(interfaceAttributes);
    for (int i = 0; i < functions && i < 42; ++i) {
        FUNCDESC* function = nullptr;
        ASSERT_EQ(S_OK, interfaceInfo->GetFuncDesc(i, &function));
        const MEMBERID id = function->memid;
        EXPECT_EQ(i + 1, id);
        EXPECT_EQ(static_cast<int>((id + 6) * sizeof(void*)), function->oVft) << "DISPID n is entry n + 7";
        EXPECT_EQ(CC_STDCALL, function->callconv);
        EXPECT_EQ(VT_HRESULT, function->elemdescFunc.tdesc.vt);
        interfaceInfo->ReleaseFuncDesc(function);
        Bstr functionName, functionDoc;
        ASSERT_EQ(S_OK, interfaceInfo->GetDocumentation(id, functionName.put(), functionDoc.put(), nullptr, nullptr));
        EXPECT_EQ(kOperations[i], functionName.str());
        EXPECT_EQ(L"method " + functionName.str(), functionDoc.str());
    }

    struct Constant { const wchar_t* name; long value; };
    const std::vector<Constant> enumerations[] = {
        {{L"QV_KEY_CLASSES_ROOT", 0}, {L"QV_KEY_CURRENT_USER", 1}, {L"QV_KEY_LOCAL_MACHINE", 2},
         {L"QV_KEY_CURRENT_CONFIG", 3}, {L"QV_KEY_DYN_DATA", 4}},
        {{L"QV_REG_SZ", 1}, {L"QV_REG_DWORD", 4}},
    };
    for (UINT e = 0; e < 2; ++e) {
        com_ptr<ITypeInfo> info;
        ASSERT_EQ(S_OK, library->GetTypeInfo(2 + e, info.put()));
        std::vector<Constant> found;
        for (UINT v = 0;; ++v) {
            VARDESC* variable = nullptr;
            if (FAILED(info->GetVarDesc(v, &variable))) break;
            Bstr constant;
            UINT count = 0;
            info->GetNames(variable->memid, constant.put(), 1, &count);
            const long value = V_I4(variable->lpvarValue);
            info->ReleaseVarDesc(variable);
            bool matched = false;
            for (const Constant& c : enumerations[e]) matched |= constant.str() == c.name && value == c.value;
            EXPECT_TRUE(matched) << "enumeration " << e << " constant " << v;
            found.push_back({nullptr, value});
        }
        EXPECT_EQ(enumerations[e].size(), found.size());
    }
}

TEST_F(ObjectTest, InvokeCallsTheOperation) {
    com_ptr<IDispatch> dispatch;
    Query(IID_IDispatch, dispatch);
    struct { const wchar_t* name; long kind; VARIANT_BOOL expected; } cases[] = {
        {L"a.txt", 0, 1}, {L"a*b", 1, 0}, {L"C:\\x", 0, 0}, {L"C:\\x", 1, 1}};
    for (const auto& c : cases) {
        VARIANT args[2];
        VariantInit(&args[0]);
        VariantInit(&args[1]);
        V_VT(&args[0]) = VT_I4;  // arguments arrive last first
        V_I4(&args[0]) = c.kind;
        V_VT(&args[1]) = VT_BSTR;
        V_BSTR(&args[1]) = ::SysAllocString(c.name);
        DISPPARAMS params = {args, nullptr, 2, 0};
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception = {};
        UINT argError = 0;
        EXPECT_EQ(S_OK, dispatch->Invoke(4, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                                         &exception, &argError));
        EXPECT_EQ(VT_BOOL, V_VT(&result));
        EXPECT_EQ(c.expected, V_BOOL(&result)) << "stored as 1, not -1";
        VariantClear(&args[1]);
        VariantClear(&result);
    }
    EXPECT_TRUE(ReadLog().empty());
}

TEST_F(ObjectTest, FailureReachesLateBoundCallerAsException) {
    com_ptr<IDispatch> dispatch;
    Query(IID_IDispatch, dispatch);
    VARIANT args[2];
    V_VT(&args[0]) = VT_I4;
    V_I4(&args[0]) = 2;
    V_VT(&args[1]) = VT_BSTR;
    V_BSTR(&args[1]) = ::SysAllocString(L"a.txt");
    DISPPARAMS params = {args, nullptr, 2, 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception = {};
    UINT argError = 0;
    EXPECT_EQ(DISP_E_EXCEPTION, dispatch->Invoke(4, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                                 &result, &exception, &argError));
    VariantClear(&args[1]);
    if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
    EXPECT_EQ(static_cast<SCODE>(0x80070057), exception.scode);
    EXPECT_EQ(std::wstring(L"Invalid flag value"), exception.bstrDescription ? exception.bstrDescription : L"");
    EXPECT_EQ(std::wstring(kProgId), exception.bstrSource ? exception.bstrSource : L"");
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrHelpFile);

    const auto records = ReadLog();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ("80070057", records[0].hresult);
}

// ComErrorInfo: the thread's error information with our interface, the
// registered ProgID as source, the ANSI message as wide text, no help.
TEST(ComErrorInfoTest, SetsTheThreadsErrorInformation) {
    ::SetErrorInfo(0, nullptr);
    ComErrorInfo("Caf\xe9 not found");  // ANSI 0xE9 is U+00E9 in the prefix's code page
    com_ptr<IErrorInfo> info;
    ASSERT_EQ(S_OK, ::GetErrorInfo(0, info.put()));
    Bstr description, source, helpFile;
    GUID guid = GUID_NULL;
    DWORD helpContext = 99;
    EXPECT_EQ(S_OK, info->GetDescription(description.put()));
    EXPECT_EQ(S_OK, info->GetSource(source.put()));
    EXPECT_EQ(S_OK, info->GetGUID(&guid));
    info->GetHelpFile(helpFile.put());
    info->GetHelpContext(&helpContext);
    EXPECT_EQ(L"Caf\x00e9 not found", description.str());
    EXPECT_EQ(kProgId, source.str());
    EXPECT_TRUE(IsEqualGUID(IID_IQVFileIO, guid));
    EXPECT_EQ(L"", helpFile.str());
    EXPECT_EQ(0u, helpContext);
    // Taken once: GetErrorInfo clears it.
    com_ptr<IErrorInfo> again;
    EXPECT_EQ(S_FALSE, ::GetErrorInfo(0, again.put()));
}

// An outer object of the test that aggregates a QVFileIO: it answers
// IUnknown itself and hands every other question to the inner object.
class Outer : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        ++queries;
        if (IsEqualIID(riid, IID_IUnknown)) {
            *object = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(riid, object) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }  // lives on the test's stack

    IUnknown* inner = nullptr;
    ULONG refs = 1;
    int queries = 0;
};

void ClassObject(com_ptr<IClassFactory>& factory) {
    ASSERT_EQ(S_OK, DllGetClassObject(CLSID_QVFileIO, IID_IClassFactory, factory.put_void()));
}

TEST(ClassObjectTest, CreateInstanceArguments) {
    com_ptr<IClassFactory> factory;
    ClassObject(factory);
    ASSERT_TRUE(factory);
    EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IQVFileIO, nullptr));

    Outer outer;
    void* out = kUnwritten;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, IID_IQVFileIO, &out));
    EXPECT_EQ(nullptr, out);
    out = kUnwritten;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, IID_IDispatch, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(1u, outer.refs);

    // A failed query destroys the new object: the lock count comes back.
    const LONG before = Module::LockCount();
    out = kUnwritten;
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IStream, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(before, Module::LockCount());

    // Every interface of the table can be asked for at creation.
    for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &IID_IObjectSafety, &IID_IProvideClassInfo,
                           &IID_ISupportErrorInfo}) {
        com_ptr<IUnknown> created;
        EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, *iid, created.put_void()));
        EXPECT_EQ(before + 1, Module::LockCount());
    }
    EXPECT_EQ(before, Module::LockCount());
}

TEST(ClassObjectTest, Aggregation) {
    com_ptr<IClassFactory> factory;
    ClassObject(factory);
    ASSERT_TRUE(factory);
    const LONG before = Module::LockCount();
    Outer outer;
    ASSERT_EQ(S_OK, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)));
    ASSERT_NE(nullptr, outer.inner);
    EXPECT_EQ(before + 1, Module::LockCount());
    EXPECT_EQ(1u, outer.refs) << "creation does not hold the outer object";

    // The inner IUnknown is the object's own, not the outer's, nor IQVFileIO.
    IUnknown* innerAgain = nullptr;
    ASSERT_EQ(S_OK, outer.inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&innerAgain)));
    EXPECT_EQ(outer.inner, innerAgain);
    innerAgain->Release();

    // Interfaces handed out by the inner object count on the outer object.
    IQVFileIO* qv = nullptr;
    ASSERT_EQ(S_OK, outer.inner->QueryInterface(IID_IQVFileIO, reinterpret_cast<void**>(&qv)));
    EXPECT_NE(static_cast<void*>(outer.inner), static_cast<void*>(qv));
    EXPECT_EQ(2u, outer.refs);
    qv->AddRef();
    EXPECT_EQ(3u, outer.refs);
    qv->Release();
    EXPECT_EQ(2u, outer.refs);

    // Its QueryInterface goes to the outer object: IUnknown is the outer's.
    IUnknown* identity = nullptr;
    const int queries = outer.queries;
    ASSERT_EQ(S_OK, qv->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
    EXPECT_EQ(queries + 1, outer.queries);
    identity->Release();

    IObjectSafety* safety = nullptr;
    ASSERT_EQ(S_OK, qv->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(&safety)));
    EXPECT_EQ(queries + 2, outer.queries);
    EXPECT_EQ(3u, outer.refs);
    void* none = kUnwritten;
    EXPECT_EQ(E_NOINTERFACE, safety->QueryInterface(IID_IStream, &none));
    EXPECT_EQ(nullptr, none);
    safety->Release();

    // The aggregated object works: a call through its interface.
    VARIANT_BOOL valid = 42;
    EXPECT_EQ(S_OK, qv->IsValidFileOrDirectoryName(Bstr(L"a.txt"), 0, &valid));
    EXPECT_EQ(1, valid);
    qv->Release();
    EXPECT_EQ(1u, outer.refs);

    // Releasing the inner IUnknown destroys the object.
    EXPECT_EQ(0u, outer.inner->Release());
    outer.inner = nullptr;
    EXPECT_EQ(before, Module::LockCount());
}

TEST(ClassObjectTest, DllCanUnloadNowFollowsObjectsClassObjectAndLocks) {
    ASSERT_EQ(S_OK, DllCanUnloadNow()) << "at rest";
    const LONG rest = Module::LockCount();
    com_ptr<IQVFileIO> object;
    {
        com_ptr<IClassFactory> factory;
        ClassObject(factory);
        EXPECT_EQ(S_FALSE, DllCanUnloadNow()) << "while a client holds the class object";
        com_ptr<IClassFactory> second;
        ClassObject(second);
        EXPECT_EQ(rest + 1, Module::LockCount()) << "two client references count once";
        second.reset();
        EXPECT_EQ(S_FALSE, DllCanUnloadNow());
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IQVFileIO, object.put_void()));
    }
    EXPECT_EQ(S_FALSE, DllCanUnloadNow()) << "while an object lives";
    object.reset();
    EXPECT_EQ(S_OK, DllCanUnloadNow()) << "after the last release";

    {
        com_ptr<IClassFactory> factory;
        ClassObject(factory);
        EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    }
    EXPECT_EQ(S_FALSE, DllCanUnloadNow()) << "after LockServer(TRUE)";
    {
        com_ptr<IClassFactory> factory;
        ClassObject(factory);
        EXPECT_EQ(S_OK, factory->LockServer(TRUE));
        EXPECT_EQ(S_OK, factory->LockServer(FALSE));
        EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    }
    EXPECT_EQ(S_OK, DllCanUnloadNow()) << "after LockServer(FALSE)";
    EXPECT_EQ(rest, Module::LockCount());
}

TEST(ClassObjectTest, DllGetClassObjectArguments) {
    void* out = kUnwritten;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, DllGetClassObject(IID_IQVFileIO, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    out = kUnwritten;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, DllGetClassObject(GUID_NULL, IID_IUnknown, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, DllGetClassObject(CLSID_QVFileIO, IID_IClassFactory, nullptr));
    out = kUnwritten;
    EXPECT_EQ(E_NOINTERFACE, DllGetClassObject(CLSID_QVFileIO, IID_IDispatch, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(S_OK, DllCanUnloadNow());

    // The class object is created once and kept.
    com_ptr<IUnknown> first, second;
    ASSERT_EQ(S_OK, DllGetClassObject(CLSID_QVFileIO, IID_IUnknown, first.put_void()));
    ASSERT_EQ(S_OK, DllGetClassObject(CLSID_QVFileIO, IID_IClassFactory, second.put_void()));
    EXPECT_EQ(first.get(), static_cast<IUnknown*>(second.get()));
}

}  // namespace
