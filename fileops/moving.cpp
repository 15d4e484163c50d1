// Moving and copying: not built yet; each operation answers E_NOTIMPL until it is.
#include "object/qvfileio.h"

STDMETHODIMP QVFileIO::MoveFileOrDirectory(BSTR, BSTR) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::CopyFile(BSTR, BSTR, VARIANT_BOOL, VARIANT_BOOL) { return E_NOTIMPL; }
