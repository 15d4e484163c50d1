@echo off
rem Registers QVFileIO3.dll for the script hosts of this machine: the 32-bit
rem library always, and on 64-bit Windows the 64-bit one beside it, each
rem with the regsvr32 of its own width. Run it from an elevated prompt
rem (right-click, Run as administrator).
setlocal
set "HERE=%~dp0"
set "NATIVE=%SystemRoot%\System32"
rem A 32-bit prompt on 64-bit Windows reaches the 64-bit System32 as Sysnative.
if exist "%SystemRoot%\Sysnative\regsvr32.exe" set "NATIVE=%SystemRoot%\Sysnative"
set FAILED=0
if exist "%SystemRoot%\SysWOW64\regsvr32.exe" goto :both
call :run "%NATIVE%\regsvr32.exe" "%HERE%x86\QVFileIO3.dll" 32-bit
goto :done
:both
call :run "%SystemRoot%\SysWOW64\regsvr32.exe" "%HERE%x86\QVFileIO3.dll" 32-bit
call :run "%NATIVE%\regsvr32.exe" "%HERE%x64\QVFileIO3.dll" 64-bit
:done
if "%FAILED%"=="0" goto :installed
echo QVFileIO is NOT installed: run install.cmd again from an elevated prompt (Run as administrator).
exit /b 1
:installed
echo QVFileIO is installed: scripts create it with CreateObject("QVFileIOSvr.QVFileIO3.1").
exit /b 0

:run
"%~1" /s "%~2"
set CODE=%errorlevel%
if "%CODE%"=="0" goto :ok
echo Failed to register the %3 library %~2: regsvr32 ended with %CODE%.
set FAILED=1
exit /b 0
:ok
echo Registered the %3 library %~2.
exit /b 0
