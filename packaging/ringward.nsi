; The Ringward installer, built by makensis from the files of the zip package (STAGE). It
; installs for the current user only, without administrator rights, into a folder the user can
; write to, since the program keeps its lists and writes its logs in its working folder. The
; example lists and messages are installed only where the user has none yet, so an upgrade
; keeps the user's own; the uninstaller removes the program and leaves them and the logs.
;   makensis -DVERSION=1.0.0.1 -DSTAGE=dir -DOUTFILE=setup.exe ringward.nsi

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Ringward"

Name "Ringward ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Ringward"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "Ringward"
VIAddVersionKey "FileDescription" "Ringward call screening setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) the Ringward developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Ringward"
  SetShellVarContext current
  SetOutPath "$INSTDIR"

  ; The program's own files, replaced by every install.
  SetOverwrite on
  File "${STAGE}/ringward.exe"
  File "${STAGE}/README.txt"
  File "${STAGE}/ringward-check.exe"

  ; The user's files: the examples go only where there is no such file yet.
  SetOverwrite off
  File "${STAGE}/Accept Always.txt"
  File "${STAGE}/Block.txt"
  File "${STAGE}/ZapMessage.wav"
  File "${STAGE}/AnonCallerMessage.wav"
  File "${STAGE}/Go Away.wav"
  SetOverwrite on

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  ; The shortcut starts the program in its folder (the output path), where its files are.
  CreateShortCut "$SMPROGRAMS\Ringward.lnk" "$INSTDIR\ringward.exe" "" "$INSTDIR\ringward.exe" 0 \
                 SW_SHOWNORMAL "" "Screens the calls of the telephone line"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Ringward"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\ringward.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$INSTDIR\ringward.exe"
  Delete "$INSTDIR\ringward-check.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\Uninstall.exe"
  Delete "$SMPROGRAMS\Ringward.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; Removed only when empty: the lists, messages and logs stay where they are.
  RMDir "$INSTDIR"
SectionEnd
