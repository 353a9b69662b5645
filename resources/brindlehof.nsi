; The Windows setup, built by scripts/package-setup.sh with makensis, which defines STAGE (the
; unpacked zip's folder), FILES (what the uninstaller deletes, one line each), OUTFILE, VERSION
; (1.00.0004), VERSION4 (1.0.0.4), SIZE_KB and ICON. Per user: no administrator is asked for,
; the program goes under the user's own local application data, the entry under HKCU.
Target amd64-unicode
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!define KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Brindlehof"
!define WORK "$DOCUMENTS\Brindlehof"

Name "Brindlehof"
Caption "Brindlehof ${VERSION} Setup"
BrandingText "Brindlehof ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$LOCALAPPDATA\Programs\Brindlehof"
; Installed again, it goes where it went the first time.
InstallDirRegKey HKCU "${KEY}" "InstallLocation"

VIProductVersion ${VERSION4}
VIFileVersion ${VERSION4}
VIAddVersionKey /LANG=1033 "ProductName" "Brindlehof"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Brindlehof Setup"
VIAddVersionKey /LANG=1033 "Comments" "Installs Brindlehof, a desktop editor for Z80 assembly source"
VIAddVersionKey /LANG=1033 "LegalCopyright" "(c) the developers"
VIAddVersionKey /LANG=1033 "LegalTrademarks" "Brindlehof is a name of its developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section
    ; Over an earlier install the program's files are replaced; the user's are not touched.
    SetOutPath "$INSTDIR"
    File /r "${STAGE}/*"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The working folder, with the example source the first time only.
    SetOutPath "${WORK}"
    SetOverwrite off
    File "${STAGE}/demo.z80"
    SetOverwrite on
    ; The shortcut starts in the output folder of the moment: the working folder.
    CreateShortcut "$SMPROGRAMS\Brindlehof.lnk" "$INSTDIR\brindlehof.exe" "" \
        "$INSTDIR\brindlehof.exe" 0

    WriteRegStr HKCU "${KEY}" "DisplayName" "Brindlehof"
    WriteRegStr HKCU "${KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${KEY}" "Publisher" "the Brindlehof developers"
    WriteRegStr HKCU "${KEY}" "DisplayIcon" "$INSTDIR\brindlehof.exe,0"
    WriteRegStr HKCU "${KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${KEY}" "EstimatedSize" ${SIZE_KB}
    WriteRegDWORD HKCU "${KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${KEY}" "NoRepair" 1
SectionEnd

; The program's files by name, so that the user's sources stay, wherever the program went.
Section Uninstall
    !include "${FILES}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Brindlehof.lnk"
    DeleteRegKey HKCU "${KEY}"
SectionEnd
