# Compiles a module's resource script (resources/*.rc) into the module.
function(lumeno_resources target script)
  get_filename_component(name ${script} NAME_WE)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_${name}_resources.cpp)
  add_custom_command(OUTPUT ${out}
    COMMAND rcgen ${CMAKE_CURRENT_SOURCE_DIR}/${script} ${out}
    DEPENDS rcgen ${CMAKE_CURRENT_SOURCE_DIR}/${script}
    COMMENT "Compiling resources of ${target}")
  target_sources(${target} PRIVATE ${out})
endfunction()
