# Explode decoder and implode encoder: native, under the sanitizers and under Wine.
z_add_gtest(explode_test ${CMAKE_CURRENT_LIST_DIR}/explode_test.cpp LIBS zimplode)

# Against independent decoders and encoders from Debian (libstorm, libdynamite): native only.
if(NOT WIN32)
  find_library(Z_STORM_LIBRARY NAMES storm PATHS /usr/lib)
  find_library(Z_DYNAMITE_LIBRARY NAMES dynamite PATHS /usr/lib)
  if(Z_STORM_LIBRARY AND Z_DYNAMITE_LIBRARY)
    z_add_gtest(explode_oracle_test ${CMAKE_CURRENT_LIST_DIR}/explode_oracle_test.cpp
                LIBS zimplode ${Z_STORM_LIBRARY} ${Z_DYNAMITE_LIBRARY})
  else()
    message(WARNING "libstorm or libdynamite missing: explode_oracle_test not built")
  endif()
endif()
