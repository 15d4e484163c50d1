// Deleting files and directories: not built yet; each operation answers E_NOTIMPL until it is.
#include "object/qvfileio.h"

STDMETHODIMP QVFileIO::DeleteFile(BSTR) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::DeleteDirectory(BSTR, VARIANT_BOOL, VARIANT_BOOL) { return E_NOTIMPL; }
