' The workstation's mapping script for QVFileIO's MapNetworkDrive.
'
' Install (from an elevated prompt), in the Windows directory's
' "downloaded program files" folder:
'   copy qvmap.vbs "%windir%\downloaded program files\"
'   copy qvfileio.inf "%windir%\downloaded program files\"
' (qvfileio.inf names this script: section [QVANE], MappingScript=qvmap.vbs.)
'
' The hand-shake, below HKEY_LOCAL_MACHINE\SOFTWARE\Quorvane\QVFileIO\Mapping:
'   ServerPath  written by MapNetworkDrive before this script runs: the share
'   Drive       written here: the drive it was mapped to, as "X:"
'   Success     written here: "Y" when the share was mapped, "N" when not
' so a script maps a share with:
'   drive = qv.MapNetworkDrive("\\server\share", "SOFTWARE\Quorvane\QVFileIO\Mapping", _
'                              "ServerPath", "Drive", "Success")
' The share goes to the first free drive letter from D: to Z:.
Option Explicit
Const KEY = "HKLM\SOFTWARE\Quorvane\QVFileIO\Mapping\"
Dim shell, network, fso, server, letter, drive
Set shell = CreateObject("WScript.Shell")
Set network = CreateObject("WScript.Network")
Set fso = CreateObject("Scripting.FileSystemObject")

drive = ""
On Error Resume Next
server = shell.RegRead(KEY & "ServerPath")
If Err.Number = 0 And Len(server) > 2 Then
    For letter = Asc("D") To Asc("Z")
        If Not fso.DriveExists(Chr(letter) & ":") Then
            Err.Clear
            network.MapNetworkDrive Chr(letter) & ":", server
            If Err.Number = 0 Then drive = Chr(letter) & ":"
            Exit For
        End If
    Next
End If
On Error GoTo 0

If drive <> "" Then
    shell.RegWrite KEY & "Drive", drive, "REG_SZ"
    shell.RegWrite KEY & "Success", "Y", "REG_SZ"
Else
    shell.RegWrite KEY & "Success", "N", "REG_SZ"
End If
