; Part of the installer's main section (cmake/KeydepotPackaging.cmake).
;
; HKLM\SOFTWARE\Maltrove\MTRVShared, in the registry's 32-bit view that both
; builds use, holds the PIN cipher's machine key and the enciphered PINs. It
; is SYSTEM's and the Administrators' only, with a protected access list, as
; the tools create it (docs/security.md). The installer creates the keys so,
; and sets that list on a MTRVShared an earlier version made with what
; HKLM\SOFTWARE passes on (every user reading); the system passes it on to
; every key below. An installation that cannot do this stops.
;
; $0 descriptor, $2 security attributes, $3 key, $4 result, $5-$7 outputs.
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptor(t "D:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)", i 1, *p .r0, p 0) i .r4'
  IntCmp $4 0 kd_registry_failed
!if ${NSIS_PTR_SIZE} > 4
  System::Call '*(i 24, i 0, p r0, i 0, i 0) p .r2'
!else
  System::Call '*(i 12, p r0, i 0) p .r2'
!endif
  ; HKEY_LOCAL_MACHINE (sign-extended), READ_CONTROL | WRITE_DAC |
  ; KEY_CREATE_SUB_KEY | KEY_WOW64_32KEY.
  System::Call 'advapi32::RegCreateKeyEx(p -2147483646, t "SOFTWARE\Maltrove", i 0, p 0, i 0, i 0x60204, p r2, *p .r3, p 0) i .r4'
  IntCmp $4 0 0 kd_registry_failed kd_registry_failed
  System::Call 'advapi32::RegCloseKey(p r3)'
  System::Call 'advapi32::RegCreateKeyEx(p -2147483646, t "SOFTWARE\Maltrove\MTRVShared", i 0, p 0, i 0, i 0x60204, p r2, *p .r3, p 0) i .r4'
  IntCmp $4 0 0 kd_registry_failed kd_registry_failed
  System::Call 'advapi32::GetSecurityDescriptorDacl(p r0, *i .r5, *p .r6, *i .r7) i .r4'
  ; SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION |
  ; PROTECTED_DACL_SECURITY_INFORMATION.
  System::Call 'advapi32::SetSecurityInfo(p r3, i 4, i 0x80000004, p 0, p 0, p r6, p 0) i .r4'
  System::Call 'advapi32::RegCloseKey(p r3)'
  IntCmp $4 0 kd_registry_done
kd_registry_failed:
  Abort "The registry key HKLM\SOFTWARE\Maltrove\MTRVShared cannot be made administrators-only (error $4)."
kd_registry_done:
  System::Free $2
  System::Call 'kernel32::LocalFree(p r0)'
