// Every act of the product on a registry key, with the answers of the
// system's wide calls. With no judge on the calling thread each is the
// system's call itself. Under a judge (the administrator's policy) each key
// is judged by the name the registry gives the opened handle, which is
// where a link or an alias really leads; values are then read and written
// through that handle, a new key is made below its judged parent's handle,
// and a key is deleted through its own handle (a link itself, never what
// it leads to).
#pragma once
#include "platform/raii.h"
#include <string>

namespace keys {

// RegOpenKeyExW.
LONG Open(HKEY root, const wchar_t* subKey, REGSAM access, HKEY* key);
// RegCreateKeyExW, non-volatile.
LONG Create(HKEY root, const wchar_t* subKey, REGSAM access, HKEY* key);
// RegDeleteKeyW.
LONG Delete(HKEY root, const wchar_t* subKey);
// The registry's own name of an open key (\REGISTRY\MACHINE\SOFTWARE\...);
// false when it cannot be told.
bool NameOf(HKEY key, std::wstring& name);

}  // namespace keys
