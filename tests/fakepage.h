// A browser and a document that answer only their page's URL, for tests
// that play the container of the object. Written in C: the two interfaces
// have some hundred methods, of which a container's object asks one.
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// An IWebBrowser2 whose get_LocationURL answers `answer` with the first
// `length` characters of `url` (NULs included), or only `answer` when it is
// a failure. Its one reference belongs to the caller.
IUnknown* NewFakeBrowser(const WCHAR* url, UINT length, HRESULT answer);

// An IHTMLDocument2 whose get_URL answers the same way.
IUnknown* NewFakeDocument(const WCHAR* url, UINT length, HRESULT answer);

#ifdef __cplusplus
}
#endif
