# The Win32 back end of the layer (src/ui/win32/) and lumora.exe, a program
# of the GUI subsystem with its icon, version record and manifest. Included
# by src/ui/CMakeLists.txt for Windows.
target_sources(lumora_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/app_win32.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialog_win32.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wnd_win32.cpp
)
# Windows' own: the common controls, the file chooser, COM for its shell.
target_link_libraries(lumora_ui PUBLIC comctl32 comdlg32 ole32)

# The icon group IDR_MAINFRAME, made of the PNG images in resources/.
find_program(LUMORA_PYTHON3 NAMES python3 REQUIRED NO_CMAKE_FIND_ROOT_PATH)
set(lumora_icon_images)
foreach(size 16 24 32 48 256)
  list(APPEND lumora_icon_images ${CMAKE_CURRENT_SOURCE_DIR}/resources/lumora-${size}.png)
endforeach()
set(LUMORA_WIN32_ICON ${CMAKE_CURRENT_BINARY_DIR}/lumora.ico)
add_custom_command(OUTPUT ${LUMORA_WIN32_ICON}
  COMMAND ${LUMORA_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/make_icon.py ${LUMORA_WIN32_ICON} ${lumora_icon_images}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/make_icon.py ${lumora_icon_images}
  VERBATIM)
set(LUMORA_WIN32_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/lumora.manifest)
configure_file(${CMAKE_CURRENT_LIST_DIR}/lumora.manifest ${LUMORA_WIN32_MANIFEST} @ONLY)
set(LUMORA_WIN32_RC ${CMAKE_CURRENT_BINARY_DIR}/lumora.rc)
configure_file(${CMAKE_CURRENT_LIST_DIR}/lumora.rc.in ${LUMORA_WIN32_RC} @ONLY)
set_source_files_properties(${LUMORA_WIN32_RC} PROPERTIES OBJECT_DEPENDS "${LUMORA_WIN32_ICON};${LUMORA_WIN32_MANIFEST}")
# The resources as a library of their own, for lumora.exe and the tests of
# the back end under Wine alike.
add_library(lumora_win32_resources OBJECT ${LUMORA_WIN32_RC} ${LUMORA_WIN32_ICON})

add_executable(lumora WIN32 main.cpp $<TARGET_OBJECTS:lumora_win32_resources>)
target_link_libraries(lumora PRIVATE lumora_ui lumora_device_libraries lumora_warnings)
install(TARGETS lumora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
