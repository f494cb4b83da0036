# Lays out the program folder: cmake -DPROGRAM_DIR=... -DSOURCE_DIR=... -P this file.
file(MAKE_DIRECTORY "${PROGRAM_DIR}")

# The settings file as installed; an existing one is the user's and stays.
if(NOT EXISTS "${PROGRAM_DIR}/SETTINGS.INI")
  file(COPY "${SOURCE_DIR}/resources/SETTINGS.INI" DESTINATION "${PROGRAM_DIR}")
endif()

# The registry, from the Ghostscript and LibreOffice found on this machine.
# This is the only writer of registry.reg; the names it writes are the ones
# the program reads (src/platform/registrynames.h).
find_program(GS_EXECUTABLE gs)
find_program(SOFFICE_EXECUTABLE soffice PATHS /usr/lib/libreoffice/program)
set(reg "REGEDIT4\n")
if(GS_EXECUTABLE)
  string(APPEND reg "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\GS]\n\"GSPath\"=\"${GS_EXECUTABLE}\"\n")
endif()
if(SOFFICE_EXECUTABLE)
  file(REAL_PATH "${SOFFICE_EXECUTABLE}" soffice_real)
  get_filename_component(office_dir "${soffice_real}" DIRECTORY)
  string(APPEND reg "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Office\\12.0\\Excel\\InstallRoot]\n\"Path\"=\"${office_dir}/\"\n")
endif()
string(APPEND reg "\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Quillmer]\n\"Printer Driver\"=\"HP Color LaserJet 5/5M PS\"\n\"Port\"=\"FILE:\"\n")
file(WRITE "${PROGRAM_DIR}/registry.reg.new" "${reg}")
file(COPY_FILE "${PROGRAM_DIR}/registry.reg.new" "${PROGRAM_DIR}/registry.reg" ONLY_IF_DIFFERENT)
file(REMOVE "${PROGRAM_DIR}/registry.reg.new")

foreach(dir images help)
  if(EXISTS "${SOURCE_DIR}/resources/${dir}")
    file(COPY "${SOURCE_DIR}/resources/${dir}" DESTINATION "${PROGRAM_DIR}")
  else()
    file(MAKE_DIRECTORY "${PROGRAM_DIR}/${dir}")
  endif()
endforeach()
