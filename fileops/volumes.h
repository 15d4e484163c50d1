// The volume that holds a path, judged where the system resolves the path
// (its full path, then the volume's mount point), not by how it is written.
#pragma once
#include "platform/windows.h"
#include <string>

// The full path the system makes of `path` and the root of the volume that
// holds it, with its closing backslash: C:\, \\.\C:\, \\server\share\, or the
// folder a volume is mounted on. False when the system makes no full path.
bool FindVolume(const wchar_t* path, std::wstring& full, std::wstring& root);

// Whether `path` is the root of a volume: a drive's, a share's or a mounted
// volume's, in any spelling (T:, t:\, T:\., T:\dir\.., \\.\T:\). A path whose
// place cannot be told counts as one.
bool NamesVolumeRoot(const wchar_t* path);
