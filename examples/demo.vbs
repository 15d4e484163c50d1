' A short session with QVFileIO, as a Windows Script Host script would run it:
'   cscript //nologo demo.vbs
Option Explicit
Dim fso, qv, root, path, text, logPath
Set fso = CreateObject("Scripting.FileSystemObject")
Set qv = CreateObject("QVFileIOSvr.QVFileIO3.1")
logPath = fso.GetSpecialFolder(0).Path & "\QVFileIOLog.txt"
If fso.FileExists(logPath) Then fso.DeleteFile logPath, True

WScript.Echo "== Names"
ShowName "C:\data\day.log", 1
ShowName "C:\data\day.log", 0
ShowName "report?.txt", 1

WScript.Echo "== A directory chain, a file written, appended and read back"
root = fso.GetSpecialFolder(2).Path & "\qvfileio-demo"
If fso.FolderExists(root) Then fso.DeleteFolder root, True
qv.CreateDir root & "\2026\12"
WScript.Echo "DirectoryExists(" & root & "\2026\12) = " & qv.DirectoryExists(root & "\2026\12")
path = root & "\2026\12\day.log"
qv.Write "first line" & vbCrLf, path, True, True, False
qv.Append "second line" & vbCrLf, path, False, False, False
WScript.Echo "FileExists(day.log) = " & qv.FileExists(path)
text = qv.Read(path)
WScript.Echo "Read gives " & Len(text) & " characters (CR LF arrives as LF):"
WScript.Echo text

WScript.Echo "== Attributes"
qv.SetAsReadOnly path
qv.SetAsHidden path
WScript.Echo "after SetAsReadOnly and SetAsHidden: attributes = " & fso.GetFile(path).Attributes
qv.ClearFileAttributes path
WScript.Echo "after ClearFileAttributes:          attributes = " & fso.GetFile(path).Attributes

WScript.Echo "== Copy, move, list, search, size, time stamp"
qv.CopyFile path, root & "\2026\12\copy.log", False, False
qv.CreateDir root & "\2026\11"
qv.MoveFileOrDirectory root & "\2026\12\copy.log", root & "\2026\11\moved.log"
WScript.Echo "GetDirectoryContents(2026\*, files and directories) = " & _
             qv.GetDirectoryContents(root & "\2026\*", True, True)
WScript.Echo "FindFileOrDirectory(root, ""*.log"") = " & qv.FindFileOrDirectory(root, "*.log")
WScript.Echo "GetFileSize(day.log) = " & qv.GetFileSize(path)
WScript.Echo "GetLastModifiedDate/Time(day.log) = " & qv.GetLastModifiedDate(path) & " " & qv.GetLastModifiedTime(path)
WScript.Echo "IsEmptyDirectory(2026\11) = " & qv.IsEmptyDirectory(root & "\2026\11")
qv.DeleteDirectory root & "\2026\11", True, True
WScript.Echo "after DeleteDirectory(2026\11, True, True): DirectoryExists = " & qv.DirectoryExists(root & "\2026\11")

WScript.Echo "== The registry: a key with a text and a number, read back, counted, deleted"
Const QV_KEY_CURRENT_USER = 1, QV_REG_SZ = 1, QV_REG_DWORD = 4
Dim key
key = "Software\QVFileIODemo"
qv.CreateRegistryKey QV_KEY_CURRENT_USER, key, "Greeting", "hello", QV_REG_SZ
qv.CreateRegistryKey QV_KEY_CURRENT_USER, key, "Count", "42", QV_REG_DWORD
qv.CreateRegistryKey QV_KEY_CURRENT_USER, key & "\Child", "Name", "a child", QV_REG_SZ
WScript.Echo "ReadRegistryStringData(Greeting) = " & qv.ReadRegistryStringData(QV_KEY_CURRENT_USER, key, "Greeting")
WScript.Echo "ReadRegistryNumericData(Count) = " & qv.ReadRegistryNumericData(QV_KEY_CURRENT_USER, key, "Count")
WScript.Echo "GetSubKeyCount = " & qv.GetSubKeyCount(QV_KEY_CURRENT_USER, key) & _
             ", GetRegSubKeyName(0) = " & qv.GetRegSubKeyName(QV_KEY_CURRENT_USER, key, 0)
qv.DeleteRegistryValue QV_KEY_CURRENT_USER, key, "Greeting"
qv.DeleteRegistryKey QV_KEY_CURRENT_USER, key & "\Child"
qv.DeleteRegistryKey QV_KEY_CURRENT_USER, key
WScript.Echo "after DeleteRegistryKey: the key is gone"

WScript.Echo "== The workstation"
WScript.Echo "GetWorkstationName = " & qv.GetWorkstationName()
Dim ini, programFiles, madeFolder, stream
ini = fso.GetSpecialFolder(0).Path & "\wkstn.ini"
Set stream = fso.CreateTextFile(ini, True)
stream.Write "[Workstation]" & vbCrLf & "ServerPath=\\server\scripts" & vbCrLf
stream.Close
WScript.Echo "GetScriptPath = " & qv.GetScriptPath() & "   (from wkstn.ini)"
fso.DeleteFile ini
WScript.Echo "MapNetworkDrive(""C:\"") = " & qv.MapNetworkDrive("C:\", "", "", "", "") & "   (a local path: the drive is checked)"
' The hand-shake through the script host. No share can be mapped here, so a
' stand-in answers as workstation\mapping\qvmap.vbs would after mapping one.
programFiles = fso.GetSpecialFolder(0).Path & "\downloaded program files"
madeFolder = Not fso.FolderExists(programFiles)
If madeFolder Then fso.CreateFolder programFiles
Set stream = fso.CreateTextFile(programFiles & "\qvfileio.inf", True)
stream.Write "[QVANE]" & vbCrLf & "MappingScript=demo-map.vbs" & vbCrLf
stream.Close
Set stream = fso.CreateTextFile(programFiles & "\demo-map.vbs", True)
stream.Write "Const KEY = ""HKLM\SOFTWARE\Quorvane\QVFileIO\Mapping\""" & vbCrLf & _
             "Set sh = CreateObject(""WScript.Shell"")" & vbCrLf & _
             "If Left(sh.RegRead(KEY & ""ServerPath""), 2) = ""\\"" Then sh.RegWrite KEY & ""Drive"", ""M:"", ""REG_SZ""" & vbCrLf & _
             "sh.RegWrite KEY & ""Success"", ""Y"", ""REG_SZ""" & vbCrLf
stream.Close
WScript.Echo "MapNetworkDrive(""\\server\share"") = " & _
             qv.MapNetworkDrive("\\server\share", "SOFTWARE\Quorvane\QVFileIO\Mapping", "ServerPath", "Drive", "Success") & _
             "   (through wscript.exe and the hand-shake script)"
fso.DeleteFile programFiles & "\qvfileio.inf"
fso.DeleteFile programFiles & "\demo-map.vbs"
If madeFolder Then fso.DeleteFolder programFiles

WScript.Echo "== A refused call"
On Error Resume Next
qv.Append "more", root & "\2026\12\", True, True, False
WScript.Echo "Err.Number      = 0x" & Hex(Err.Number)
WScript.Echo "Err.Description = " & Err.Description
WScript.Echo "Err.Source      = " & Err.Source
Err.Clear
qv.IsValidFileOrDirectoryName "a.txt", 2
WScript.Echo "Err.Number      = 0x" & Hex(Err.Number)
WScript.Echo "Err.Description = " & Err.Description
WScript.Echo "Err.Source      = " & Err.Source
On Error GoTo 0

WScript.Echo "== The records left in " & logPath
WScript.Echo "(the first two come from the existence checks made while day.log was created:"
WScript.Echo " an inner ""File not found"" stays in the log although the write succeeded)"
WScript.Echo fso.OpenTextFile(logPath, 1).ReadAll()

fso.DeleteFolder root, True

Sub ShowName(name, kind)
    WScript.Echo "IsValidFileOrDirectoryName(""" & name & """, " & kind & ") = " & _
                 qv.IsValidFileOrDirectoryName(name, kind)
End Sub
