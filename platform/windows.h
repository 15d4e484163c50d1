// windows.h for this project: the ANSI names of the Win32 calls are used
// explicitly, and the interface has operations named CreateFile, DeleteFile
// and CopyFile, so the generic-text macros of those names must go.
#pragma once
#include <winsock2.h>  // before windows.h, which would bring the old winsock.h
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <ocidl.h>
#include <objsafe.h>
#include <shlobj.h>
#undef CreateFile
#undef DeleteFile
#undef CopyFile
#undef GetFreeDiskSpace
