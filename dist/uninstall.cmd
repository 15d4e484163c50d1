@echo off
rem Removes the registration of QVFileIO3.dll that install.cmd made, each
rem library with the regsvr32 of its own width. Run it from an elevated
rem prompt (right-click, Run as administrator).
call "%~dp0install.cmd" /u
