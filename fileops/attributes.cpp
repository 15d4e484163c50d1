// Attribute operations: not built yet; each operation answers E_NOTIMPL until it is.
#include "object/qvfileio.h"

STDMETHODIMP QVFileIO::SetAsReadOnly(BSTR) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::SetAsHidden(BSTR) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::SetAsArchive(BSTR) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::ClearFileAttributes(BSTR) { return E_NOTIMPL; }
