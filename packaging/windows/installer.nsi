; SPDX-License-Identifier: GPL-3.0-or-later
; The Windows setup program, torvane-configurator-<version>-setup.exe. scripts/package-windows lays out
; the files in a folder and runs Debian's makensis on this script with:
;   /DVERSION=1.8.1            the project version of CMakeLists.txt
;   /DLICENSE_FILE=FILE        the licence the licence page shows (LICENSE, as installed)
;   /DICON=FILE                packaging/windows/torvane-configurator.ico
;   /DINSTALL_LIST=FILE        SetOutPath and File lines for every file to install (as the zip has them)
;   /DUNINSTALL_LIST=FILE      Delete and RMDir lines for the same files and their folders
;   /DSIZE_KB=N                what the files take, for Apps & features
;   /DOUTFILE=FILE             the setup program to write
; The installer asks for administrator rights, installs for all users into Program Files and
; registers its uninstaller. /S installs (and the uninstaller's /S uninstalls) without a question.

Unicode true
; The programs are 64-bit, so the setup program is too: it runs wherever they can (and under a 64-bit
; wine, which cannot start 32-bit programs without its 32-bit part).
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh

!define PRODUCT "Torvane Configurator"
!define PUBLISHER "Torvane Configurator maintainers"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define UNINSTALLER "Uninstall.exe"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; A second installation (an upgrade) goes where the first one went.
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 Torvane Configurator maintainers, GPL-3.0-or-later"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This will install ${PRODUCT} ${VERSION}, which reads and writes the settings, the number list and the history of a GSM relay controller over a serial port, and its command-line tool torvane.exe.$\r$\n$\r$\nClick Next to continue."
!define MUI_FINISHPAGE_NOAUTOCLOSE

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE_FILE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP|MB_OK "${PRODUCT} needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

; An earlier installation is uninstalled first, so that none of its files that this version no longer
; has stays behind where no uninstaller knows of it. Its uninstaller runs in place (_?=) and is waited
; for; the user's data is not among what it removes.
Function RemoveEarlier
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\${UNINSTALLER}"
    DetailPrint "Removing the installed version from $0"
    ExecWait '"$0\${UNINSTALLER}" /S _?=$0'
    Delete "$0\${UNINSTALLER}"
    RMDir "$0"
  ${EndIf}
FunctionEnd

Section "${PRODUCT}" SecProgram
  SectionIn RO
  Call RemoveEarlier

  !include "${INSTALL_LIST}"

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\torvane-configurator.exe" "" "$INSTDIR\torvane-configurator.exe" 0 \
    SW_SHOWNORMAL "" "Configure a GSM relay controller"

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\torvane-configurator.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

; Removes what the installer put there, and the folder when nothing else is left in it. The user's
; configuration and backups under %LOCALAPPDATA%\Torvane Configurator are theirs and stay, and so do
; "configuration" and "backups" folders beside the program that hold files someone put there (an
; installed copy makes none there itself).
Section "Uninstall"
  Delete "${SHORTCUT}"

  !include "${UNINSTALL_LIST}"

  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR\configuration"
  RMDir "$INSTDIR\backups"
  RMDir "$INSTDIR"

  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
