// Recursive search: not built yet; each operation answers E_NOTIMPL until it is.
#include "object/qvfileio.h"

STDMETHODIMP QVFileIO::FindFileOrDirectory(BSTR, BSTR, BSTR*) { return E_NOTIMPL; }
