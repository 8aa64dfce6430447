# Runs HTML Help Workshop's compiler on PROJECT and moves the compiled file
# to OUTPUT. hhc.exe answers 1 when it succeeded and 0 when it failed.
get_filename_component(dir ${PROJECT} DIRECTORY)
execute_process(COMMAND ${HHC} ${PROJECT} RESULT_VARIABLE result)
if(NOT result EQUAL 1 OR NOT EXISTS ${dir}/Tapestrix.chm)
  message(FATAL_ERROR "hhc.exe could not compile ${PROJECT}")
endif()
configure_file(${dir}/Tapestrix.chm ${OUTPUT} COPYONLY)
file(REMOVE ${dir}/Tapestrix.chm)
