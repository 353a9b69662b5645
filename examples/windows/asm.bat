@echo off
rem Assembles NAME.z80 into NAME.bin with pasmo and writes what the assembler says to NAME.log.
rem Brindlehof's Compile command starts it as "asm.bat NAME" in the editor's working folder,
rem minimised, and neither waits for it nor reads its output: NAME.log is where to look.
rem pasmo.exe must be on PATH. Words after NAME are ignored.
rem No parenthesised blocks: a ")" in NAME would end one early.
setlocal
if "%~1"=="" goto usage
set "name=%~1"
rem A binary left from an earlier run must not pass for the result of this one.
if exist "%name%.bin" del "%name%.bin"
where pasmo >nul 2>&1 || goto nopasmo
pasmo "%name%.z80" "%name%.bin" > "%name%.log" 2>&1
if errorlevel 1 goto failed
echo asm.bat: "%name%.z80" assembled into "%name%.bin">> "%name%.log"
exit /b 0

:failed
echo asm.bat: "%name%.z80" not assembled>> "%name%.log"
exit /b 1

:nopasmo
echo asm.bat: pasmo.exe is not on PATH> "%name%.log"
exit /b 9009

:usage
echo usage: asm.bat NAME   assembles NAME.z80 into NAME.bin, messages in NAME.log
exit /b 2
