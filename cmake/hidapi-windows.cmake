# hidapi's Windows back end, built here as hidapi.dll from Debian's hidapi
# source package (./scripts/build-windows fetches it): the library's usual
# Windows form, which reaches the module through Windows' own HID driver.
set(LUMORA_HIDAPI_SOURCE_DIR "" CACHE PATH "The unpacked hidapi source package (windows/hid.c)")
if(NOT EXISTS "${LUMORA_HIDAPI_SOURCE_DIR}/windows/hid.c")
  message(FATAL_ERROR "A Windows build needs hidapi's source: set LUMORA_HIDAPI_SOURCE_DIR, "
                      "or build with ./scripts/build-windows, which fetches it")
endif()
set(HIDAPI_INCLUDE_DIRS ${LUMORA_HIDAPI_SOURCE_DIR}/hidapi)

add_library(hidapi SHARED
  ${LUMORA_HIDAPI_SOURCE_DIR}/windows/hid.c
  ${LUMORA_HIDAPI_SOURCE_DIR}/windows/hidapi.rc)
target_include_directories(hidapi PUBLIC ${HIDAPI_INCLUDE_DIRS} PRIVATE ${LUMORA_HIDAPI_SOURCE_DIR}/windows)
# hid.dll and cfgmgr32.dll are loaded at run time; the library's own code
# is C99 and warns as its authors left it.
set_target_properties(hidapi PROPERTIES PREFIX "" OUTPUT_NAME hidapi C_STANDARD 99)

add_library(lumora_device_libraries INTERFACE)
target_link_libraries(lumora_device_libraries INTERFACE hidapi)
