// Module state of the server: instance handle, lock count and the cached
// type information.
#pragma once
#include "platform/windows.h"

namespace Module {

void Attach(HINSTANCE instance);
void Detach();
HINSTANCE Instance();

// One for every live object, client reference to the class object and
// outstanding LockServer; changed only by interlocked operations.
void Lock();
void Unlock();
LONG LockCount();

// The type information of the interface (IID_IQVFileIO) or of the class
// (CLSID_QVFileIO), loaded once per process from the registered type
// library and kept until the library is unloaded. Adds a reference for the
// caller.
HRESULT GetTypeInfo(REFGUID guid, LCID lcid, ITypeInfo** info);

}  // namespace Module
