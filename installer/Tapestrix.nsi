; Tapestrix setup: installs the tray program for the current user (no
; administrator rights), creates its settings key with the values the
; program needs but never writes, adds a Start menu shortcut, optionally
; starts it at log-on, and registers an uninstaller in the user's list of
; installed programs.  Under Wine it also installs the Active Desktop object
; Tapestrix needs there.
;
; Made by installer/CMakeLists.txt (target tpx_installer), which defines:
;   TPX_VERSION, TPX_VERSION_QUAD  the project's version
;   TPX_EXE, TPX_PROVIDER          Tapestrix.exe, tpxactivedesktop.dll
;   TPX_CHM                        Tapestrix.chm (a setup without it is not made)
;   TPX_ICON, TPX_NOTICE, TPX_OUT  icon, notice page text, the setup file
;   TPX_WIZARD                     the finish page's picture (make_wizard_bitmap.py)
;
; Silent use: Tapestrix-<version>-setup.exe /S [/D=folder]  and
;             Uninstall.exe /S  (keeps the settings).

Unicode true
; Wine runs only the 64-bit stubs: a 32-bit setup silently does nothing there.
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WinMessages.nsh

!define APP_KEY       "Software\Brindlecourt\Tapestrix"
!define BRAND_KEY     "Software\Brindlecourt"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tapestrix"
!define RUN_KEY       "Software\Microsoft\Windows\CurrentVersion\Run"
!define DATA_DIR      "$LOCALAPPDATA\Brindlecourt\Tapestrix"
!define CONVERTED_BMP "${DATA_DIR}\Converted.bmp"
!define MUTEX_NAME    "Tapestrix Application"
!define ID_EXIT       32772        ; the tray menu's Exit command
!define SYNCHRONIZE   0x00100000
!define AD_CLASS_KEY  "Software\Classes\CLSID\{75048700-EF1F-11D0-9888-006097DEACF9}"
; What the Active Desktop class was before the first install: a registry
; file that puts it back (or removes it, when there was none).
!define AD_RECORD     "ActiveDesktopBefore.reg"

Name "Tapestrix"
Caption "Tapestrix ${TPX_VERSION} Setup"
UninstallCaption "Tapestrix Uninstall"
BrandingText "Tapestrix ${TPX_VERSION}"
OutFile "${TPX_OUT}"
InstallDir "$LOCALAPPDATA\Programs\Tapestrix"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

Var KeepSettings
Var PreviousDir

; ---------------------------------------------------------------- pages

!define MUI_ICON "${TPX_ICON}"
!define MUI_UNICON "${TPX_ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${TPX_WIZARD}"
!define MUI_ABORTWARNING

!define MUI_PAGE_HEADER_TEXT "Notice"
!define MUI_PAGE_HEADER_SUBTEXT "What Tapestrix is, what setup does, and the licences it comes with."
!insertmacro MUI_PAGE_LICENSE "${TPX_NOTICE}"
!insertmacro MUI_PAGE_DIRECTORY
!define MUI_PAGE_HEADER_TEXT "Options"
!define MUI_PAGE_HEADER_SUBTEXT "Choose how Tapestrix is set up for you."
!define MUI_COMPONENTSPAGE_TEXT_TOP "Tapestrix is always installed. Untick what you do not want."
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Tapestrix.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Tapestrix now"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${TPX_VERSION_QUAD}"
VIFileVersion "${TPX_VERSION_QUAD}"
VIAddVersionKey "ProductName" "Tapestrix"
VIAddVersionKey "CompanyName" "Brindlecourt"
VIAddVersionKey "FileDescription" "Tapestrix Setup"
VIAddVersionKey "FileVersion" "${TPX_VERSION_QUAD}"
VIAddVersionKey "ProductVersion" "${TPX_VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) Brindlecourt"

; ---------------------------------------------------------------- a running copy

; Asks every running Tapestrix to exit the way its tray menu would, and waits
; until none is left (a copy holds its mutex until its very end).  Aborts
; when one will not go: its files cannot be replaced or removed under it.
!macro STOP_TAPESTRIX_FUNCTION PREFIX
Function ${PREFIX}StopTapestrix
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $1 0
  ${Do}
    FindWindow $0 "#32770" "Tapestrix" "" $1
    ${If} $0 = 0
      ${ExitDo}
    ${EndIf}
    StrCpy $1 $0
    ; The hidden main dialog; the program's message boxes carry the same
    ; title but are shown.
    System::Call 'user32::IsWindowVisible(p r0) i .r2'
    ${If} $2 = 0
      System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r3)'
      System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r3) p .r4'
      DetailPrint "Asking the running Tapestrix to exit"
      System::Call 'user32::PostMessageW(p r0, i ${WM_COMMAND}, p ${ID_EXIT}, p 0)'
      ${If} $4 != 0
        System::Call 'kernel32::WaitForSingleObject(p r4, i 10000) i .r2'
        System::Call 'kernel32::CloseHandle(p r4)'
        ; Gone, and its window with it: search from the start again.
        ${If} $2 = 0
          StrCpy $1 0
        ${EndIf}
      ${EndIf}
    ${EndIf}
  ${Loop}

  StrCpy $2 0
  ${Do}
    System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${MUTEX_NAME}") p .r0'
    ${If} $0 = 0
      ${ExitDo}
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r0)'
    ${If} $2 < 40
      IntOp $2 $2 + 1
      Sleep 250
    ${Else}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Tapestrix is still running.$\r$\n$\r$\nPlease end it (Exit in its tray menu), then choose Retry." /SD IDCANCEL IDRETRY retry
      Abort "Tapestrix is still running."
    retry:
      StrCpy $2 0
    ${EndIf}
  ${Loop}
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro STOP_TAPESTRIX_FUNCTION ""
!insertmacro STOP_TAPESTRIX_FUNCTION "un."

; ---------------------------------------------------------------- settings

; Pushes 1 when the application key holds a value of that name (of any
; type), else 0.  The default value also enumerates as "", so only two empty
; names in a row mean the end.
Function AppValueExists
  Exch $0
  Push $1
  Push $2
  StrCpy $2 0
  ${Do}
    ClearErrors
    EnumRegValue $1 HKCU "${APP_KEY}" $2
    ${If} ${Errors}
      StrCpy $0 0
      ${ExitDo}
    ${EndIf}
    IntOp $2 $2 + 1
    ${If} $1 == ""
      EnumRegValue $1 HKCU "${APP_KEY}" $2
      ${If} $1 == ""
        StrCpy $0 0
        ${ExitDo}
      ${EndIf}
      IntOp $2 $2 + 1
    ${EndIf}
    ${If} $1 == $0
      StrCpy $0 1
      ${ExitDo}
    ${EndIf}
  ${Loop}
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

!macro DEFAULT_APP_STRING NAME VALUE
  Push "${NAME}"
  Call AppValueExists
  Pop $0
  ${If} $0 = 0
    WriteRegStr HKCU "${APP_KEY}" "${NAME}" "${VALUE}"
  ${EndIf}
!macroend

; The program opens its key but never creates it, and never writes where
; JPEG and GIF pictures are converted to.  What the user has stays.
Function WriteSettings
  CreateDirectory "${DATA_DIR}"
  !insertmacro DEFAULT_APP_STRING "ConvertedBmpPath" "${CONVERTED_BMP}"
  !insertmacro DEFAULT_APP_STRING "WallpaperFolder" "$PICTURES"
FunctionEnd

; Wine's own Active Desktop object answers every call with "not
; implemented", so Tapestrix brings one there; Windows has the real one and
; never gets ours.  Wine is known by its key in the user's registry (which
; it recreates at every start); a Windows that merely has such a key left
; behind by some tool is told apart by its ntdll, which lacks Wine's
; version export.
Function InstallWineObject
  ClearErrors
  EnumRegKey $0 HKCU "Software\Wine" 0
  ${If} ${Errors}
    Return
  ${EndIf}
  System::Call 'kernel32::GetModuleHandleW(w "ntdll.dll") p .r0'
  System::Call 'kernel32::GetProcAddress(p r0, m "wine_get_version") p .r0'
  ${If} $0 = 0
    Return
  ${EndIf}
  DetailPrint "Wine: installing the Active Desktop object"
  Call RecordActiveDesktopClass
  File "/oname=tpxactivedesktop.dll" "${TPX_PROVIDER}"
  ClearErrors
  RegDLL "$INSTDIR\tpxactivedesktop.dll"
  ${If} ${Errors}
    SetErrorLevel 2
    MessageBox MB_OK|MB_ICONEXCLAMATION "The Active Desktop object for Wine could not be registered.$\r$\nTapestrix will not be able to change the wallpaper." /SD IDOK
  ${EndIf}
FunctionEnd

; Registering our object overwrites Wine's own registration of the Active
; Desktop class, so the uninstaller must be able to put back exactly what
; was there.  Only the first install's record is true: an upgrade finds our
; object registered and keeps the record it finds (moved along when the
; upgrade goes into another folder).
Function RecordActiveDesktopClass
  ${If} ${FileExists} "$INSTDIR\${AD_RECORD}"
    Return
  ${EndIf}
  ${If} $PreviousDir != ""
  ${AndIf} ${FileExists} "$PreviousDir\${AD_RECORD}"
    CopyFiles /SILENT "$PreviousDir\${AD_RECORD}" "$INSTDIR"
    Return
  ${EndIf}
  ClearErrors
  ReadRegStr $0 HKLM "${AD_CLASS_KEY}\InprocServer32" ""
  ${GetFileName} $0 $1
  ${If} $1 == "tpxactivedesktop.dll"
    ; An install that kept no record: Wine's registration as wineboot makes it.
    FileOpen $2 "$INSTDIR\${AD_RECORD}" w
    FileWrite $2 `Windows Registry Editor Version 5.00$\r$\n$\r$\n[-HKEY_LOCAL_MACHINE\${AD_CLASS_KEY}]$\r$\n$\r$\n`
    FileWrite $2 `[HKEY_LOCAL_MACHINE\${AD_CLASS_KEY}]$\r$\n@="ActiveDesktop"$\r$\n$\r$\n`
    FileWrite $2 `[HKEY_LOCAL_MACHINE\${AD_CLASS_KEY}\InprocServer32]$\r$\n@="C:\\windows\\system32\\shell32.dll"$\r$\n"ThreadingModel"="Apartment"$\r$\n`
    FileClose $2
    Return
  ${EndIf}
  ; Enumerating fails only when the key cannot be opened: absent.
  ClearErrors
  EnumRegKey $0 HKLM "${AD_CLASS_KEY}" 0
  ${IfNot} ${Errors}
    nsExec::Exec '"$SYSDIR\reg.exe" export "HKLM\${AD_CLASS_KEY}" "$INSTDIR\${AD_RECORD}" /y'
    Pop $0
    ${If} $0 != 0
      Delete "$INSTDIR\${AD_RECORD}"
      DetailPrint "The Active Desktop class could not be recorded: the uninstaller will leave it alone"
    ${EndIf}
  ${Else}
    FileOpen $2 "$INSTDIR\${AD_RECORD}" w
    FileWrite $2 `Windows Registry Editor Version 5.00$\r$\n$\r$\n[-HKEY_LOCAL_MACHINE\${AD_CLASS_KEY}]$\r$\n`
    FileClose $2
  ${EndIf}
FunctionEnd

; ---------------------------------------------------------------- install

Section "Tapestrix" SecProgram
  SectionIn RO
  Call StopTapestrix
  SetOutPath "$INSTDIR"
  File "/oname=Tapestrix.exe" "${TPX_EXE}"
  ; The program's Help Topics opens this file: no setup goes out without it.
!if ! /FileExists "${TPX_CHM}"
  !error "No help file ${TPX_CHM}: build the help (chmcmd, Debian fp-utils) before the setup."
!endif
  File "/oname=Tapestrix.chm" "${TPX_CHM}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  Call WriteSettings
  Call InstallWineObject
  CreateShortcut "$SMPROGRAMS\Tapestrix.lnk" "$INSTDIR\Tapestrix.exe" "" "$INSTDIR\Tapestrix.exe" 0 \
      SW_SHOWNORMAL "" "Wallpaper manager in the notification area"
SectionEnd

Section "Start with Windows" SecAutoStart
  WriteRegStr HKCU "${RUN_KEY}" "Tapestrix" '"$INSTDIR\Tapestrix.exe"'
SectionEnd

Section "-Register"
  ${IfNot} ${SectionIsSelected} ${SecAutoStart}
    DeleteRegValue HKCU "${RUN_KEY}" "Tapestrix"
  ${EndIf}
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tapestrix"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${TPX_VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Brindlecourt"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tapestrix.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

LangString DESC_Program ${LANG_ENGLISH} "The program, its help and its uninstaller, a Start menu shortcut and your settings key."
LangString DESC_AutoStart ${LANG_ENGLISH} "Put Tapestrix into the notification area every time you log on."
!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} $(DESC_Program)
  !insertmacro MUI_DESCRIPTION_TEXT ${SecAutoStart} $(DESC_AutoStart)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; An upgrade keeps the user's choice about starting at log-on.
Function .onInit
  ClearErrors
  ReadRegStr $PreviousDir HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${IfNot} ${Errors}
    ClearErrors
    ReadRegStr $0 HKCU "${RUN_KEY}" "Tapestrix"
    ${If} ${Errors}
      !insertmacro UnselectSection ${SecAutoStart}
    ${EndIf}
  ${EndIf}
FunctionEnd

; ---------------------------------------------------------------- uninstall

; 1 in $0 when the desktop shows that file now, as the normal or the Active
; Desktop wallpaper.
Function un.IsShownWallpaper
  Exch $1
  StrCpy $0 0
  ReadRegStr $2 HKCU "Control Panel\Desktop" "Wallpaper"
  ${If} $2 == $1
    StrCpy $0 1
  ${EndIf}
  ReadRegStr $2 HKCU "Software\Microsoft\Internet Explorer\Desktop\General" "Wallpaper"
  ${If} $2 == $1
    StrCpy $0 1
  ${EndIf}
  ReadRegStr $2 HKCU "Software\Microsoft\Internet Explorer\Desktop\General" "BackupWallpaper"
  ${If} $2 == $1
    StrCpy $0 1
  ${EndIf}
  Pop $1
FunctionEnd

Function un.RemoveSettings
  DeleteRegKey HKCU "${APP_KEY}"
  DeleteRegKey /ifempty HKCU "${BRAND_KEY}"
  ; Only the bitmap setup named; whatever else "ConvertedBmpPath" may have
  ; been pointed at belongs to the user.
  ${If} ${FileExists} "${CONVERTED_BMP}"
    Push "${CONVERTED_BMP}"
    Call un.IsShownWallpaper
    ${If} $0 = 1
      DetailPrint "Kept ${CONVERTED_BMP}: the desktop shows it"
    ${Else}
      Delete "${CONVERTED_BMP}"
    ${EndIf}
  ${EndIf}
  RMDir "${DATA_DIR}"
  RMDir "$LOCALAPPDATA\Brindlecourt"
FunctionEnd

Section "Uninstall"
  StrCpy $KeepSettings 1
  MessageBox MB_YESNO|MB_ICONQUESTION "Keep your Tapestrix settings?$\r$\n$\r$\nYes keeps them for a later install; No removes them." \
      /SD IDYES IDYES +2
  StrCpy $KeepSettings 0

  Call un.StopTapestrix
  ; Unregistered first: the registration names this very file.  Then the
  ; class is put back as setup found it, unless something else has been
  ; registered for it since.
  ${If} ${FileExists} "$INSTDIR\tpxactivedesktop.dll"
    ReadRegStr $0 HKLM "${AD_CLASS_KEY}\InprocServer32" ""
    UnRegDLL "$INSTDIR\tpxactivedesktop.dll"
    Delete "$INSTDIR\tpxactivedesktop.dll"
    ${If} $0 == "$INSTDIR\tpxactivedesktop.dll"
    ${AndIf} ${FileExists} "$INSTDIR\${AD_RECORD}"
      DeleteRegKey HKLM "${AD_CLASS_KEY}"
      nsExec::Exec '"$SYSDIR\reg.exe" import "$INSTDIR\${AD_RECORD}"'
      Pop $0
      ${If} $0 != 0
        DetailPrint "The Active Desktop class could not be put back ($0)"
      ${EndIf}
    ${EndIf}
  ${EndIf}
  Delete "$INSTDIR\${AD_RECORD}"
  Delete "$INSTDIR\Tapestrix.exe"
  Delete "$INSTDIR\Tapestrix.chm"
  Delete "$SMPROGRAMS\Tapestrix.lnk"
  DeleteRegValue HKCU "${RUN_KEY}" "Tapestrix"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${If} $KeepSettings = 0
    Call un.RemoveSettings
  ${EndIf}
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
