; Installer of the Windows program: tessaro.exe into Program Files, a Start-menu
; entry, and an uninstaller listed in Apps & Features. The user's settings in
; the registry stay when the program is removed.
; makensis -DVERSION=x.y.z.w -DEXE=path/tessaro.exe -DICON=path/tessaro.ico -DOUT=setup.exe tessaro.nsi
; A 64-bit installer for the 64-bit program (it also runs where wine has no 32-bit part).
Target amd64-unicode
SetCompressor /SOLID lzma

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaro"

Name "Tessaro ${VERSION}"
OutFile "${OUT}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$PROGRAMFILES64\Tessaro"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
RequestExecutionLevel admin
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "Tessaro"
VIAddVersionKey "CompanyName" "Veltmark-soft"
VIAddVersionKey "FileDescription" "Tessaro installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Veltmark-soft"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Section "Tessaro"
    SetOutPath "$INSTDIR"
    File "/oname=tessaro.exe" "${EXE}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\Tessaro.lnk" "$INSTDIR\tessaro.exe"
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Tessaro"
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "Veltmark-soft"
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\tessaro.exe"
    WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
SectionEnd

; The folder goes last: its disappearance tells a silent uninstall is done.
Section "Uninstall"
    DeleteRegKey HKLM "${UNINST_KEY}"
    Delete "$SMPROGRAMS\Tessaro.lnk"
    Delete "$INSTDIR\tessaro.exe"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
SectionEnd
