# End-to-end runs of the real kgftool.exe: a driver program starts it, works
# its windows and compares what it wrote with what the core writes. Every run
# uses the registry key of the program, so these tests never run side by side
# with each other or with the registry tests.
if(TARGET kgftool)
  # The driver takes UTF-8 as its code page, as the programs do, to make and
  # check names in every language.
  add_executable(drive_kgftool ${CMAKE_CURRENT_LIST_DIR}/drive_kgftool.cpp
                               ${CMAKE_SOURCE_DIR}/cli/kgfconv.rc)
  target_include_directories(drive_kgftool PRIVATE ${CMAKE_SOURCE_DIR}/resources)
  set_source_files_properties(${CMAKE_SOURCE_DIR}/cli/kgfconv.rc PROPERTIES
    OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/resources/kgfconv.manifest)
  target_link_libraries(drive_kgftool PRIVATE kgftestsupport advapi32 user32)
  add_dependencies(drive_kgftool kgftool)
  foreach(scenario tga_to_kgf kaf_to_tga names_in_every_language preview_in_every_language
                  best_quality png_previewed_and_converted kgf_to_png_with_the_tga_options
                  tells_what_happened_to_every_file)
    add_test(NAME program.${scenario}
             COMMAND drive_kgftool $<TARGET_FILE:kgftool> $<TARGET_FILE:kgfconv>
                     --gtest_filter=program.${scenario})
    set_tests_properties(program.${scenario} PROPERTIES RESOURCE_LOCK kgf_registry TIMEOUT 300)
  endforeach()
  # The folder that tools/run stores for the program's first start.
  add_test(NAME program.opens_in_the_stored_input_folder
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/input_folder.sh ${CMAKE_CROSSCOMPILING_EMULATOR}
                   ${CMAKE_SOURCE_DIR}/tools/set-input-folder $<TARGET_FILE:drive_kgftool>
                   $<TARGET_FILE:kgftool>)
  set_tests_properties(program.opens_in_the_stored_input_folder
                       PROPERTIES RESOURCE_LOCK kgf_registry TIMEOUT 300)
  if(TEST kgf_win32_tests)
    set_tests_properties(kgf_win32_tests PROPERTIES RESOURCE_LOCK kgf_registry)
  endif()
endif()

# The real kgfconv.exe in a console: what the console shows of names in
# every language, and a start from Explorer.
if(TARGET kgfconv)
  add_executable(drive_kgfconv ${CMAKE_CURRENT_LIST_DIR}/drive_kgfconv.cpp
                               ${CMAKE_SOURCE_DIR}/cli/kgfconv.rc)
  target_include_directories(drive_kgfconv PRIVATE ${CMAKE_SOURCE_DIR}/resources)
  target_link_libraries(drive_kgfconv PRIVATE GTest::gtest)
  add_dependencies(drive_kgfconv kgfconv)
  add_test(NAME program.kgfconv_console COMMAND drive_kgfconv $<TARGET_FILE:kgfconv>)
  set_tests_properties(program.kgfconv_console PROPERTIES TIMEOUT 300)
endif()
