// Directory listing: not built yet; each operation answers E_NOTIMPL until it is.
#include "object/qvfileio.h"

STDMETHODIMP QVFileIO::GetDirectoryContents(BSTR, VARIANT_BOOL, VARIANT_BOOL, BSTR*) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::IsEmptyDirectory(BSTR, VARIANT_BOOL*) { return E_NOTIMPL; }
