' Listing, search and deletion against the script host's own
' FileSystemObject, on the trees that bench/trees.sh built in the folder
' given as the argument. Prints time, entries per second and the ratio.
' VBScript, since Wine's JScript cannot enumerate FileSystemObject's
' collections.
Option Explicit
Dim fso, qv, root, start, qvMs, fsMs, qvCount, fsCount, name, found
Set fso = CreateObject("Scripting.FileSystemObject")
Set qv = CreateObject("QVFileIOSvr.QVFileIO3.1")
root = WScript.Arguments(0)

Function Elapsed()
    Elapsed = Int((Timer - start) * 1000)
    If Elapsed < 1 Then Elapsed = 1
End Function

Function Pad(text, width)
    Pad = text & Space(width - Len(text))
End Function

Function Rate(entries, ms)
    Rate = FormatNumber(entries * 1000 / ms, 0, , , 0) & "/s (" & ms & " ms)"
End Function

Sub Report(what, entries)
    WScript.Echo Pad(what, 44) & Pad(Rate(entries, qvMs), 26) & Pad(Rate(entries, fsMs), 26) & _
                 FormatNumber(fsMs / qvMs, 2)
End Sub

' FileSystemObject's walk of a tree, matching names as the search does.
Sub Walk(folder, pattern, found)
    Dim item
    For Each item In folder.Files
        If pattern.Test(item.Name) Then found.Add item.Path, ""
    Next
    For Each item In folder.SubFolders
        If pattern.Test(item.Name) Then found.Add item.Path, ""
        Walk item, pattern, found
    Next
End Sub

WScript.Echo Pad("work", 44) & Pad("QVFileIO", 26) & Pad("FileSystemObject", 26) & "ratio FSO/QV"

start = Timer
qvCount = UBound(Split(qv.GetDirectoryContents(root & "\flat\*", True, False), "|")) + 1
qvMs = Elapsed()
start = Timer
Set found = CreateObject("Scripting.Dictionary")
For Each name In fso.GetFolder(root & "\flat").Files
    found.Add name.Name, ""
Next
fsCount = found.Count
fsMs = Elapsed()
If qvCount <> 20000 Or fsCount <> 20000 Then WScript.Echo "unexpected counts: " & qvCount & ", " & fsCount
Report "list a directory of 20,000 files", 20000

Dim pattern
Set pattern = New RegExp
pattern.Pattern = "^.*7\.txt$"
pattern.IgnoreCase = True
start = Timer
qvCount = UBound(Split(qv.FindFileOrDirectory(root & "\tree", "*7.txt"), "|")) + 1
qvMs = Elapsed()
start = Timer
Set found = CreateObject("Scripting.Dictionary")
Walk fso.GetFolder(root & "\tree"), pattern, found
fsCount = found.Count
fsMs = Elapsed()
If qvCount <> fsCount Then WScript.Echo "unexpected counts: " & qvCount & ", " & fsCount
Report "search a tree of 50,000 entries (*7.txt)", 50000

start = Timer
qv.DeleteDirectory root & "\del1", True, True
qvMs = Elapsed()
start = Timer
fso.DeleteFolder root & "\del2", True
fsMs = Elapsed()
If fso.FolderExists(root & "\del1") Or fso.FolderExists(root & "\del2") Then WScript.Echo "a tree was left behind"
Report "delete a tree of 20,000 entries", 20000
