// Helper program launch: not built yet; each operation answers E_NOTIMPL until it is.
#include "object/qvfileio.h"

STDMETHODIMP QVFileIO::StartOrmik() { return E_NOTIMPL; }
