; lumora-setup.exe: installs Lumora for the user who runs it, without
; administrator rights, into %LOCALAPPDATA%\Programs\Lumora: lumoractl.exe,
; hidapi.dll, the licences and, when the build has it, the dialog lumora.exe
; with a Start-menu entry. It may add the folder to the user's PATH (a
; component the user can untick). No driver is installed: the module is
; reached through Windows' own HID driver. The uninstaller takes away the
; files, the Start-menu entry, the PATH entry and its own registry key.
;
; packaging/windows/CMakeLists.txt runs it:
;   makensis -DVERSION=1.0.0.1 -DSTAGE=<staged files> -DOUTFILE=<setup.exe> lumora.nsi
; Silently: lumora-setup.exe /S [/D=C:\path]; uninstall.exe /S.

; A 64-bit installer for 64-bit programs (and one that Wine runs without
; its 32-bit half).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestSupportedOS Win10

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "WordFunc.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumora"
!define ENVIRONMENT_KEY "Environment"

Name "Lumora ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Lumora"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "Lumora"
VIAddVersionKey "FileDescription" "Lumora installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "Lumora developers"
VIAddVersionKey "LegalCopyright" "See the licences folder"

!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Lumora (lumoractl and hidapi.dll)" SecPrograms
  SectionIn RO
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${STAGE}\lumoractl.exe"
  File "${STAGE}\hidapi.dll"
  SetOutPath "$INSTDIR\licences"
  File "${STAGE}\licences\*.txt"
!if /FileExists "${STAGE}\lumora.exe"
  SetOutPath "$INSTDIR"
  File "${STAGE}\lumora.exe"
  CreateShortCut "$SMPROGRAMS\Lumora.lnk" "$INSTDIR\lumora.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\lumora.exe"
!endif
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Lumora"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Lumora developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; NSIS holds a string of at most NSIS_MAX_STRLEN characters: a longer PATH
; would come back cut short, so it is left as it is and the user told.
Section "Add lumoractl to my PATH" SecPath
  ReadRegStr $0 HKCU "${ENVIRONMENT_KEY}" "Path"
  StrLen $1 $0
  StrLen $2 "$INSTDIR"
  IntOp $1 $1 + $2
  ${If} $1 >= ${NSIS_MAX_STRLEN}
    DetailPrint "Your PATH is too long to be changed here; add $INSTDIR to it yourself."
    MessageBox MB_OK|MB_ICONEXCLAMATION "Your PATH is too long to be changed here; add $INSTDIR to it yourself." /SD IDOK
  ${Else}
    ${WordAdd} "$0" ";" "+$INSTDIR" $1
    WriteRegExpandStr HKCU "${ENVIRONMENT_KEY}" "Path" "$1"
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "AddedToPath" 1
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=2000
  ${EndIf}
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  ReadRegDWORD $0 HKCU "${UNINSTALL_KEY}" "AddedToPath"
  ${If} $0 = 1
    ReadRegStr $0 HKCU "${ENVIRONMENT_KEY}" "Path"
    StrLen $1 $0
    ${If} $1 < ${NSIS_MAX_STRLEN}
      ${WordAdd} "$0" ";" "-$INSTDIR" $1
      ${If} $1 == ""
        DeleteRegValue HKCU "${ENVIRONMENT_KEY}" "Path"
      ${Else}
        WriteRegExpandStr HKCU "${ENVIRONMENT_KEY}" "Path" "$1"
      ${EndIf}
      SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=2000
    ${Else}
      DetailPrint "Your PATH is too long to be changed here; take $INSTDIR out of it yourself."
    ${EndIf}
  ${EndIf}
  Delete "$SMPROGRAMS\Lumora.lnk"
  Delete "$INSTDIR\lumora.exe"
  Delete "$INSTDIR\lumoractl.exe"
  Delete "$INSTDIR\hidapi.dll"
  Delete "$INSTDIR\licences\*.txt"
  RMDir "$INSTDIR\licences"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
