@echo off
rem Registers QVFileIO3.dll for the script hosts of this machine, each library
rem with the regsvr32 of its own width: on 32-bit Windows the 32-bit library;
rem on 64-bit Windows the 64-bit one, and the 32-bit one beside it where this
rem Windows runs 32-bit programs. Run it from an elevated prompt (right-click,
rem Run as administrator). uninstall.cmd runs it with /u to remove them.
setlocal
set "HERE=%~dp0"
set "SWITCH="
set "DOING=register"
set "DONE=installed"
set "AGAIN=install.cmd"
if /i not "%~1"=="/u" goto :start
set "SWITCH=/u"
set "DOING=unregister"
set "DONE=removed"
set "AGAIN=uninstall.cmd"
:start
rem The width of Windows, not of this prompt: a 32-bit prompt on 64-bit
rem Windows sees x86 in PROCESSOR_ARCHITECTURE and the truth in
rem PROCESSOR_ARCHITEW6432.
set "ARCH=%PROCESSOR_ARCHITECTURE%"
if defined PROCESSOR_ARCHITEW6432 set "ARCH=%PROCESSOR_ARCHITEW6432%"
set "NATIVE=%SystemRoot%\System32"
rem A 32-bit prompt on 64-bit Windows reaches the 64-bit System32 as Sysnative.
if exist "%SystemRoot%\Sysnative\regsvr32.exe" set "NATIVE=%SystemRoot%\Sysnative"
set FAILED=0
if /i "%ARCH%"=="x86" goto :x86
if /i "%ARCH%"=="AMD64" goto :x64
echo QVFileIO is NOT %DONE%: this Windows runs on %ARCH%, and the package holds libraries for x86 and x64 only.
exit /b 1
:x86
call :run "%NATIVE%\regsvr32.exe" "%HERE%x86\QVFileIO3.dll" 32-bit
goto :done
:x64
rem 64-bit Windows without its 32-bit subsystem (WoW64) has no SysWOW64\regsvr32.exe.
if exist "%SystemRoot%\SysWOW64\regsvr32.exe" goto :x64both
echo The 32-bit library was not %DONE%: this Windows runs no 32-bit programs.
goto :x64only
:x64both
call :run "%SystemRoot%\SysWOW64\regsvr32.exe" "%HERE%x86\QVFileIO3.dll" 32-bit
:x64only
call :run "%NATIVE%\regsvr32.exe" "%HERE%x64\QVFileIO3.dll" 64-bit
:done
if "%FAILED%"=="0" goto :success
echo QVFileIO is NOT %DONE%: run %AGAIN% again from an elevated prompt (Run as administrator).
exit /b 1
:success
if "%DONE%"=="removed" goto :removed
echo QVFileIO is installed: scripts create it with CreateObject("QVFileIOSvr.QVFileIO3.1").
exit /b 0
:removed
echo QVFileIO is removed.
exit /b 0

:run
"%~1" /s %SWITCH% "%~2"
set CODE=%errorlevel%
if "%CODE%"=="0" goto :ok
echo Failed to %DOING% the %3 library %~2: regsvr32 ended with %CODE%.
set FAILED=1
exit /b 0
:ok
if "%DOING%"=="register" echo Registered the %3 library %~2.
if "%DOING%"=="unregister" echo Unregistered the %3 library %~2.
exit /b 0
