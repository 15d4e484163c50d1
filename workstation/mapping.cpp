// Network drive mapping: not built yet; each operation answers E_NOTIMPL until it is.
#include "object/qvfileio.h"

STDMETHODIMP QVFileIO::MapNetworkDrive(BSTR, BSTR, BSTR, BSTR, BSTR, BSTR*) { return E_NOTIMPL; }
