# The portable part of the artwork generator (pictures, painting, palettes, file writers,
# card backs), shared by paintart and its native tests. Included from tools/art and from
# tests/art, whichever builds first defines it.
if(NOT TARGET vesk_art)
    set(_art ${PROJECT_SOURCE_DIR}/tools/art)
    add_library(vesk_art STATIC ${_art}/paint.cpp ${_art}/formats.cpp ${_art}/quantise.cpp ${_art}/card_backs.cpp)
    target_include_directories(vesk_art PUBLIC ${PROJECT_SOURCE_DIR})
endif()
