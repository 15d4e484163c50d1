// File creation and writing: not built yet; each operation answers E_NOTIMPL until it is.
#include "object/qvfileio.h"

STDMETHODIMP QVFileIO::CreateFile(BSTR, VARIANT_BOOL, VARIANT_BOOL) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::WriteToExistingFile(BSTR, BSTR, VARIANT_BOOL, VARIANT_BOOL) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::Write(BSTR, BSTR, VARIANT_BOOL, VARIANT_BOOL, VARIANT_BOOL) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::Append(BSTR, BSTR, VARIANT_BOOL, VARIANT_BOOL, VARIANT_BOOL) { return E_NOTIMPL; }
