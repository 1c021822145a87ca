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
foreach(unit TPlaybackController TSpeechAhead TDueSchedule TDuckEnvelope TFilmDucker ErrorGuard CommandLine TPlayerEnvironment)
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
  ${PROJECT_SOURCE_DIR}/src/render/TRenderCommands.cpp ${PROJECT_SOURCE_DIR}/src/render/TRenderVoiceOptions.cpp
  ${PROJECT_SOURCE_DIR}/src/render/TRenderPoster.cpp
  ${PROJECT_SOURCE_DIR}/src/render/TBackgroundSampleWriter.cpp ${PROJECT_SOURCE_DIR}/src/render/TTimelineAudioOutput.cpp
  ${PROJECT_SOURCE_DIR}/src/render/TVoiceOverRenderer.cpp ${PROJECT_SOURCE_DIR}/src/render/TRenderReport.cpp
  ${PROJECT_SOURCE_DIR}/src/render/win/TRenderSpeech.cpp)
target_link_libraries(parlino_render PUBLIC parlino_core parlino_platform_win)
add_executable(parlino-render ${PROJECT_SOURCE_DIR}/src/render/render_main.cpp)
target_link_libraries(parlino-render PRIVATE parlino_render)
add_custom_command(TARGET parlino-render POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/Dic $<TARGET_FILE_DIR:parlino-render>/Dic)

# The window's composition root on Windows (no Qt in it, so it is built and
# tested here too).
add_library(parlino_app_win STATIC ${PROJECT_SOURCE_DIR}/src/app/win/TAppServices.cpp)
target_link_libraries(parlino_app_win PUBLIC parlino_platform_win)

# The window, where a Qt 6 for Windows is installed (MSYS2's UCRT64 packages,
# see the README); not built by the cross build, so not tested here.
option(PARLINO_BUILD_WINDOW "Build the Qt window (needs Qt 6 Widgets and libpng for Windows)" OFF)
if(PARLINO_BUILD_WINDOW)
  find_package(Qt6 REQUIRED COMPONENTS Widgets)
  find_package(PNG REQUIRED)
  parlino_sources(WIN_UI_SOURCES ui ui/win)
  list(APPEND WIN_UI_SOURCES ${PROJECT_SOURCE_DIR}/src/app/ParlinoFmA.cpp
    ${PROJECT_SOURCE_DIR}/src/app/ParlinoFmAControls.cpp ${PROJECT_SOURCE_DIR}/src/app/TParlinoApplication.cpp)
  file(GLOB WIN_UI_HEADERS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/ui/*.h ${PROJECT_SOURCE_DIR}/src/app/ParlinoFmA.h
    ${PROJECT_SOURCE_DIR}/src/app/TParlinoApplication.h)
  qt_add_resources(WIN_UI_RESOURCES ${PROJECT_SOURCE_DIR}/assets/parlino.qrc)
  add_library(parlino_ui STATIC ${WIN_UI_SOURCES} ${WIN_UI_HEADERS} ${WIN_UI_RESOURCES})
  set_target_properties(parlino_ui PROPERTIES AUTOMOC ON AUTORCC OFF)
  target_link_libraries(parlino_ui PUBLIC parlino_core parlino_platform_win Qt6::Widgets PNG::PNG)
  target_compile_definitions(parlino_ui PRIVATE PARLINO_APP_ID="${PARLINO_APP_ID}")
  add_executable(parlino WIN32 ${PROJECT_SOURCE_DIR}/src/app/main.cpp)
  target_link_libraries(parlino PRIVATE parlino_ui parlino_app_win)
endif()

if(PARLINO_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests/win)
endif()
