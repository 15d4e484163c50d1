// Directory creation: not built yet; each operation answers E_NOTIMPL until it is.
#include "object/qvfileio.h"

STDMETHODIMP QVFileIO::CreateDir(BSTR) { return E_NOTIMPL; }
