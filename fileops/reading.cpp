// Reading a file: not built yet; each operation answers E_NOTIMPL until it is.
#include "object/qvfileio.h"

STDMETHODIMP QVFileIO::Read(BSTR, BSTR*) { return E_NOTIMPL; }
