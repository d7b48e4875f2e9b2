# tessarel_pack_payload(<target> OUTPUT <file> MANIFEST <list> [FORMAT 1|2|3] [TARGET <name>]
#                       [DEPENDS <files or targets>...])
#
# Writes OUTPUT, a copy of the linked program <target> with the setup stream
# the manifest lists appended behind its image (tools/payload-pack.pl describes
# the manifest). The program is linked as tessarel_payload_ready says. A
# custom target (TARGET, else <output file name as identifier>_payload) builds
# OUTPUT as part of ALL, again whenever the program, the manifest or anything
# in DEPENDS changes.
set(TESSAREL_PAYLOAD_PACKER ${PROJECT_SOURCE_DIR}/tools/payload-pack.pl CACHE INTERNAL "the payload packer")

# tessarel_payload_ready(<target>): links the program so that a payload can be
# appended behind it: stripped and with short section names, so that its image
# ends where its last section ends.
function(tessarel_payload_ready target)
  get_target_property(ready ${target} TESSAREL_PAYLOAD_READY)
  if(NOT ready)
    target_link_options(${target} PRIVATE -s -Wl,--disable-long-section-names)
    set_property(TARGET ${target} PROPERTY TESSAREL_PAYLOAD_READY ON)
  endif()
endfunction()

function(tessarel_pack_payload target)
  cmake_parse_arguments(P "" "OUTPUT;MANIFEST;FORMAT;TARGET" "DEPENDS" ${ARGN})
  if(NOT P_OUTPUT OR NOT P_MANIFEST)
    message(FATAL_ERROR "tessarel_pack_payload: OUTPUT and MANIFEST are required")
  endif()
  if(NOT P_FORMAT)
    set(P_FORMAT 3)
  endif()
  get_filename_component(name ${P_OUTPUT} NAME)
  if(NOT P_TARGET)
    string(MAKE_C_IDENTIFIER ${name} P_TARGET)
    set(P_TARGET ${P_TARGET}_payload)
  endif()
  tessarel_payload_ready(${target})
  add_custom_command(OUTPUT ${P_OUTPUT}
    COMMAND perl ${TESSAREL_PAYLOAD_PACKER} --image $<TARGET_FILE:${target}> --output ${P_OUTPUT}
            --manifest ${P_MANIFEST} --format ${P_FORMAT}
    DEPENDS ${target} ${P_MANIFEST} ${TESSAREL_PAYLOAD_PACKER} ${P_DEPENDS}
    COMMENT "Appending the payload to ${name}"
    VERBATIM)
  add_custom_target(${P_TARGET} ALL DEPENDS ${P_OUTPUT})
endfunction()
