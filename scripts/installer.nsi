; Covelin's per-user installer: no administrator rights, everything in the
; user's own profile and registry hive. Built by the build (cmake/Installer.cmake):
;   makensis -DVERSION=1.1 -DEXE=<Covelin.exe> -DROOT=<source tree> -DOUTFILE=<setup.exe> installer.nsi
; Switches: /S installs silently with the defaults; /StartWithWindows also
; chooses "Start Covelin with Windows". The uninstaller takes /S as well.

!ifndef VERSION | EXE | ROOT | OUTFILE
  !error "VERSION, EXE, ROOT and OUTFILE must be defined"
!endif

Unicode true
; Covelin is a 64-bit program only.
Target amd64-unicode
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Covelin"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "Covelin"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Covelin"
; Installing again goes where the first install went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Covelin ${VERSION}"

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh

!define MUI_ICON "${ROOT}/src/ui/res/icons/Covelin.ico"
!define MUI_UNICON "${ROOT}/src/ui/res/icons/Covelin.ico"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Ends the Covelin installed in $INSTDIR if it runs (it puts back what it
; hid and saves its settings), so that its files can be replaced or removed.
; Covelin's own exit codes: 0 ended, 1 none was running.
!macro DEFINE_END_RUNNING_COVELIN un
Function ${un}EndRunningCovelin
  IfFileExists "$INSTDIR\Covelin.exe" 0 done
  ClearErrors
  ExecWait '"$INSTDIR\Covelin.exe" /exit' $0
  IfErrors done
  ${If} $0 <> 0
  ${AndIf} $0 <> 1
    MessageBox MB_OK|MB_ICONSTOP "Covelin is running and did not close. Close it and try again." /SD IDOK
    Abort
  ${EndIf}
done:
FunctionEnd
!macroend
!insertmacro DEFINE_END_RUNNING_COVELIN ""
!insertmacro DEFINE_END_RUNNING_COVELIN "un."

Section "Covelin" SecProgram
  SectionIn RO
  Call EndRunningCovelin
  SetOutPath "$INSTDIR"
  ; setting.dat and the file list are the user's: an upgrade leaves them be.
  File "/oname=Covelin.exe" "${EXE}"
  File "/oname=README.md" "${ROOT}/README.md"
  File "/oname=LICENSE" "${ROOT}/LICENSE"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Covelin.lnk" "$INSTDIR\Covelin.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Covelin"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Tessary"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Covelin.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Start Covelin with Windows" SecStartWithWindows
  ; The value Covelin's own "Start with Windows" writes: its upper-cased
  ; path in quotes.
  StrCpy $0 "$INSTDIR\Covelin.exe"
  System::Call "user32::CharUpper(t r0 r0)i"
  WriteRegStr HKCU "${RUN_KEY}" "Covelin" '"$0"'
SectionEnd

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/StartWithWindows" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecStartWithWindows}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ; Nothing may stay hidden once Covelin is gone.
  Call un.EndRunningCovelin
  ; A Covelin that died while hiding windows left them to its next start,
  ; which will not come: they are shown now, before their journal goes.
  IfFileExists "$INSTDIR\Covelin.exe" 0 +2
  ExecWait '"$INSTDIR\Covelin.exe" /recover'
  Delete "$INSTDIR\Covelin.exe"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\LICENSE"
  Delete "$INSTDIR\setting.dat"
  Delete "$INSTDIR\setting.dat.tmp"
  Delete "$INSTDIR\hidden.dat"
  Delete "$INSTDIR\hidden.dat.tmp"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: whatever else the user put there stays.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Covelin.lnk"
  DeleteRegValue HKCU "${RUN_KEY}" "Covelin"
  DeleteRegKey HKCU "Software\Tessary\Covelin"
  DeleteRegKey /ifempty HKCU "Software\Tessary"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
