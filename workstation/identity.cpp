// Workstation name and script path: not built yet; each operation answers E_NOTIMPL until it is.
#include "object/qvfileio.h"

STDMETHODIMP QVFileIO::GetScriptPath(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::GetWorkstationName(BSTR*) { return E_NOTIMPL; }
