# The compiled-in bundle: icons and images under their bare names (":/icons/add"),
# and one translation catalogue per language merged from the per-subsystem .ts files.

set(_res ${CMAKE_SOURCE_DIR}/resources)

file(GLOB _icon_files CONFIGURE_DEPENDS ${_res}/icons/*.png)
if(EXISTS ${_res}/icons/appicon.ico)
  list(APPEND _icon_files ${_res}/icons/appicon.ico)
endif()
foreach(_f IN LISTS _icon_files)
  get_filename_component(_alias ${_f} NAME_WE)
  set_source_files_properties(${_f} PROPERTIES QT_RESOURCE_ALIAS ${_alias})
endforeach()
qt_add_resources(calvestra_core "calvestra_icons" PREFIX "/icons" BASE ${_res}/icons FILES ${_icon_files})

file(GLOB _image_files CONFIGURE_DEPENDS ${_res}/images/*.png)
foreach(_f IN LISTS _image_files)
  get_filename_component(_alias ${_f} NAME_WE)
  set_source_files_properties(${_f} PROPERTIES QT_RESOURCE_ALIAS ${_alias})
endforeach()
qt_add_resources(calvestra_core "calvestra_images" PREFIX "/images" BASE ${_res}/images FILES ${_image_files})

set(CALVESTRA_LANGUAGES en it pt pt-br)
set(_qm_files)
foreach(_lang IN LISTS CALVESTRA_LANGUAGES)
  file(GLOB _ts CONFIGURE_DEPENDS ${_res}/i18n/*_${_lang}.ts)
  set(_qm ${CMAKE_BINARY_DIR}/i18n/${_lang}.qm)
  add_custom_command(OUTPUT ${_qm}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/i18n
    COMMAND Qt6::lrelease -silent ${_ts} -qm ${_qm}
    DEPENDS ${_ts}
    COMMENT "Compiling the ${_lang} catalogue")
  set_source_files_properties(${_qm} PROPERTIES GENERATED TRUE QT_RESOURCE_ALIAS ${_lang})
  list(APPEND _qm_files ${_qm})
endforeach()
qt_add_resources(calvestra_core "calvestra_i18n" PREFIX "/i18n" BASE ${CMAKE_BINARY_DIR}/i18n FILES ${_qm_files})
