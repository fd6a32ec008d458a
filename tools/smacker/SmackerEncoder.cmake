# The encoder library, shared by the host tools and the native tests (which build without
# the tools).
if(NOT TARGET smacker_encoder)
    add_library(smacker_encoder STATIC ${CMAKE_CURRENT_LIST_DIR}/smacker_encoder.cpp
                                        ${CMAKE_CURRENT_LIST_DIR}/film_patterns.cpp)
    target_include_directories(smacker_encoder PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(smacker_encoder PUBLIC smacker_decoder)
endif()
