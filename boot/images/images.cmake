# Builds the loader images of boot/images/ into bootcore: a small host tool
# (embed_images) turns the image files into default_boot.cpp, the machine table
# with the images as byte arrays. The image files are read at build time, so
# replacing one rebuilds the tool with it and its length.

# Machine name and image file, in the order of the machine list.
set(KAVRIN_LOADER_IMAGES
  vk7300            vk7300_boot.bin
  vk7301            vk7301_generic_boot.bin
  vk7301-7331       vk7301_7331_boot.bin
  vk7301-8801-dvbs2 vk7301_dvbs_8801_boot.bin
  vk7301-8802-dvbs2 vk7301_dvbs_8802_boot.bin
  vk7301-8805-dvbs2 vk7301_dvbs_8805_boot.bin
  vk7301-7301-dvbc  vk7301_dvbc_7301_boot.bin
  vk7301-7301-dvbt2 vk7301_dvbt2_7301_boot.bin
  vk7301-7301e-dvbc vk7301_dvbc_7301e_boot.bin
)

set(embed_arguments)
set(embed_inputs)
list(LENGTH KAVRIN_LOADER_IMAGES image_items)
math(EXPR last_pair "${image_items} - 2")
foreach(index RANGE 0 ${last_pair} 2)
  math(EXPR file_index "${index} + 1")
  list(GET KAVRIN_LOADER_IMAGES ${index} machine)
  list(GET KAVRIN_LOADER_IMAGES ${file_index} image_file)
  set(image_path ${CMAKE_CURRENT_LIST_DIR}/${image_file})
  if(NOT EXISTS ${image_path})
    message(FATAL_ERROR "Loader image for machine ${machine} is missing: ${image_path} "
                        "(see boot/images/README.md)")
  endif()
  list(APPEND embed_arguments ${machine} ${image_path})
  list(APPEND embed_inputs ${image_path})
endforeach()

add_executable(embed_images ${CMAKE_CURRENT_LIST_DIR}/embed/embed_images.cpp)

set(default_boot_source ${CMAKE_CURRENT_BINARY_DIR}/images/default_boot.cpp)
add_custom_command(
  OUTPUT ${default_boot_source}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/images
  COMMAND embed_images ${default_boot_source} ${embed_arguments}
  DEPENDS embed_images ${embed_inputs}
  COMMENT "Embedding the loader images"
  VERBATIM)
target_sources(bootcore PRIVATE ${default_boot_source})
