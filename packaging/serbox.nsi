; serbox's installer for 64-bit Windows, built by windows-installer.cmake:
;   makensis -DVERSION= -DVERSION4= -DPUBLISHER= -DOUTFILE= -DICON= -DINSTALL_LIST=
;            -DUNINSTALL_LIST= -DSIZE_KIB= -DRUNNING_MUTEX= serbox.nsi
; Its pages speak the system's language (English or Italian). Silent install for
; IT departments: serbox-<version>-setup.exe /S [/PATH] [/DOWNGRADE] [/CurrentUser] [/D=C:\folder]
; (/PATH puts its bin folder on PATH, and an update keeps that choice; /D= must come
; last). Exit status: 0 done; 1 cancelled; 2 stopped by an error; 3 serbox is
; running; 4 a newer version is installed; 5 installed, PATH left as it was
; (too long to change safely).
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
; A file that cannot be written stops the install: never an old serbox.exe with new DLLs.
AllowSkipFiles off

!include MUI2.nsh
!include Sections.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include WinMessages.nsh

!define KEY "Software\serbox"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\serbox"
!define MACHINE_ENVIRONMENT "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
!define USER_ENVIRONMENT "Environment"
; The PATH the install mode changes: the machine's or the user's.
Var Environment
!define MENU "$SMPROGRAMS\serbox"
; What goes on PATH: the command-line programs alone (windows-zip.cmake).
!define PATH_DIR "$INSTDIR\bin"

Name "serbox ${VERSION}"
OutFile "${OUTFILE}"
; For all users (administrator) or, without administrator rights or with
; /CurrentUser, for this user alone: %LOCALAPPDATA%\Programs\serbox, the user's
; Start menu and Apps list, the user's PATH. SHCTX is HKLM or HKCU accordingly.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "serbox"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallDir"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallDir"
!define MULTIUSER_INSTALLMODE_FUNCTION ModeChosen
!define MULTIUSER_INSTALLMODE_UNFUNCTION un.ModeChosen
!include MultiUser.nsh
BrandingText "serbox ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(StartNow)"
!define MUI_FINISHPAGE_RUN_FUNCTION StartAsUser

!insertmacro MUI_PAGE_WELCOME
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first is the one shown when the system's language is neither.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Italian"

LangString Program ${LANG_ENGLISH} "serbox.exe"
LangString Program ${LANG_ITALIAN} "serbox-it.exe"
LangString StartNow ${LANG_ENGLISH} "Start serbox"
LangString StartNow ${LANG_ITALIAN} "Avvia serbox"
LangString MainSection ${LANG_ENGLISH} "serbox (both languages, the listing tool)"
LangString MainSection ${LANG_ITALIAN} "serbox (le due lingue, lo strumento dei listati)"
LangString PathSection ${LANG_ENGLISH} "Put the command-line tools on PATH (the bin folder)"
LangString PathSection ${LANG_ITALIAN} "Metti nel PATH gli strumenti da riga di comando (la cartella bin)"
LangString PathNotAdded ${LANG_ENGLISH} "PATH left as it is: too long to add ${PATH_DIR} to it safely"
LangString PathNotAdded ${LANG_ITALIAN} "PATH lasciato com'è: troppo lungo per aggiungervi ${PATH_DIR} senza rischi"
LangString PathNotCleaned ${LANG_ENGLISH} "PATH left as it is: too long to change safely; remove ${PATH_DIR} from it by hand"
LangString PathNotCleaned ${LANG_ITALIAN} "PATH lasciato com'è: troppo lungo per modificarlo senza rischi; toglietene ${PATH_DIR} a mano"
LangString Running ${LANG_ENGLISH} "serbox is running. Close every serbox window, then try again."
LangString Running ${LANG_ITALIAN} "serbox è in esecuzione. Chiudete ogni finestra di serbox e riprovate."
LangString Newer ${LANG_ENGLISH} "serbox $0 is installed, newer than ${VERSION}. To install ${VERSION} all the same, start the installer with /DOWNGRADE."
LangString Newer ${LANG_ITALIAN} "È installato serbox $0, più recente di ${VERSION}. Per installare comunque ${VERSION}, avviate l'installazione con /DOWNGRADE."
LangString PreviousFailed ${LANG_ENGLISH} "The version installed in $0 could not be removed (status $1): ${VERSION} was not installed."
LangString PreviousFailed ${LANG_ITALIAN} "Non è stato possibile rimuovere la versione installata in $0 (stato $1): ${VERSION} non è stato installato."

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "serbox"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "serbox ${VERSION} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${PUBLISHER}"

; The PATH of the install mode in $0 and, in $1, the same without the entries that are
; exactly PATH_DIR; $2 is 1 when that worked. Past NSIS_MAX_STRLEN - 1
; characters ReadRegStr gives "" and longer strings are cut, so a PATH that is
; (or would become, with ROOM characters more) that long is not to be written.
!macro ReadPath ROOM
  StrCpy $2 0
  StrCpy $6 1
  ClearErrors
  ReadRegStr $0 SHCTX "$Environment" "Path"
  ${If} ${Errors}
    ; No value at all (a user's PATH often has none) is an empty PATH; one
    ; that is there but gave nothing is too long.
    StrCpy $6 0
    StrCpy $3 0
    ${Do}
      EnumRegValue $5 SHCTX "$Environment" $3
      ${If} $5 == ""
        StrCpy $6 1
        StrCpy $0 ""
        ${ExitDo}
      ${EndIf}
      ${IfThen} $5 == "Path" ${|} ${ExitDo} ${|}
      IntOp $3 $3 + 1
    ${Loop}
  ${EndIf}
  ${If} $6 == 1
    StrLen $3 $0
    IntOp $3 $3 + ${ROOM}
    ${If} $3 < ${NSIS_MAX_STRLEN}
      StrCpy $2 1
      ; Between ";" so that only whole entries match; again, because a match
      ; takes the ";" that the next one starts with.
      StrCpy $1 ";$0;"
      ${Do}
        StrCpy $3 $1
        ${WordReplace} $3 ";${PATH_DIR};" ";" "+" $1
      ${LoopUntil} $1 == $3
      StrCpy $1 $1 "" 1
      StrCpy $1 $1 -1
    ${EndIf}
  ${EndIf}
!macroend

; Whether a copy of serbox runs, in any session: it holds the mutex, or one of
; another user that this one may not open (platform/widgets/System.h).
!macro RefuseWhileRunning
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Global\${RUNNING_MUTEX}") p.r0 ?e'
  Pop $1
  ${If} $0 P<> 0
  ${OrIf} $1 = 5  ; ERROR_ACCESS_DENIED
    ${If} $0 P<> 0
      System::Call 'kernel32::CloseHandle(p r0)'
    ${EndIf}
    MessageBox MB_ICONSTOP "$(Running)" /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
!macroend

!macro ModeChosen UN
  Function ${UN}ModeChosen
    ${If} $MultiUser.InstallMode == "AllUsers"
      StrCpy $Environment "${MACHINE_ENVIRONMENT}"
    ${Else}
      StrCpy $Environment "${USER_ENVIRONMENT}"
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro ModeChosen ""
!insertmacro ModeChosen "un."

Function un.onInit
  !insertmacro MULTIUSER_UNINIT
  !insertmacro RefuseWhileRunning
FunctionEnd

; Started by Explorer, serbox runs as the user at the desktop, whose choices and
; journal it keeps: not as the administrator whose password the installer took.
Function StartAsUser
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\$(Program)"'
FunctionEnd

; A version already installed goes first, by its own uninstaller, so that its
; files, shortcuts and entry under Apps are replaced and not doubled; what the
; user keeps (sets, settings, journal) it never touches.
Function RemovePrevious
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\uninstall.exe"
    ClearErrors
    ; /UPDATE: its own file is left to this installer, which replaces it.
    ExecWait '"$0\uninstall.exe" /S /UPDATE /$MultiUser.InstallMode _?=$0' $1
    ${If} ${Errors}
    ${OrIf} $1 != 0
      ; Half the old version and half the new one would start neither.
      MessageBox MB_ICONSTOP "$(PreviousFailed)" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
    Delete "$0\uninstall.exe"
    RMDir "$0"
  ${EndIf}
FunctionEnd

Section "$(MainSection)" SecMain
  SectionIn RO
  Call RemovePrevious
  !include "${INSTALL_LIST}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "${MENU}"
  ; The shortcuts start in the user's Documents, each user's own: Windows
  ; expands the variable as the shortcut starts.
  StrCpy $OUTDIR "%USERPROFILE%\Documents"
  CreateShortcut "${MENU}\serbox (English).lnk" "$INSTDIR\serbox.exe" "" "$INSTDIR\serbox.exe" 0
  CreateShortcut "${MENU}\serbox (italiano).lnk" "$INSTDIR\serbox-it.exe" "" "$INSTDIR\serbox-it.exe" 0
  SetOutPath "$INSTDIR"

  WriteRegStr SHCTX "${KEY}" "InstallDir" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "serbox"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\serbox.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  ; Run in place (_?=), it returns when everything is removed; without, it
  ; returns at once and a copy in %TEMP% does the work.
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S /$MultiUser.InstallMode _?=$INSTDIR'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KIB}
SectionEnd

Section /o "$(PathSection)" SecPath
  ; Chosen: the next update keeps it, with or without /PATH.
  WriteRegDWORD SHCTX "${KEY}" "PathChosen" 1
  StrLen $4 ";${PATH_DIR}"
  !insertmacro ReadPath $4
  ${If} $2 != 1
    ; Not marked as added, so the uninstaller leaves PATH alone too.
    DetailPrint "$(PathNotAdded)"
    MessageBox MB_ICONEXCLAMATION "$(PathNotAdded)" /SD IDOK
    SetErrorLevel 5
  ${ElseIf} $1 == $0  ; not on it yet
    ${If} $0 == ""
      WriteRegExpandStr SHCTX "$Environment" "Path" "${PATH_DIR}"
    ${Else}
      WriteRegExpandStr SHCTX "$Environment" "Path" "$0;${PATH_DIR}"
    ${EndIf}
    SendMessage ${HWND_BROADCAST} ${WM_WININICHANGE} 0 "STR:Environment" /TIMEOUT=5000
    ; Added by serbox: the uninstaller takes it off. An entry that was there
    ; before is someone else's and stays.
    WriteRegDWORD SHCTX "${KEY}" "OnPath" 1
  ${EndIf}
SectionEnd

Section "Uninstall"
  !include "${UNINSTALL_LIST}"
  Delete "$INSTDIR\uninstall.exe"
  ${un.GetParameters} $R0
  ClearErrors
  ${un.GetOptions} $R0 "/UPDATE" $R1
  ${If} ${Errors}
  ${AndIf} ${FileExists} "$INSTDIR\uninstall.exe"
    ; Run in place (_?=): a running program's file cannot be deleted, but
    ; Windows lets it be moved aside, so that the folder goes now; the
    ; temporary folder keeps it until the next restart. Where even the move is
    ; refused (Wine), both go at the next restart.
    GetTempFileName $0
    Delete $0
    ClearErrors
    Rename "$INSTDIR\uninstall.exe" $0
    ${If} ${Errors}
      StrCpy $0 "$INSTDIR\uninstall.exe"
    ${EndIf}
    Delete /REBOOTOK $0
    RMDir /REBOOTOK "$INSTDIR"
  ${Else}
    RMDir "$INSTDIR"
  ${EndIf}
  Delete "${MENU}\serbox (English).lnk"
  Delete "${MENU}\serbox (italiano).lnk"
  RMDir "${MENU}"

  ReadRegDWORD $0 SHCTX "${KEY}" "OnPath"
  ${If} $0 == 1
    !insertmacro ReadPath 2  ; the two ";" around it
    ${If} $2 != 1
      DetailPrint "$(PathNotCleaned)"
      MessageBox MB_ICONEXCLAMATION "$(PathNotCleaned)" /SD IDOK
      SetErrorLevel 5
    ${ElseIf} $1 == ""
      DeleteRegValue SHCTX "$Environment" "Path"
      SendMessage ${HWND_BROADCAST} ${WM_WININICHANGE} 0 "STR:Environment" /TIMEOUT=5000
    ${ElseIf} $1 != $0
      WriteRegExpandStr SHCTX "$Environment" "Path" "$1"
      SendMessage ${HWND_BROADCAST} ${WM_WININICHANGE} 0 "STR:Environment" /TIMEOUT=5000
    ${EndIf}
  ${EndIf}
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  DeleteRegKey SHCTX "${KEY}"
SectionEnd

; After the sections: it selects one by its index.
Function .onInit
  ; /D= sets the folder before this; the install mode would replace it.
  StrCpy $R9 $INSTDIR
  !insertmacro MULTIUSER_INIT
  ${If} $R9 != ""
    StrCpy $INSTDIR $R9
  ${EndIf}
  !insertmacro RefuseWhileRunning
  ${GetParameters} $R0

  ; An older version over a newer one only when asked for.
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "DisplayVersion"
  ${If} $0 != ""
    ${VersionCompare} $0 "${VERSION}" $1
    ClearErrors
    ${GetOptions} $R0 "/DOWNGRADE" $2
    ${If} $1 == 1
    ${AndIf} ${Errors}
      MessageBox MB_ICONSTOP "$(Newer)" /SD IDOK
      SetErrorLevel 4
      Quit
    ${EndIf}
  ${EndIf}

  ; PATH as asked, or as the install before chose it (read before its
  ; uninstaller removes the key).
  ReadRegDWORD $0 SHCTX "${KEY}" "PathChosen"
  ReadRegDWORD $1 SHCTX "${KEY}" "OnPath"
  ClearErrors
  ${GetOptions} $R0 "/PATH" $2
  ${IfNot} ${Errors}
  ${OrIf} $0 == 1
  ${OrIf} $1 == 1
    !insertmacro SelectSection ${SecPath}
  ${EndIf}
FunctionEnd
