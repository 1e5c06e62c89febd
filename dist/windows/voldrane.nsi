; Per-user installer of Voldrane for Windows: no administrator rights, the user's own
; programs folder, a Start-menu entry, and on request a start at sign-in. Built on Linux by
; scripts/package-windows.sh:
;   makensis -DVERSION=1.1.0 -DSTAGE=<files> -DOUTFILE=<setup.exe> [-DHAVE_TRAY] [-DICON=<ico>]
;            voldrane.nsi
; STAGE holds voldranectl.exe, the help folder and, once it is built, voldrane.exe (HAVE_TRAY).
; Silent: setup.exe /S [/AUTOSTART] [/D=<folder>]; uninstall.exe /S [/REMOVESETTINGS].

Unicode true
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!ifndef VERSION | STAGE | OUTFILE
!error "VERSION, STAGE and OUTFILE must be defined (see scripts/package-windows.sh)"
!endif

!define PRODUCT "Voldrane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Voldrane"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Voldrane"
; The offices and settings of the program itself: kept by the uninstaller unless asked.
!define SETTINGS_KEY "SOFTWARE\Kestamor\Voldrane"
; The tray program's hidden window takes the tray menu's commands; 57665 is "Exit".
!define FRAME_CLASS "Voldrane Frame"
!define ID_APP_EXIT 57665

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Voldrane"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "Kestamor"
VIAddVersionKey "FileDescription" "${PRODUCT} installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright © 2026 Kestamor"

!ifdef ICON
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_DIRECTORY
!ifdef HAVE_TRAY
!insertmacro MUI_PAGE_COMPONENTS
!endif
!insertmacro MUI_PAGE_INSTFILES
!ifdef HAVE_TRAY
!define MUI_FINISHPAGE_RUN "$INSTDIR\voldrane.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Voldrane now"
!endif
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\help\index.html"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Read the manual"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Asks a running tray program to exit, as its menu's "Exit" does, and waits up to 5 s for it:
; Windows cannot replace or delete a program file while it runs.
!macro CLOSE_RUNNING un
Function ${un}CloseRunningProgram
    Push $0
    Push $1
    FindWindow $0 "${FRAME_CLASS}"
    ${If} $0 != 0
        DetailPrint "Closing the running Voldrane"
        SendMessage $0 ${WM_COMMAND} ${ID_APP_EXIT} 0 /TIMEOUT=2000
        StrCpy $1 0
        ${DoWhile} $1 < 50
            FindWindow $0 "${FRAME_CLASS}"
            ${IfThen} $0 == 0 ${|} ${Break} ${|}
            Sleep 100
            IntOp $1 $1 + 1
        ${Loop}
        ; The window goes first; the process ends a moment later.
        Sleep 500
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING ""
!insertmacro CLOSE_RUNNING "un."

Section "Voldrane" SecProgram
    SectionIn RO
    SetShellVarContext current
    Call CloseRunningProgram

    SetOutPath "$INSTDIR"
    File "${STAGE}/voldranectl.exe"
!ifdef HAVE_TRAY
    File "${STAGE}/voldrane.exe"
!endif
    ; The manual, where the program looks for it: the folder "help" beside it.
    RMDir /r "$INSTDIR\help"
    SetOutPath "$INSTDIR\help"
    File /r "${STAGE}/help/*.*"
    SetOutPath "$INSTDIR"

    WriteUninstaller "$INSTDIR\uninstall.exe"

!ifdef HAVE_TRAY
    CreateShortcut "$SMPROGRAMS\Voldrane.lnk" "$INSTDIR\voldrane.exe" "" \
        "$INSTDIR\voldrane.exe" 0 SW_SHOWNORMAL "" \
        "Makes the printer of the office you are in your default printer"
!endif

    ; "Installed apps" / "Programs and Features", for this user only.
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Kestamor"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
!ifdef HAVE_TRAY
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\voldrane.exe,0"
!endif
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

!ifdef HAVE_TRAY
; The same value the program's own "Start Voldrane when I sign in" check box writes.
Section /o "Start Voldrane when I sign in" SecAutostart
    WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\voldrane.exe"'
SectionEnd
!endif

Function .onInit
    SetShellVarContext current
!ifdef HAVE_TRAY
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/AUTOSTART" $R1
    ${IfNot} ${Errors}
        SectionSetFlags ${SecAutostart} ${SF_SELECTED}
    ${EndIf}
!endif
FunctionEnd

Section "Uninstall"
    SetShellVarContext current
    Call un.CloseRunningProgram

    Delete "$INSTDIR\voldrane.exe"
    Delete "$INSTDIR\voldranectl.exe"
    RMDir /r "$INSTDIR\help"
    Delete "$INSTDIR\uninstall.exe"
    ; Only when empty: files the user put there stay.
    RMDir "$INSTDIR"

    Delete "$SMPROGRAMS\Voldrane.lnk"
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"

    ; The offices stay for a later install unless the user asks (silently: /REMOVESETTINGS).
    ${un.GetParameters} $R0
    ClearErrors
    ${un.GetOptions} $R0 "/REMOVESETTINGS" $R1
    ${If} ${Errors}
        MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
            "Also remove your office networks and Voldrane's settings?" /SD IDNO IDNO keep
    ${EndIf}
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "SOFTWARE\Kestamor"
    keep:
SectionEnd
