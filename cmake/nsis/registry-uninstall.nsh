; Part of the uninstaller (cmake/KeydepotPackaging.cmake): the keys the
; installer made for saved PINs go when nothing is left in them; saved PINs
; and the machine key stay, as the users' data do.
  SetRegView 32
  DeleteRegKey /ifempty HKLM "SOFTWARE\Maltrove\MTRVShared"
  DeleteRegKey /ifempty HKLM "SOFTWARE\Maltrove"
  SetRegView default
