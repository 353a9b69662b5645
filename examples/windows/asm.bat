@echo off
rem Assembles NAME.z80 into NAME.bin with pasmo and leaves pasmo's listing in NAME.lst and its
rem symbols in NAME.sym beside it. Brindlehof's Compile command starts it as "asm.bat NAME" in
rem the editor's working folder, minimised, and neither waits for it nor reads its output, so the
rem result is one line in NAME.log: "NAME.z80 assembled into NAME.bin, N bytes" or the first
rem error with its line. The pasmo.exe used is the one on PATH, else the one beside this script
rem (the program's folder), else the installed Brindlehof's, which a copy of this script in a
rem working folder finds through the installer's record. Words after NAME are ignored.
rem No parenthesised blocks: a ")" in NAME would end one early.
setlocal
if "%~1"=="" goto usage
set "name=%~1"
rem Results left from an earlier run must not pass for those of this one.
if exist "%name%.bin" del "%name%.bin"
if exist "%name%.lst" del "%name%.lst"
if exist "%name%.sym" del "%name%.sym"
call :onpath pasmo.exe
if not defined pasmo if exist "%~dp0pasmo.exe" set "pasmo=%~dp0pasmo.exe"
if not defined pasmo call :installed
if not defined pasmo goto nopasmo
"%pasmo%" -d "%name%.z80" "%name%.bin" "%name%.sym" > "%name%.lst" 2> "%name%.err"
if errorlevel 1 goto failed
del "%name%.err"
call :size "%name%.bin"
call :report "%name%.z80 assembled into %name%.bin, %size% bytes"
exit /b 0

rem pasmo says "ERROR on line 3 of file demo.z80", then "ERROR: what went wrong".
:failed
set "where=" & set "what="
for /f "usebackq delims=" %%L in ("%name%.err") do call :error "%%L"
del "%name%.err"
set "what=%what:*ERROR: =%"
if not "%where:~0,14%"=="ERROR on line " goto unplaced
set "where=%where:~14%"
call :first %where%
call :report "%where:* of file =% line %first%: %what%"
exit /b 1

:unplaced
set "what=%where:*ERROR: =%"
call :report "%name%.z80 not assembled: %what%"
exit /b 1

:nopasmo
call :report "asm.bat: no pasmo.exe on PATH, beside asm.bat or where Brindlehof is installed"
exit /b 9009

:usage
echo usage: asm.bat NAME   assembles NAME.z80 into NAME.bin, the result in NAME.log
exit /b 2

:onpath
set "pasmo=%~$PATH:1"
exit /b 0

:installed
set "key=HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Brindlehof"
for /f "tokens=2,*" %%A in ('reg query "%key%" /v InstallLocation 2^>nul') do set "folder=%%B"
if defined folder if exist "%folder%\pasmo.exe" set "pasmo=%folder%\pasmo.exe"
exit /b 0

:error
if defined what exit /b 0
if defined where set "what=%~1"
if not defined where set "where=%~1"
exit /b 0

:first
set "first=%~1"
exit /b 0

:size
set "size=%~z1"
exit /b 0

:report
echo %~1> "%name%.log"
echo %~1
exit /b 0
