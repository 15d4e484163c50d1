#pragma once
#include "platform/windows.h"

// A Windows error code as the system's HRESULT: 0x8007 and the low 16 bits
// for a positive code, the code itself otherwise.
inline HRESULT HResultFromWin32(DWORD error) {
    return static_cast<LONG>(error) <= 0
               ? static_cast<HRESULT>(error)
               : static_cast<HRESULT>((error & 0x0000FFFF) | 0x80070000);
}

// The HRESULT of a call that failed with `error`: never S_OK, even when
// the call left the last error at 0.
inline HRESULT HResultFromFailedCall(DWORD error) {
    const HRESULT hr = HResultFromWin32(error);
    return FAILED(hr) ? hr : E_FAIL;
}

// The same for the thread's last error.
inline HRESULT HResultFromLastError() { return HResultFromFailedCall(::GetLastError()); }
