// File size and time stamps: not built yet; each operation answers E_NOTIMPL until it is.
#include "object/qvfileio.h"

STDMETHODIMP QVFileIO::GetFileSize(BSTR, long*) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::GetCreationDate(BSTR, BSTR*) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::GetCreationTime(BSTR, BSTR*) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::GetLastAccessedDate(BSTR, BSTR*) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::GetLastAccessedTime(BSTR, BSTR*) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::GetLastModifiedDate(BSTR, BSTR*) { return E_NOTIMPL; }
STDMETHODIMP QVFileIO::GetLastModifiedTime(BSTR, BSTR*) { return E_NOTIMPL; }
