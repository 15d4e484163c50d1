// The creatable class QVFileIO and its interfaces.
#pragma once
#include "platform/windows.h"
#include "qvfileio_idl.h"
#include "registry/qvregistrymanip.h"
#include "object/frame.h"
#include "object/confinement.h"

class QVFileIO : public QVRegistryManip,
                 public IQVFileIO,
                 public IObjectSafety,
                 public IProvideClassInfo2,
                 public ISupportErrorInfo,
                 public IObjectWithSite {
public:
    // Creates an object, alone or aggregated in `outer`, and asks it for riid.
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object);

    // IUnknown (delegates to the controlling unknown)
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch, through the type library's ITypeInfo
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override;

    // IQVFileIO
    STDMETHODIMP CreateDir(BSTR bstrDirPath) override;
    STDMETHODIMP GetFreeDiskSpace(BSTR bstrDrive, long* lFreeSpace) override;
    STDMETHODIMP Write(BSTR bstrData, BSTR bstrFullPath, VARIANT_BOOL bCreateFileIfNotFound,
                       VARIANT_BOOL bCreateDirIfNotFound, VARIANT_BOOL bOverwriteReadOnly) override;
    STDMETHODIMP IsValidFileOrDirectoryName(BSTR bstrName, long lFileOrDir, VARIANT_BOOL* bValidName) override;
    STDMETHODIMP DirectoryExists(BSTR bstrDirectory, VARIANT_BOOL* bDirExists) override;
    STDMETHODIMP FileExists(BSTR bstrFullPath, VARIANT_BOOL* bFileExists) override;
    STDMETHODIMP CreateFile(BSTR bstrFullPath, VARIANT_BOOL bOverwriteExisting, VARIANT_BOOL bOverwriteReadOnly) override;
    STDMETHODIMP WriteToExistingFile(BSTR bstrData, BSTR bstrFullPath, VARIANT_BOOL bAppend,
                                     VARIANT_BOOL bOverwriteReadOnly) override;
    STDMETHODIMP Append(BSTR bstrData, BSTR bstrFullPath, VARIANT_BOOL bCreateFileIfNotFound,
                        VARIANT_BOOL bCreateDirIfNotFound, VARIANT_BOOL bAppendToReadOnly) override;
    STDMETHODIMP SetAsReadOnly(BSTR bstrFullPath) override;
    STDMETHODIMP SetAsHidden(BSTR bstrFullPath) override;
    STDMETHODIMP SetAsArchive(BSTR bstrFullPath) override;
    STDMETHODIMP ClearFileAttributes(BSTR bstrFullPath) override;
    STDMETHODIMP Read(BSTR bstrFullPath, BSTR* bstrData) override;
    STDMETHODIMP DeleteFile(BSTR bstrFullPath) override;
    STDMETHODIMP DeleteDirectory(BSTR bstrFullPath, VARIANT_BOOL bDelSubFiles, VARIANT_BOOL bDelSubDirs) override;
    STDMETHODIMP MoveFileOrDirectory(BSTR bstrOldFullPath, BSTR bstrNewFullPath) override;
    STDMETHODIMP CopyFile(BSTR bstrOldFullPath, BSTR bstrNewFullPath, VARIANT_BOOL bOverwriteExisting,
                          VARIANT_BOOL bOverwriteReadOnly) override;
    STDMETHODIMP GetFileSize(BSTR bstrFullPath, long* dFileSize) override;
    STDMETHODIMP GetCreationDate(BSTR bstrFullPath, BSTR* bstrCreationDate) override;
    STDMETHODIMP GetCreationTime(BSTR bstrFullPath, BSTR* bstrCreationTime) override;
    STDMETHODIMP GetLastAccessedDate(BSTR bstrFullPath, BSTR* bstrLAccessedDate) override;
    STDMETHODIMP GetLastAccessedTime(BSTR bstrFullPath, BSTR* bstrLAccessedTime) override;
    STDMETHODIMP GetLastModifiedDate(BSTR bstrFullPath, BSTR* bstrLModifiedDate) override;
    STDMETHODIMP GetLastModifiedTime(BSTR bstrFullPath, BSTR* bstrLModifiedTime) override;
    STDMETHODIMP DriveExists(BSTR bstrDrivePath, VARIANT_BOOL* bDriveExists) override;
    STDMETHODIMP GetDirectoryContents(BSTR bstrSearchString, VARIANT_BOOL bListSubFiles,
                                      VARIANT_BOOL bListSubDirectories, BSTR* bstrFilesFound) override;
    STDMETHODIMP IsDirectoryName(BSTR bstrFullPath, VARIANT_BOOL* bIsDirectory) override;
    STDMETHODIMP IsEmptyDirectory(BSTR bstrDirPath, VARIANT_BOOL* IsEmpty) override;
    STDMETHODIMP FindFileOrDirectory(BSTR bstrDriveOrPath, BSTR bstrSearchString, BSTR* FullPathsFound) override;
    STDMETHODIMP BrowseAllDrives(BSTR bstrDlgText, BSTR* bstrpath) override;
    STDMETHODIMP MapNetworkDrive(BSTR bstrServerPath, BSTR bstrSubKey, BSTR bstrRegValue, BSTR bstrDriveRegValue,
                                 BSTR bstrSuccessRegValue, BSTR* bstrDrive) override;
    STDMETHODIMP CreateRegistryKey(lKEY_NAME kKey, BSTR bstrSubKey, BSTR bstrKeyValue, BSTR bstrKeyData,
                                   lDATA_TYPE lDataType) override;
    STDMETHODIMP DeleteRegistryKey(lKEY_NAME kKey, BSTR bstrSubRegKey) override;
    STDMETHODIMP DeleteRegistryValue(lKEY_NAME kKey, BSTR bstrSubKey, BSTR bstrKeyValue) override;
    STDMETHODIMP ReadRegistryStringData(lKEY_NAME kKey, BSTR bstrSubKey, BSTR bstrRegValue, BSTR* bstrRegData) override;
    STDMETHODIMP ReadRegistryNumericData(lKEY_NAME kKey, BSTR bstrSubKey, BSTR bstrRegValue, long* lpRegData) override;
    STDMETHODIMP GetSubKeyCount(lKEY_NAME kKey, BSTR bstrSubKey, long* lpRegData) override;
    STDMETHODIMP GetRegSubKeyName(lKEY_NAME kKey, BSTR bstrSubKey, long lRegKeyIndex, BSTR* bstrRegKeyName) override;
    STDMETHODIMP GetScriptPath(BSTR* bstrData) override;
    STDMETHODIMP GetWorkstationName(BSTR* bstrName) override;
    STDMETHODIMP StartOrmik() override;

    // IObjectSafety
    STDMETHODIMP GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) override;
    STDMETHODIMP SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) override;

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

    // IObjectWithSite: the page the object is placed in (object/objectwithsite.cpp)
    STDMETHODIMP SetSite(IUnknown* site) override;
    STDMETHODIMP GetSite(REFIID riid, void** site) override;

private:
    // The non-delegating IUnknown that an aggregating outer object holds.
    class Inner : public IUnknown {
    public:
        explicit Inner(QVFileIO& self) : self_(self) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;
    private:
        QVFileIO& self_;
    };

    explicit QVFileIO(IUnknown* outer);
    ~QVFileIO() override;

    // The operation frame, written once for every operation.
    // Step 5: one record, then the caller's error information (the last
    // piece is the description). Returns hr.
    HRESULT Fail(HRESULT hr, int line, Pieces pieces);
    // The record alone, for private workers that hand their message back.
    HRESULT Report(HRESULT hr, int line, Pieces pieces);
    // Step 2 through the object's own interface: S_OK when `path` is valid,
    // otherwise the failure, already reported. An operation hands the
    // message to the caller; a private worker passes `handBack` and gets the
    // message to hand to its operation instead.
    HRESULT Validate(BSTR path, long fileOrDir, const char* label, const char* invalidMessage,
                     const char** handBack = nullptr);
    // Steps 2 and 3: validation, then the path as the calls take it and
    // its ANSI form for the records. A path whose ANSI form does not fit
    // MAX_PATH bytes is refused like an invalid one.
    HRESULT ValidatePath(BSTR path, PathText& narrow, const char* label,
                         const char* invalidMessage = kInvalidPathName, const char** handBack = nullptr);
    HRESULT Refuse(HRESULT hr, const char* label, const char* message, const char** handBack);
    // After a failed change of a file: the attributes saved before it come
    // back (nothing when none were saved); a refusal is only recorded.
    void PutBackAttributes(const char* label, const PathText& path, DWORD saved);
    // Step 7: runs the operation's work and turns any exception into E_FAIL
    // with the operation's fixed label and message.
    template <class Work>
    HRESULT Guarded(const char* label, const char* catchMessage, Work&& work) noexcept {
        try {
            const JudgedCalls judged(Judge());
            return work();
        } catch (...) {
            return CatchAll(label, catchMessage);
        }
    }
    HRESULT CatchAll(const char* label, const char* message) noexcept;
    // Every operation of a page that the site policy refuses: one record
    // naming the page, and E_ACCESSDENIED handed on as Invoke hands it.
    HRESULT RefuseForSite(EXCEPINFO* exception);
    // The object's own interface.
    IQVFileIO* Self() { return static_cast<IQVFileIO*>(this); }
    // A nested operation: a call through the object's own interface on a
    // place its caller was allowed to use. Counted while it runs, so that
    // the administrator's policy is judged on the script's own calls; a
    // nested operation never waits for messages, so no script call can
    // arrive while the count is up.
    class NestedCall {
    public:
        explicit NestedCall(QVFileIO& self) : self_(self) { ++self_.nested_; }
        ~NestedCall() { --self_.nested_; }
        NestedCall(const NestedCall&) = delete;
        NestedCall& operator=(const NestedCall&) = delete;
        IQVFileIO* operator->() const { return self_.Self(); }
    private:
        QVFileIO& self_;
    };
    NestedCall Nested() { return NestedCall(*this); }

    // The administrator's policy on a script's call: S_OK where it allows
    // the place (or the object is not confined, or the call is nested),
    // otherwise E_ACCESSDENIED with one record naming the place. Nothing
    // else is asked first.
    HRESULT Confine(const PathText& path, Confinement::Access access, const char* label);
    // The same for an argument not validated yet: a path the operation
    // refuses as invalid keeps that answer, so it is not judged here.
    HRESULT ConfineArgument(BSTR path, Confinement::Access access, const char* label);
    HRESULT ConfineListing(const PathText& pattern, const char* label);
    // A search string that reaches another folder (a separator or "..") is
    // judged as the listing of the place it reaches from `folder`.
    HRESULT ConfinePattern(BSTR folder, BSTR pattern);
    HRESULT ConfineKey(HKEY root, BSTR subKey, Confinement::KeyAccess access);
    HRESULT ConfineAction(bool allowed, const char* label, const char* what);
    bool Confined() const { return nested_ == 0 && confinement_.Active(); }
    HRESULT RefuseByPolicy(const char* label, const char* place);
    // The administrator's policy asked where each call acts (platform/files,
    // platform/keys); its refusals are recorded in this object's log.
    class CallJudge final : public PlaceJudge {
    public:
        explicit CallJudge(QVFileIO& self) : self_(self) {}
        bool AllowsPlace(const std::wstring& place, Act act) override;
        bool AllowsKeyName(const std::wstring& name, KeyAct act) override;
        void Refused(const std::wstring& place) override;
        bool BaseOf(const std::wstring& full, std::wstring& base) override;
    private:
        QVFileIO& self_;
    };
    // The judge of this object's calls: none where no policy confines it.
    PlaceJudge* Judge() { return confinement_.Active() ? &judge_ : nullptr; }

    // Private workers
    HRESULT WriteOrAppend(BSTR bstrData, BSTR bstrFullPath, VARIANT_BOOL bCreateFileIfNotFound,
                          VARIANT_BOOL bCreateDirIfNotFound, bool append, VARIANT_BOOL bOverwriteReadOnly,
                          const char*& message);
    // The free bytes of the volume that holds `path`, for the checks before
    // a write or a creation; a failure is reported here.
    HRESULT FreeSpaceFor(BSTR path, long& freeSpace);
    HRESULT WriteOrAppendOperation(BSTR bstrData, BSTR bstrFullPath, VARIANT_BOOL bCreateFileIfNotFound,
                                   VARIANT_BOOL bCreateDirIfNotFound, bool append, VARIANT_BOOL bOverwriteReadOnly,
                                   const char* catchMessage);
    // `before`, when given, gets the attributes read before the change.
    HRESULT ChangeFileAttributes(BSTR bstrFullPath, DWORD attributes, bool replace, const char*& message,
                                 DWORD* before = nullptr);
    HRESULT AttributeOperation(BSTR bstrFullPath, DWORD attributes, bool replace, const char* catchMessage,
                               DWORD* before = nullptr);
    HRESULT ShowFolderDialog(HWND owner, const wchar_t* title, UINT flags, BSTR* result, const char*& message);
    HRESULT MapThroughScript(BSTR bstrServerPath, BSTR bstrSubKey, BSTR bstrRegValue, BSTR bstrDriveRegValue,
                             BSTR bstrSuccessRegValue, BSTR* bstrDrive);
    HRESULT RegistryFailure(HRESULT hr, const char* message, bool record) noexcept;
    template <class Call>
    HRESULT RegistryOperation(lKEY_NAME kKey, BSTR subKey, Confinement::KeyAccess access, bool record,
                              Call&& call) noexcept;
    void DeleteSubDirectory(BSTR childPath, VARIANT_BOOL bDelSubFiles, VARIANT_BOOL bDelSubDirs);
    HRESULT ValidateOldAndNew(BSTR oldPath, BSTR newPath, PathText& oldNarrow, PathText& newNarrow);
    HRESULT SearchDirectory(BSTR bstrDirPath, BSTR bstrSearchString, std::wstring& found, const char*& message);
    HRESULT FindFileEntry(BSTR bstrFullPath, files::Search& search, WIN32_FIND_DATAW& data, const char*& message);
    HRESULT GetFileTimeText(BSTR bstrFullPath, int selector, std::wstring& text, const char*& message);
    HRESULT TimeGetter(BSTR bstrFullPath, int selector, BSTR* result, bool namePath, const char* catchMessage);
    // A valid path that names a device is refused with `message` (a device
    // is not a file); S_OK for any other path.
    HRESULT RefuseDevice(BSTR path, const char* message);

    Inner inner_;
    IUnknown* outer_;
    ULONG refs_ = 0;
    DWORD enabledSafety_ = 0;
    com_ptr<IUnknown> site_;
    bool siteRefused_ = false;
    std::wstring siteUrl_;  // the refused page's
    ULONG searchCount_ = 0;
    Confinement confinement_;
    CallJudge judge_{*this};
    ULONG nested_ = 0;
};
