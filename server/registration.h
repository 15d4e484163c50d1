// The two halves of DllRegisterServer, for a library loaded as code or,
// by a tool of the build, as data.
#pragma once
#include "platform/windows.h"
#include <string>

// Runs the class's registration script, the "REGISTRY" resource of
// `module`, with %MODULE% standing for `path`.
HRESULT RunClassScript(HMODULE module, const std::string& path, bool registering);

// Registers `library` as the type library of the file `path`, whose folder
// is its help folder.
HRESULT RegisterTypeLibrary(ITypeLib* library, const std::wstring& path);
