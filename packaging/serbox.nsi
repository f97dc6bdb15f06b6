; serbox's installer for 64-bit Windows, built by windows-installer.cmake:
;   makensis -DVERSION= -DVERSION4= -DPUBLISHER= -DOUTFILE= -DICON= -DINSTALL_LIST=
;            -DUNINSTALL_LIST= -DSIZE_KIB= serbox.nsi
; Its pages speak the system's language (English or Italian). Silent install for
; IT departments: serbox-<version>-setup.exe /S [/PATH] [/D=C:\folder]
; (/PATH puts the folder on the system PATH; /D= must come last).
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!include MUI2.nsh
!include Sections.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include WinMessages.nsh

!define KEY "Software\serbox"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\serbox"
!define ENVIRONMENT "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
!define MENU "$SMPROGRAMS\serbox"

Name "serbox ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\serbox"
InstallDirRegKey HKLM "${KEY}" "InstallDir"
RequestExecutionLevel admin
BrandingText "serbox ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\$(Program)"
!define MUI_FINISHPAGE_RUN_TEXT "$(StartNow)"

!insertmacro MUI_PAGE_WELCOME
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
LangString PathSection ${LANG_ENGLISH} "Add the folder to PATH (command-line tools)"
LangString PathSection ${LANG_ITALIAN} "Aggiungi la cartella al PATH (strumenti da riga di comando)"
LangString PathNotAdded ${LANG_ENGLISH} "PATH left as it is: too long to add $INSTDIR to it safely"
LangString PathNotAdded ${LANG_ITALIAN} "PATH lasciato com'è: troppo lungo per aggiungervi $INSTDIR senza rischi"
LangString PathNotCleaned ${LANG_ENGLISH} "PATH left as it is: too long to change safely; remove $INSTDIR from it by hand"
LangString PathNotCleaned ${LANG_ITALIAN} "PATH lasciato com'è: troppo lungo per modificarlo senza rischi; toglietene $INSTDIR a mano"

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "serbox"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "serbox ${VERSION} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${PUBLISHER}"

; The machine PATH in $0 and, in $1, the same without the entries that are
; exactly $INSTDIR; $2 is 1 when that worked. Past NSIS_MAX_STRLEN - 1
; characters ReadRegStr gives "" and longer strings are cut, so a PATH that is
; (or would become, with ROOM characters more) that long is not to be written.
!macro ReadPath ROOM
  StrCpy $2 0
  ClearErrors
  ReadRegStr $0 HKLM "${ENVIRONMENT}" "Path"
  ${IfNot} ${Errors}
    StrLen $3 $0
    IntOp $3 $3 + ${ROOM}
    ${If} $3 < ${NSIS_MAX_STRLEN}
      StrCpy $2 1
      ; Between ";" so that only whole entries match; again, because a match
      ; takes the ";" that the next one starts with.
      StrCpy $1 ";$0;"
      ${Do}
        StrCpy $3 $1
        ${WordReplace} $3 ";$INSTDIR;" ";" "+" $1
      ${LoopUntil} $1 == $3
      StrCpy $1 $1 "" 1
      StrCpy $1 $1 -1
    ${EndIf}
  ${EndIf}
!macroend

Function un.onInit
  SetShellVarContext all
FunctionEnd

; A version already installed goes first, by its own uninstaller, so that its
; files, shortcuts and entry under Apps are replaced and not doubled; what the
; user keeps (sets, settings, journal) it never touches.
Function RemovePrevious
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\uninstall.exe"
    ExecWait '"$0\uninstall.exe" /S _?=$0'
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
  CreateShortcut "${MENU}\serbox (English).lnk" "$INSTDIR\serbox.exe" "" "$INSTDIR\serbox.exe" 0
  CreateShortcut "${MENU}\serbox (italiano).lnk" "$INSTDIR\serbox-it.exe" "" "$INSTDIR\serbox-it.exe" 0

  WriteRegStr HKLM "${KEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "serbox"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\serbox.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KIB}
SectionEnd

Section /o "$(PathSection)" SecPath
  StrLen $4 ";$INSTDIR"
  !insertmacro ReadPath $4
  ${If} $2 != 1
    ; Not marked as added, so the uninstaller leaves PATH alone too.
    DetailPrint "$(PathNotAdded)"
  ${Else}
    ${If} $1 == $0  ; not on it yet
      ${If} $0 == ""
        WriteRegExpandStr HKLM "${ENVIRONMENT}" "Path" "$INSTDIR"
      ${Else}
        WriteRegExpandStr HKLM "${ENVIRONMENT}" "Path" "$0;$INSTDIR"
      ${EndIf}
      SendMessage ${HWND_BROADCAST} ${WM_WININICHANGE} 0 "STR:Environment" /TIMEOUT=5000
    ${EndIf}
    WriteRegDWORD HKLM "${KEY}" "OnPath" 1
  ${EndIf}
SectionEnd

Section "Uninstall"
  !include "${UNINSTALL_LIST}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "${MENU}\serbox (English).lnk"
  Delete "${MENU}\serbox (italiano).lnk"
  RMDir "${MENU}"

  ReadRegDWORD $0 HKLM "${KEY}" "OnPath"
  ${If} $0 == 1
    !insertmacro ReadPath 2  ; the two ";" around it
    ${If} $2 != 1
      DetailPrint "$(PathNotCleaned)"
    ${ElseIf} $1 != $0
      WriteRegExpandStr HKLM "${ENVIRONMENT}" "Path" "$1"
      SendMessage ${HWND_BROADCAST} ${WM_WININICHANGE} 0 "STR:Environment" /TIMEOUT=5000
    ${EndIf}
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${KEY}"
SectionEnd

; After the sections: it selects one by its index.
Function .onInit
  SetShellVarContext all
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PATH" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecPath}
  ${EndIf}
FunctionEnd
