# The archive tool of the host build packs the payloads of the Windows builds,
# which cannot run their own eek.exe while they build. Sets HOST_EEK to the
# tool and HOST_EEK_DEPENDS to what a packing command depends on:
#   - the HOST_EEK cache variable when it is set;
#   - else build/host/eek when the host preset has been built (scripts/test.sh
#     builds it first);
#   - else a copy of the tool built here from the host configuration
#     (<build>/host-eek), so that a Windows preset also builds on its own.
set(HOST_EEK "" CACHE FILEPATH "Host eek that packs the payloads (empty: build/host/eek or one built here)")

if(HOST_EEK)
  set(HOST_EEK_DEPENDS ${HOST_EEK})
elseif(EXISTS ${CMAKE_SOURCE_DIR}/build/host/eek)
  set(HOST_EEK ${CMAKE_SOURCE_DIR}/build/host/eek)
  set(HOST_EEK_DEPENDS ${HOST_EEK})
else()
  include(ExternalProject)
  set(host_eek_dir ${CMAKE_BINARY_DIR}/host-eek)
  ExternalProject_Add(host_eek
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${host_eek_dir}
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF
    BUILD_COMMAND ${CMAKE_COMMAND} --build ${host_eek_dir} --target eek
    BUILD_BYPRODUCTS ${host_eek_dir}/eek
    INSTALL_COMMAND ""
    # Rebuilt (incrementally) on every build, so that it follows the sources.
    BUILD_ALWAYS TRUE)
  set(HOST_EEK ${host_eek_dir}/eek)
  set(HOST_EEK_DEPENDS host_eek ${HOST_EEK})
endif()
