# Lays out the program folder: cmake -DPROGRAM_DIR=... -DSOURCE_DIR=... -P this file.
file(MAKE_DIRECTORY "${PROGRAM_DIR}")

# The settings file as installed; an existing one is the user's and stays.
if(NOT EXISTS "${PROGRAM_DIR}/SETTINGS.INI")
  file(COPY "${SOURCE_DIR}/resources/SETTINGS.INI" DESTINATION "${PROGRAM_DIR}")
endif()

# The registry, from the Ghostscript and LibreOffice found on this machine.
# This is the only writer of the program folder's registry.reg.
include("${CMAKE_CURRENT_LIST_DIR}/RegistryText.cmake")
find_program(GS_EXECUTABLE gs)
find_program(SOFFICE_EXECUTABLE soffice PATHS /usr/lib/libreoffice/program)
set(office_dir "")
if(SOFFICE_EXECUTABLE)
  file(REAL_PATH "${SOFFICE_EXECUTABLE}" soffice_real)
  get_filename_component(office_dir "${soffice_real}" DIRECTORY)
  string(APPEND office_dir "/")
endif()
quillmer_registry_text(reg "${GS_EXECUTABLE}" "${office_dir}")
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
