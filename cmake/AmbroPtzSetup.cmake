# The dome description files travel beside every program of the build tree
# that drives domes; an installed program finds them in share/ambro.
set(AMBRO_PTZ_SETUP_DIR ${PROJECT_SOURCE_DIR}/PTZSetup_New)

function(ambro_copy_ptz_setup target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${AMBRO_PTZ_SETUP_DIR}
            $<TARGET_FILE_DIR:${target}>/PTZSetup_New
    COMMENT "Copying PTZSetup_New beside ${target}")
endfunction()
