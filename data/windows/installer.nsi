; SPDX-License-Identifier: MIT
; The Windows installer of tova-control: per user, no administrator rights; the programs, their
; help, the licence and the user's guide; Start menu entries; an uninstaller in Programs and Features
; that leaves the user's saved settings (HKCU\Software\tova-control) as they are.
; makensis -DVERSION=1.41.0 -DFILES=<folder with the files> -DOUT=<setup.exe> installer.nsi
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"

Name "tova-control ${VERSION}"
OutFile "${OUT}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\tova-control"
InstallDirRegKey HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall\tova-control" "InstallLocation"
BrandingText "tova-control ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "tova-control"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "tova-control ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "MIT licence"

!define MUI_ICON "${FILES}\tova-control.ico"
!define MUI_UNICON "${FILES}\tova-control.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\tova-control.exe"
!define MUI_FINISHPAGE_RUN_PARAMETERS "--demo"
!define MUI_FINISHPAGE_RUN_TEXT "Try the panel on its virtual projectors (--demo)"
!insertmacro MUI_PAGE_LICENSE "${FILES}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

!define UNINSTALL "Software\Microsoft\Windows\CurrentVersion\Uninstall\tova-control"

Section "tova-control"
  SetOutPath "$INSTDIR"
  File "${FILES}\tova-control.exe"
  File "${FILES}\tova-send.exe"
  File "${FILES}\tova-control.ico"
  File "${FILES}\LICENSE.txt"
  File "${FILES}\guide.html"
  File "${FILES}\tova-control-help.txt"
  File "${FILES}\tova-send-help.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\tova-control"
  CreateShortcut "$SMPROGRAMS\tova-control\tova-control.lnk" "$INSTDIR\tova-control.exe"
  CreateShortcut "$SMPROGRAMS\tova-control\tova-control (virtual projectors).lnk" "$INSTDIR\tova-control.exe" "--demo"
  ; A console where tova-send is at hand, for scripts and trying codes.
  CreateShortcut "$SMPROGRAMS\tova-control\tova-send command prompt.lnk" "$SYSDIR\cmd.exe" \
    '/k "set PATH=$INSTDIR;%PATH% && tova-send --help"' "" "" SW_SHOWNORMAL "" "A console with tova-send on its PATH"
  CreateShortcut "$SMPROGRAMS\tova-control\tova-control guide.lnk" "$INSTDIR\guide.html"

  WriteRegStr HKCU "${UNINSTALL}" "DisplayName" "tova-control"
  WriteRegStr HKCU "${UNINSTALL}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL}" "Publisher" "the tova-control authors"
  WriteRegStr HKCU "${UNINSTALL}" "DisplayIcon" "$INSTDIR\tova-control.exe"
  WriteRegStr HKCU "${UNINSTALL}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\tova-control.exe"
  Delete "$INSTDIR\tova-send.exe"
  Delete "$INSTDIR\tova-control.ico"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\guide.html"
  Delete "$INSTDIR\README.txt" ; what 1.41 and before installed
  Delete "$INSTDIR\tova-control-help.txt"
  Delete "$INSTDIR\tova-send-help.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\tova-control\*.lnk"
  RMDir "$SMPROGRAMS\tova-control"
  DeleteRegKey HKCU "${UNINSTALL}"
  ; The devices kept with --save stay: they are the user's, not the program's.
SectionEnd
