#!/usr/bin/env bash
# The shipped programs start on Windows XP: every DLL they import is one XP has, and no function
# they import is one that came with Vista or later (the loader refuses to start the program then).
#   xp_imports.sh OBJDUMP PROGRAM...
set -uo pipefail
objdump=$1; shift

# System DLLs of Windows XP (SP3) that a program of this kind may import; lower case.
xp_dlls=" advapi32.dll comctl32.dll comdlg32.dll crypt32.dll gdi32.dll imm32.dll kernel32.dll
  msimg32.dll msvcrt.dll ntdll.dll ole32.dll oleacc.dll oleaut32.dll psapi.dll rpcrt4.dll
  shell32.dll shlwapi.dll user32.dll uxtheme.dll version.dll winmm.dll winspool.drv ws2_32.dll
  wsock32.dll "
xp_dlls=" $(tr -s ' \n' '  ' <<<"$xp_dlls") "

# Functions of those DLLs that Windows XP does not export (Vista and later; Fls* is Server 2003,
# RegGetValue* XP x64 only), among them what the mingw-w64 runtimes and a C++ program may pull in.
# A trailing * stands for any ending (A/W variants and families).
vista=(
  GetTickCount64 InitializeCriticalSectionEx
  InitializeSRWLock 'AcquireSRWLock*' 'ReleaseSRWLock*' 'TryAcquireSRWLock*'
  InitializeConditionVariable 'SleepConditionVariable*' WakeConditionVariable WakeAllConditionVariable
  'InitOnce*' FlsAlloc FlsFree FlsGetValue FlsSetValue
  GetFileInformationByHandleEx SetFileInformationByHandle 'CreateSymbolicLink*'
  'GetFinalPathNameByHandle*' GetVolumeInformationByHandleW CreateFile2
  CompareStringEx LCMapStringEx GetLocaleInfoEx LocaleNameToLCID LCIDToLocaleName
  GetUserDefaultLocaleName GetSystemDefaultLocaleName ResolveLocaleName IsValidLocaleName
  EnumSystemLocalesEx GetDateFormatEx GetTimeFormatEx GetNumberFormatEx GetCurrencyFormatEx
  GetCalendarInfoEx
  'CreateEventEx*' 'CreateMutexEx*' 'CreateSemaphoreEx*' 'CreateWaitableTimerEx*'
  GetErrorMode SetThreadErrorMode GetThreadErrorMode 'QueryFullProcessImageName*'
  CancelIoEx CancelSynchronousIo GetQueuedCompletionStatusEx GetOverlappedResultEx
  'CreateThreadpool*' TrySubmitThreadpoolCallback 'SetThreadpool*' 'WaitForThreadpool*'
  GetCurrentProcessorNumber FlushProcessWriteBuffers GetThreadId GetProductInfo
  InterlockedCompareExchange64 'WaitOnAddress*' 'WakeByAddress*' SetThreadStackGuarantee
  'RegGetValue*' 'RegDeleteTree*' 'RegSetKeyValue*' 'RegLoadMUIString*' 'RegCopyTree*'
  'RegDeleteKeyEx*' SHGetKnownFolderPath SHCreateItemFromParsingName 'TaskDialog*'
  AddDllDirectory RemoveDllDirectory SetDefaultDllDirectories GetSystemTimePreciseAsFileTime
  'WerRegister*' 'WerUnregister*' EnumProcessModulesEx
)

# msvcrt.dll of XP (7.0) has the 64-bit time functions but not the 32-bit names nor the
# "secure" *_s functions, which came with Vista's.
crt_vista=(
  '_time32' '_mktime32' '_mkgmtime32' '_localtime32' '_gmtime32' '_ctime32' '_wctime32'
  '_difftime32' '_futime32' '_utime32' '_wutime32' '_findfirst32*' '_wfindfirst32*'
  '_findnext32*' '_wfindnext32*' '_stat32*' '_wstat32*' '_fstat32*' '*_s'
)

fails=0
for prog in "$@"; do
  name=$(basename "$prog")
  if ! table=$("$objdump" -p "$prog"); then
    echo "FAIL $name: objdump cannot read it"; fails=$((fails + 1)); continue
  fi
  # "DLL Name: X" starts a DLL's list; its functions follow as "<hint> <ordinal?> <name>" lines
  # (after the "Hint/Ord Name" header) up to the next blank line.
  imports=$(awk '
    /^[ \t]*DLL Name:/ { dll = tolower($3); print "DLL " dll; inlist = 0; next }
    /Hint\/Ord/ && dll != "" { inlist = 1; next }
    inlist && /^[ \t]*$/ { inlist = 0; next }
    inlist { print "FN " dll " " $NF }
  ' <<<"$table")
  if [ -z "$(grep '^DLL ' <<<"$imports")" ]; then
    echo "FAIL $name: no import table found"; fails=$((fails + 1)); continue
  fi
  bad=0
  while read -r _ dll; do
    case "$xp_dlls" in
      *" $dll "*) ;;
      *) echo "FAIL $name imports $dll, which Windows XP does not have"; bad=1 ;;
    esac
  done < <(grep '^DLL ' <<<"$imports")
  while read -r _ dll fn; do
    for v in "${vista[@]}"; do
      # shellcheck disable=SC2053
      if [[ $fn == $v ]]; then
        echo "FAIL $name imports $fn from $dll, which Windows XP lacks"; bad=1
      fi
    done
    if [ "$dll" == msvcrt.dll ]; then
      for v in "${crt_vista[@]}"; do
        # shellcheck disable=SC2053
        if [[ $fn == $v ]]; then
          echo "FAIL $name imports $fn from msvcrt.dll, which the one of Windows XP lacks"; bad=1
        fi
      done
    fi
  done < <(grep '^FN ' <<<"$imports")
  n=$(grep -c '^FN ' <<<"$imports")
  if [ "$bad" -eq 0 ]; then
    echo "ok   $name: $n functions from $(grep '^DLL ' <<<"$imports" | cut -d' ' -f2 | paste -sd' '), all on Windows XP"
  else
    fails=$((fails + 1))
  fi
done
[ "$fails" -eq 0 ]
