// Folder browse dialog: not built yet; each operation answers E_NOTIMPL until it is.
#include "object/qvfileio.h"

STDMETHODIMP QVFileIO::BrowseAllDrives(BSTR, BSTR*) { return E_NOTIMPL; }
