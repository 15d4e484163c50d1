// Registry operations: not built yet; each operation answers E_NOTIMPL until it is.
#include "object/qvfileio.h"

STDMETHODIMP QVFileIO::CreateRegistryKey(lKEY_NAME, BSTR, BSTR, BSTR, lDATA_TYPE) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::DeleteRegistryKey(lKEY_NAME, BSTR) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::DeleteRegistryValue(lKEY_NAME, BSTR, BSTR) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::ReadRegistryStringData(lKEY_NAME, BSTR, BSTR, BSTR*) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::ReadRegistryNumericData(lKEY_NAME, BSTR, BSTR, long*) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::GetSubKeyCount(lKEY_NAME, BSTR, long*) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::GetRegSubKeyName(lKEY_NAME, BSTR, long, BSTR*) { return E_NOTIMPL; }
