# The Windows build: the portable core, the Windows services, the renderer
# and their tests. The Qt window is built only where a Qt for Windows is
# installed (PARLINO_BUILD_WINDOW); the Linux engines and sound server are not
# used at all, so none of their libraries is needed.
find_package(Threads REQUIRED)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX)

# nlohmann-json is header-only; the compiler is pointed at a folder holding
# just its headers, as the rest of the host's include folder does not suit
# the cross compiler.
set(PARLINO_JSON_DIR ${CMAKE_BINARY_DIR}/json-include)
find_path(PARLINO_JSON_SOURCE nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(MAKE_DIRECTORY ${PARLINO_JSON_DIR})
file(CREATE_LINK ${PARLINO_JSON_SOURCE}/nlohmann ${PARLINO_JSON_DIR}/nlohmann SYMBOLIC)
add_library(parlino_json INTERFACE)
target_include_directories(parlino_json SYSTEM INTERFACE ${PARLINO_JSON_DIR})
add_library(nlohmann_json::nlohmann_json ALIAS parlino_json)

parlino_sources(CORE_SOURCES subtitles text settings players speech platform)
foreach(unit TPlaybackController TSpeechAhead TDueSchedule ErrorGuard CommandLine TPlayerEnvironment)
  list(APPEND CORE_SOURCES ${PROJECT_SOURCE_DIR}/src/app/${unit}.cpp)
endforeach()
# The save that replaces a file has a Windows version of its own.
list(REMOVE_ITEM CORE_SOURCES ${PROJECT_SOURCE_DIR}/src/settings/AtomicFile.cpp)
list(APPEND CORE_SOURCES ${PROJECT_SOURCE_DIR}/src/settings/win/AtomicFile.cpp)
add_library(parlino_core STATIC ${CORE_SOURCES})
target_link_libraries(parlino_core PUBLIC Threads::Threads nlohmann_json::nlohmann_json)
target_include_directories(parlino_core PUBLIC ${PROJECT_SOURCE_DIR}/src)

# The Windows implementations of the platform interfaces.
parlino_sources(PLATFORM_SOURCES platform/win)
add_library(parlino_platform_win STATIC ${PLATFORM_SOURCES})
target_link_libraries(parlino_platform_win PUBLIC parlino_core winmm shell32 ole32 oleaut32 uuid sapi advapi32)

# parlino-render: its commands, the subtitle listing, and the render through
# the system's SAPI 5 voices (src/render/win/TRenderSpeech.cpp).
add_library(parlino_render STATIC ${PROJECT_SOURCE_DIR}/src/render/TRenderOptions.cpp
  ${PROJECT_SOURCE_DIR}/src/render/TRenderCommands.cpp ${PROJECT_SOURCE_DIR}/src/render/TRenderPoster.cpp
  ${PROJECT_SOURCE_DIR}/src/render/TBackgroundSampleWriter.cpp ${PROJECT_SOURCE_DIR}/src/render/TTimelineAudioOutput.cpp
  ${PROJECT_SOURCE_DIR}/src/render/TVoiceOverRenderer.cpp ${PROJECT_SOURCE_DIR}/src/render/TRenderReport.cpp
  ${PROJECT_SOURCE_DIR}/src/render/win/TRenderSpeech.cpp)
target_link_libraries(parlino_render PUBLIC parlino_core parlino_platform_win)
add_executable(parlino-render ${PROJECT_SOURCE_DIR}/src/render/render_main.cpp)
target_link_libraries(parlino-render PRIVATE parlino_render)
add_custom_command(TARGET parlino-render POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/Dic $<TARGET_FILE_DIR:parlino-render>/Dic)

if(PARLINO_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests/win)
endif()
