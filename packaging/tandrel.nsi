; Tandrel's per-user installer (NSIS 3, UTF-8 source: makensis -INPUTCHARSET UTF8).
; Defines, all given by cmake/write_dist.cmake:
;   VERSION      a.b.c.d, the FileVersion of the shipped files
;   TARGET       x86-unicode (the shipped 32-bit installer) or amd64-unicode (its 64-bit twin)
;   STAGE        folder holding the files to install
;   ICON         the program's icon
;   OUTFILE      the installer to write
;   PROGRAM_EVENT, UPDATER_EVENT  names of the events a running tandrel.exe and Hgxcx.exe hold
;   SIGN         optional: a program that signs the file given as its argument
; No administrator rights: the program lives in the user's own folder, so that its updater can
; replace the files there.

Unicode true
Target ${TARGET}
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tandrel"
!define UNINSTALLER "uninstall.exe"
!define USAGE_FILE "使用说明.txt"

Name "Tandrel"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tandrel"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Tandrel ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

!ifdef SIGN
  ; The uninstaller is signed before it is packed; the installer once it is written.
  !uninstfinalize '"${SIGN}" "%1"' = 0
  !finalize '"${SIGN}" "%1"' = 0
!endif

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\tandrel.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "Tandrel"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "Tandrel 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "Tandrel"

; Files in use cannot be replaced or removed: while Tandrel or its updater runs (each holds a
; named event for as long as it runs), the user is asked to end it first. A silent run fails
; with exit code 2 instead.
!macro DefineWaitUntilNotRunning prefix
Function ${prefix}WaitUntilNotRunning
  Push $0
  Push $1
  retry:
    System::Call 'kernel32::OpenEventW(i 0x00100000, i 0, w "${PROGRAM_EVENT}") p .r0'
    System::Call 'kernel32::OpenEventW(i 0x00100000, i 0, w "${UPDATER_EVENT}") p .r1'
    ${If} $0 != 0
      System::Call 'kernel32::CloseHandle(p r0)'
    ${EndIf}
    ${If} $1 != 0
      System::Call 'kernel32::CloseHandle(p r1)'
    ${EndIf}
    ${If} $0 != 0
    ${OrIf} $1 != 0
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Tandrel 正在运行。请先在托盘图标的右键菜单中选择“退出程序”（正在更新时请等更新完成），再点击“重试”。" /SD IDCANCEL IDRETRY retry
      SetErrorLevel 2
      Quit
    ${EndIf}
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro DefineWaitUntilNotRunning ""
!insertmacro DefineWaitUntilNotRunning "un."

; The target of the shortcut file $0 in $1, or "" when it cannot be read (through the
; shell-link object: IShellLinkW::GetPath after IPersistFile::Load).
!macro DefineShortcutTarget prefix
Function ${prefix}ShortcutTarget
  Push $2
  Push $3
  Push $4
  StrCpy $1 ""
  System::Call 'ole32::CoCreateInstance(g "{00021401-0000-0000-C000-000000000046}", p 0, i 1, g "{000214F9-0000-0000-C000-000000000046}", *p .r2) i .r3'
  ${If} $3 = 0
    System::Call '$2->0(g "{0000010B-0000-0000-C000-000000000046}", *p .r4) i .r3'
    ${If} $3 = 0
      System::Call '$4->5(w r0, i 0) i .r3'
      ${If} $3 = 0
        System::Call '$2->3(w .r1, i ${NSIS_MAX_STRLEN}, p 0, i 0) i .r3'
        ${If} $3 <> 0
          StrCpy $1 ""
        ${EndIf}
      ${EndIf}
      System::Call '$4->2()'
    ${EndIf}
    System::Call '$2->2()'
  ${EndIf}
  Pop $4
  Pop $3
  Pop $2
FunctionEnd
!macroend
!insertmacro DefineShortcutTarget "un."

; Removes the shortcut file only when it leads to this folder's tandrel.exe: one the user made
; for another copy stays.
!macro RemoveShortcutToUs path
  StrCpy $0 "${path}"
  Call un.ShortcutTarget
  ${If} $1 == "$INSTDIR\tandrel.exe"
    Delete "${path}"
  ${ElseIf} ${FileExists} "${path}"
    DetailPrint "保留 ${path}：它不指向 $INSTDIR\tandrel.exe"
  ${EndIf}
!macroend

Function .onInit
  Call WaitUntilNotRunning
FunctionEnd

Section "Tandrel 程序" SectionProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${STAGE}/tandrel.exe"
  File "${STAGE}/SkinH_EL.dll"
  File "${STAGE}/sefds.she"
  File "${STAGE}/${USAGE_FILE}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortCut "$SMPROGRAMS\Tandrel.lnk" "$INSTDIR\tandrel.exe" "" "$INSTDIR\tandrel.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tandrel"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Tandrel"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tandrel.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; The program offers this shortcut at every start unless the desktop holds "Tandrel.lnk"
; leading to "<its folder>\tandrel.exe": made the same way, it is not offered again.
Section "桌面快捷方式" SectionDesktop
  SetOutPath "$INSTDIR"
  CreateShortCut "$DESKTOP\Tandrel.lnk" "$INSTDIR\tandrel.exe" "" "$INSTDIR\tandrel.exe" 0
SectionEnd

Function un.onInit
  Call un.WaitUntilNotRunning
FunctionEnd

; Exactly what the installer and the program put here; anything else (a file of the user's in
; the folder) stays, and so does the folder then.
Section "Uninstall"
  Delete "$INSTDIR\tandrel.exe"
  Delete "$INSTDIR\SkinH_EL.dll"
  Delete "$INSTDIR\sefds.she"
  Delete "$INSTDIR\${USAGE_FILE}"
  ; Written beside tandrel.exe by the program: the client's path, the update hand-off, the
  ; updater's note of a failed update, an older release's updater, and the updater's
  ; downloads and backups left by an interrupted update.
  Delete "$INSTDIR\route.dat"
  Delete "$INSTDIR\sdhwt.ini"
  Delete "$INSTDIR\gxwj.bin"
  Delete "$INSTDIR\gxsb.bin"
  Delete "$INSTDIR\gxrz.bin"
  Delete "$INSTDIR\gxrz.bin.new"
  Delete "$INSTDIR\Hgxcx.exe"
  Delete "$INSTDIR\gxcx.exe"
  Delete "$INSTDIR\*.gxtmp"
  Delete "$INSTDIR\*.gxbak"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  ; The per-user programs folder, made by the first such install, goes once it is empty.
  RMDir "$LOCALAPPDATA\Programs"
  ${If} ${FileExists} "$INSTDIR\*.*"
    DetailPrint "保留 $INSTDIR：其中还有不是 Tandrel 放入的文件"
  ${EndIf}

  ; The logs of the program and of its updater, each with its one rotated predecessor.
  Delete "$LOCALAPPDATA\Tandrel\tandrel.log"
  Delete "$LOCALAPPDATA\Tandrel\tandrel.log.1"
  Delete "$LOCALAPPDATA\Tandrel\updater.log"
  Delete "$LOCALAPPDATA\Tandrel\updater.log.1"
  RMDir "$LOCALAPPDATA\Tandrel"

  !insertmacro RemoveShortcutToUs "$SMPROGRAMS\Tandrel.lnk"
  !insertmacro RemoveShortcutToUs "$DESKTOP\Tandrel.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
