// Existence and drive queries: not built yet; each operation answers E_NOTIMPL until it is.
#include "object/qvfileio.h"

STDMETHODIMP QVFileIO::GetFreeDiskSpace(BSTR, long*) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::DirectoryExists(BSTR, VARIANT_BOOL*) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::FileExists(BSTR, VARIANT_BOOL*) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::DriveExists(BSTR, VARIANT_BOOL*) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::IsDirectoryName(BSTR, VARIANT_BOOL*) { return E_NOTIMPL; }
