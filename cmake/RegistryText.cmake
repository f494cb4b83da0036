# quillmer_registry_text(<out> <gs> <office_dir>): the text of registry.reg
# naming Ghostscript at <gs> and LibreOffice's program folder <office_dir>
# (ending in '/'), and the printer queue "Quillmer". An empty <gs> or
# <office_dir> is left out. The names are the ones the program reads
# (src/platform/registrynames.h).
function(quillmer_registry_text out gs office_dir)
  set(reg "REGEDIT4\n")
  if(gs)
    string(APPEND reg "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\GS]\n\"GSPath\"=\"${gs}\"\n")
  endif()
  if(office_dir)
    string(APPEND reg "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Office\\12.0\\Excel\\InstallRoot]\n\"Path\"=\"${office_dir}\"\n")
  endif()
  string(APPEND reg "\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Quillmer]\n\"Printer Driver\"=\"HP Color LaserJet 5/5M PS\"\n\"Port\"=\"FILE:\"\n")
  set(${out} "${reg}" PARENT_SCOPE)
endfunction()
