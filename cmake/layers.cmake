# One static library per layer, built from every .cpp in the layer's folder, so that adding a
# file to a layer needs no edit here. A layer with no sources yet is an interface library.
function(bvhpath_layer name)
    cmake_parse_arguments(L "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
    list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
    if(sources)
        add_library(bvhpath_${name} STATIC ${sources})
        target_include_directories(bvhpath_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(bvhpath_${name} PUBLIC ${L_DEPS})
    else()
        add_library(bvhpath_${name} INTERFACE)
        target_include_directories(bvhpath_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(bvhpath_${name} INTERFACE ${L_DEPS})
    endif()
endfunction()

# One GoogleTest executable per layer, from every .cpp in tests/<layer>/.
# DISPLAY tests run under xvfb-run with Mesa's software renderer.
function(bvhpath_layer_tests name)
    cmake_parse_arguments(T "DISPLAY" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp")
    if(NOT sources)
        return()
    endif()
    add_executable(${name}_tests ${sources})
    target_link_libraries(${name}_tests PRIVATE ${T_DEPS} GTest::gtest_main GTest::gmock)
    target_compile_definitions(${name}_tests PRIVATE
        BVHPATH_CORPUS_DIR="${BVHPATH_CORPUS_DIR}"
        BVHPATH_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    # Each test program writes its scratch files in a folder of its own in the build tree, so
    # programs running side by side (ctest -j, or two checkouts) never share a file name.
    set(scratch "${CMAKE_BINARY_DIR}/test-scratch/${name}")
    file(MAKE_DIRECTORY "${scratch}")
    if(T_DISPLAY)
        add_test(NAME ${name}_tests
                 COMMAND xvfb-run -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:${name}_tests>)
        # Two xvfb-run -a starting at once can pick the same display; run them one at a time.
        set_tests_properties(${name}_tests PROPERTIES
                             ENVIRONMENT "LIBGL_ALWAYS_SOFTWARE=1;TEST_TMPDIR=${scratch}/"
                             RESOURCE_LOCK xserver)
    else()
        add_test(NAME ${name}_tests COMMAND ${name}_tests)
        set_tests_properties(${name}_tests PROPERTIES ENVIRONMENT "TEST_TMPDIR=${scratch}/")
    endif()
endfunction()
