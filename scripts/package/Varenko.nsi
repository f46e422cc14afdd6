; The Windows installer: per user, without administrator rights (the program runs asInvoker), into
; the user's own programs folder. scripts/package.sh passes the version and the folders:
;   makensis -DVERSION=a.b.c.d -DBIN=<programs> -DSOURCE=<repository> -DOUTFILE=<setup.exe> Varenko.nsi
; The setup program is a 64-bit program like the ones it installs, so it writes to the 64-bit
; registry and folders without redirection; 32-bit Windows refuses to start it at all.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "MUI2.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"

!define NAME "Varenko"
!define PUBLISHER "Varenko"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Varenko"
!define SETTINGS_KEY "Software\Varenko"

Name "${NAME}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${NAME}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${NAME} ${VERSION}"

; The setup program carries the same version and icon as the program it installs.
Icon "${SOURCE}/app/varenko.ico"
UninstallIcon "${SOURCE}/app/varenko.ico"
VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${NAME}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${NAME} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) the Varenko authors"

!define MUI_ICON "${SOURCE}/app/varenko.ico"
!define MUI_UNICON "${SOURCE}/app/varenko.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Varenko.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${NAME}"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ; The programs are built for x64 only. 32-bit Windows already refuses a 64-bit setup program
  ; with its own message; this one also covers an x64 emulation layer that reports otherwise.
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "${NAME} needs a 64-bit edition of Windows; this one is 32-bit." /SD IDOK
    Abort
  ${EndIf}
  SetShellVarContext current
FunctionEnd

Section "Varenko" Main
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${BIN}/Varenko.exe"
  File "${BIN}/varenko-cmd.exe"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateShortCut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\Varenko.exe" "" "$INSTDIR\Varenko.exe" 0
  ; Files sent to Varenko arrive on its command line.
  CreateDirectory "$SENDTO"
  CreateShortCut "$SENDTO\${NAME}.lnk" "$INSTDIR\Varenko.exe" "" "$INSTDIR\Varenko.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Varenko.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "Uninstall"
  Delete "$INSTDIR\Varenko.exe"
  Delete "$INSTDIR\varenko-cmd.exe"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${NAME}.lnk"
  Delete "$SENDTO\${NAME}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  ; The user's settings stay unless asked for: /REMOVESETTINGS when silent, a question otherwise.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    DeleteRegKey HKCU "${SETTINGS_KEY}"
  ${Else}
    MessageBox MB_YESNO|MB_DEFBUTTON2|MB_ICONQUESTION "Also remove your ${NAME} settings?" /SD IDNO IDNO keep
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    keep:
  ${EndIf}
SectionEnd
