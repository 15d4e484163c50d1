// windows.h for this project: the ANSI names of the Win32 calls are used
// explicitly, and the interface has operations named CreateFile, DeleteFile
// and CopyFile, so the generic-text macros of those names must go.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <ocidl.h>
#include <objsafe.h>
#undef CreateFile
#undef DeleteFile
#undef CopyFile
#undef GetFreeDiskSpace
