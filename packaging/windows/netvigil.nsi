; Netvigil's installer, built with makensis on Linux:
;   makensis -DVERSION=2.0.0 -DSOURCE=<programs> -DICON=<netvigil.ico> -DOUTFILE=<setup.exe> netvigil.nsi
; Per user, with no administrator rights, into %LOCALAPPDATA%\Programs\Netvigil.
; On Windows 10 and later only: on an older Windows it says so and installs nothing.
; Silent: /S; /AUTOSTART also starts Netvigil hidden at log-in. The silent
; uninstaller keeps the user's settings unless given /REMOVESETTINGS.

; A 64-bit installer for the 64-bit programs: it runs where only 64-bit programs
; do (a Wine without its 32-bit half).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
; Windows tells a program its own version only when the program's manifest
; names it; the version check below needs the truth.
ManifestSupportedOS all

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "WinVer.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Netvigil"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "Software\Netvigil"
; The oldest Windows whose system libraries have every function the programs
; import: Windows 10, version 1507 (build 10240).
!define MIN_WINDOWS_BUILD 10240
; ERROR_OLD_WIN_VERSION: "The specified program requires a newer version of Windows."
!define ERROR_OLD_WIN_VERSION 1150

Name "Netvigil"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Netvigil"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Netvigil"
VIAddVersionKey "FileDescription" "Netvigil ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "The Netvigil developers"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\netvigil.exe"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A Netvigil that is running is asked to end, as closing its windows does,
; so that its files can be replaced or removed.
!macro CloseNetvigil
    StrCpy $1 0
    close_next:
        FindWindow $0 "NetvigilForm"
        IntCmp $0 0 closed
        SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=2000
        Sleep 200
        IntOp $1 $1 + 1
        IntCmp $1 50 closed close_next closed
    closed:
!macroend

Section "Netvigil" SecProgram
    SectionIn RO
    SetShellVarContext current
    !insertmacro CloseNetvigil
    SetOutPath "$INSTDIR"
    File "${SOURCE}/netvigil.exe"
    File "${SOURCE}/ping.exe"
    File "${SOURCE}/browser.exe"
    File "${SOURCE}/netvigil-reg.exe"
    File "${SOURCE}/README.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortCut "$SMPROGRAMS\Netvigil.lnk" "$INSTDIR\netvigil.exe"
    ; Apps and features.
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Netvigil"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Netvigil"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\netvigil.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Start Netvigil hidden at log-in" SecAutostart
    WriteRegStr HKCU "${RUN_KEY}" "Netvigil" '"$INSTDIR\netvigil.exe" /HIDE'
SectionEnd

Function .onInit
    ${IfNot} ${AtLeastWin10}
    ${OrIfNot} ${AtLeastBuild} ${MIN_WINDOWS_BUILD}
        MessageBox MB_OK|MB_ICONSTOP "Netvigil needs Windows 10 or later. This computer runs an older Windows, so Netvigil was not installed." /SD IDOK
        SetErrorLevel ${ERROR_OLD_WIN_VERSION}
        Quit
    ${EndIf}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/AUTOSTART" $1
    IfErrors +2
    SectionSetFlags ${SecAutostart} ${SF_SELECTED}
FunctionEnd

Section "Uninstall"
    SetShellVarContext current
    !insertmacro CloseNetvigil
    Delete "$INSTDIR\netvigil.exe"
    Delete "$INSTDIR\ping.exe"
    Delete "$INSTDIR\browser.exe"
    Delete "$INSTDIR\netvigil-reg.exe"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Netvigil.lnk"
    DeleteRegValue HKCU "${RUN_KEY}" "Netvigil"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ; The hosts and colours stay for a later install unless the user asks.
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/REMOVESETTINGS" $1
    IfErrors 0 remove_settings
    MessageBox MB_YESNO|MB_DEFBUTTON2 "Remove your Netvigil settings (hosts and colours) as well?" /SD IDNO IDNO keep_settings
    remove_settings:
        DeleteRegKey HKCU "${SETTINGS_KEY}"
    keep_settings:
SectionEnd
