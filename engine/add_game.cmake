# vq_add_game: everything a game of the series gets from one call in its folder's CMakeLists.txt.
#
#   vq_add_game(NAME                    the executable's name, also its data and per-user folders
#     WEEK N                            its number in the series: its folder of Files/ ("042" for 42)
#     TITLE "Title Words"               the desktop entry's and AppStream's name
#     SUMMARY "One line"                their one-line description
#     KEYWORDS word...                  the desktop entry's search words
#     APP_ID reverse.dns.Id             desktop entry, icon and metadata file names
#     VERSION x.y.z  RELEASE_DATE yyyy-mm-dd
#     DEFINITION Symbol                 the GameDefinition constant the game defines
#     IDENTITY file.cpp IDENTITY_NAME Symbol   its GameIdentity alone (the score server links it)
#     SOURCES files...                  the game's code (with the definition), not its main
#     MAIN file.cpp                     int main(...) { return RunGameProgram(Symbol, argc, argv); }
#     GENERATORS files...               programs run as PROGRAM FILES/N, each writing into the folder
#     COPY from to ...                  files copied into FILES/N: source path, path in the folder
#     ICON file.cpp                     a program run as PROGRAM OUT.png: the 256 x 256 application icon
#     DESCRIPTION file.xml              the AppStream description's paragraphs
#     TESTS files...                    GoogleTest sources, linked with the engine's test support
#     E2E scripts...                    end-to-end scripts, run as SCRIPT PROGRAM FILES_DIR PROBE
#     BENCH files...)                   benchmarks, built into bench/ beside the engine's
#
# It builds the executable beside Files/, generates the game's folder of Files/ (with the engine's
# menu sounds in it), installs the program with its data in share/NAME/ (Common/ and its folder), a
# desktop entry, AppStream metadata and an icon, tells the score server about the game, and
# registers its tests (test_NAME) and end-to-end scripts (e2e.NAME.SCRIPT).

include(${CMAKE_CURRENT_LIST_DIR}/packaging/packages.cmake)

function(vq_add_game name)
  cmake_parse_arguments(G "" "WEEK;TITLE;SUMMARY;APP_ID;VERSION;RELEASE_DATE;DEFINITION;IDENTITY;IDENTITY_NAME;MAIN;ICON;DESCRIPTION"
                        "KEYWORDS;SOURCES;GENERATORS;COPY;TESTS;E2E;BENCH" ${ARGN})
  foreach(required WEEK TITLE SUMMARY APP_ID VERSION DEFINITION IDENTITY IDENTITY_NAME MAIN)
    if(NOT G_${required})
      message(FATAL_ERROR "vq_add_game(${name}): ${required} is missing")
    endif()
  endforeach()
  if(NOT G_WEEK MATCHES "^[1-9][0-9]?[0-9]?$")
    message(FATAL_ERROR "vq_add_game(${name}): WEEK ${G_WEEK} is not a number from 1 to 999")
  endif()
  get_property(weeks GLOBAL PROPERTY VQ_GAME_WEEKS)
  if(G_WEEK IN_LIST weeks)
    message(FATAL_ERROR "vq_add_game(${name}): another game of the series is week ${G_WEEK}")
  endif()
  set_property(GLOBAL APPEND PROPERTY VQ_GAME_WEEKS ${G_WEEK})

  # The identity alone, which the score server links; the game's code over the engine; the program.
  add_library(${name}_identity STATIC ${G_IDENTITY})
  target_link_libraries(${name}_identity PUBLIC vq_core)
  target_include_directories(${name}_identity PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  add_library(${name}_game STATIC ${G_SOURCES})
  target_link_libraries(${name}_game PUBLIC ${name}_identity vq_shell)
  add_executable(${name} ${G_MAIN})
  target_link_libraries(${name} PRIVATE ${name}_game)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  set_property(GLOBAL APPEND PROPERTY VQ_SERVED_IDENTITIES ${G_IDENTITY_NAME})
  set_property(GLOBAL APPEND PROPERTY VQ_SERVED_LIBRARIES ${name}_identity)

  # Its folder of Files/: the generators' files, the copied ones and the engine's menu sounds.
  string(SUBSTRING "00${G_WEEK}" 0 -1 padded)
  string(LENGTH "${padded}" length)
  math(EXPR from "${length} - 3")
  string(SUBSTRING "${padded}" ${from} 3 folder_name)
  set(folder ${VQ_FILES_DIR}/${folder_name})
  set(outputs)
  set(stamp_dir ${CMAKE_CURRENT_BINARY_DIR}/generated)
  foreach(source ${G_GENERATORS})
    get_filename_component(program ${source} NAME_WE)
    set(program ${name}_${program})
    vq_generator(${program} ${source})
    vq_list_generator_run(${program} @FILES@/${folder_name})
    add_custom_command(OUTPUT ${stamp_dir}/${program}.done
      COMMAND ${CMAKE_COMMAND} -E make_directory ${folder} ${stamp_dir}
      COMMAND ${program} ${folder}
      COMMAND ${CMAKE_COMMAND} -E touch ${stamp_dir}/${program}.done
      DEPENDS ${program} ${VQ_FONTS} COMMENT "Generating Files/${folder_name} with ${program}" VERBATIM)
    list(APPEND outputs ${stamp_dir}/${program}.done)
  endforeach()
  vq_list_generator_run(make_sounds @FILES@ ${folder_name})
  add_custom_command(OUTPUT ${folder}/098.wav ${folder}/099.wav
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND make_sounds ${VQ_FILES_DIR} ${folder_name}
    DEPENDS make_sounds COMMENT "Generating the menu sounds of Files/${folder_name}" VERBATIM)
  list(APPEND outputs ${folder}/098.wav ${folder}/099.wav)
  list(LENGTH G_COPY copies)
  if(copies GREATER 0)
    math(EXPR last "${copies} - 1")
    foreach(i RANGE 0 ${last} 2)
      math(EXPR j "${i} + 1")
      list(GET G_COPY ${i} from)
      list(GET G_COPY ${j} to)
      get_filename_component(to_folder ${folder}/${to} DIRECTORY)
      add_custom_command(OUTPUT ${folder}/${to}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${to_folder}
        COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/${from} ${folder}/${to}
        DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${from} VERBATIM)
      list(APPEND outputs ${folder}/${to})
    endforeach()
  endif()

  # The packaging: the application icon, the desktop entry and the AppStream metadata.
  set(packaging ${CMAKE_BINARY_DIR}/packaging)
  set(icon ${packaging}/${G_APP_ID}.png)
  if(G_ICON)
    vq_generator(${name}_make_app_icon ${G_ICON})
    add_custom_command(OUTPUT ${icon}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging}
      COMMAND ${name}_make_app_icon ${icon}
      DEPENDS ${name}_make_app_icon ${VQ_FONTS} COMMENT "Drawing the application icon of ${name}" VERBATIM)
    list(APPEND outputs ${icon})
  endif()
  set(VQ_GAME_NAME ${name})
  set(VQ_GAME_TITLE ${G_TITLE})
  set(VQ_GAME_SUMMARY ${G_SUMMARY})
  list(JOIN G_KEYWORDS ";" VQ_GAME_KEYWORDS)
  set(VQ_GAME_KEYWORDS "${VQ_GAME_KEYWORDS};")
  set(VQ_GAME_APP_ID ${G_APP_ID})
  set(VQ_GAME_VERSION ${G_VERSION})
  set(VQ_GAME_RELEASE_DATE ${G_RELEASE_DATE})
  set(VQ_GAME_DESCRIPTION "    <p>${G_SUMMARY}.</p>")
  if(G_DESCRIPTION)
    file(READ ${CMAKE_CURRENT_SOURCE_DIR}/${G_DESCRIPTION} VQ_GAME_DESCRIPTION)
    string(STRIP "${VQ_GAME_DESCRIPTION}" VQ_GAME_DESCRIPTION)
    set(VQ_GAME_DESCRIPTION "    ${VQ_GAME_DESCRIPTION}")
  endif()
  configure_file(${VQ_ENGINE_DIR}/packaging/game.desktop.in ${packaging}/${G_APP_ID}.desktop @ONLY)
  configure_file(${VQ_ENGINE_DIR}/packaging/game.metainfo.xml.in ${packaging}/${G_APP_ID}.metainfo.xml @ONLY)

  add_custom_target(${name}_files ALL DEPENDS ${outputs} COMMENT "Assembling Files/${folder_name}")
  add_dependencies(${name} ${name}_files common_files)

  # Installed like a Linux game, relocatable: DIR/bin/NAME reads DIR/share/NAME/. Everything of the
  # game is its install component NAME, which is also its Debian package (engine/packaging/debian.cmake).
  install(TARGETS ${name} RUNTIME DESTINATION ${VQ_GAME_BINDIR} COMPONENT ${name})
  install(DIRECTORY ${VQ_FILES_DIR}/Common ${folder}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/${name} COMPONENT ${name}
    # The player's own files never travel with the data.
    PATTERN nuscores.dat EXCLUDE PATTERN nuscores.dat.bad EXCLUDE PATTERN crash.dat EXCLUDE
    PATTERN "*.tmp" EXCLUDE PATTERN "*.tmp.*" EXCLUDE)
  install(FILES ${packaging}/${G_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT ${name})
  install(FILES ${packaging}/${G_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT ${name})
  if(G_ICON)
    install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps COMPONENT ${name})
  endif()
  set_property(GLOBAL APPEND PROPERTY VQ_PACKAGES ${name})
  set_property(GLOBAL PROPERTY VQ_PACKAGE_${name}_VERSION ${G_VERSION})
  set_property(GLOBAL PROPERTY VQ_PACKAGE_${name}_SUMMARY "${G_SUMMARY}")
  set_property(GLOBAL PROPERTY VQ_PACKAGE_${name}_SECTION games)
  set_property(GLOBAL PROPERTY VQ_PACKAGE_${name}_DETAILS
    "${G_TITLE} is week ${G_WEEK} of a numbered series of small arcade games on one\n"
    "engine: a title screen with local and online score tables, three difficulties,\n"
    "a pause menu, settings, remappable controls, music and screenshots. Each\n"
    "player's scores and settings are kept in ~/.local/share/${name}/.")
  # OpenAL is loaded when present, for sound through the system's mixer.
  set_property(GLOBAL PROPERTY VQ_PACKAGE_${name}_RECOMMENDS libopenal1)
  vq_install_documents(${name} "${G_TITLE}" ${VQ_ENGINE_DIR}/packaging/copyright.in)

  # The game's tests: its unit tests over the engine's test support (which resets and uses the
  # game of the generated TestedGame), a probe for its end-to-end scripts, and the scripts.
  if(VQ_BUILD_TESTS)
    set(tested ${CMAKE_CURRENT_BINARY_DIR}/tested_game.cpp)
    file(WRITE ${tested}.in "// The game the tests of ${name} run.\n#include \"core/core.h\"\n"
         "extern const GameDefinition ${G_DEFINITION};\n"
         "const GameDefinition& TestedGame() { return ${G_DEFINITION}; }\n")
    configure_file(${tested}.in ${tested} COPYONLY)
    add_library(${name}_tested STATIC ${tested})
    target_link_libraries(${name}_tested PUBLIC ${name}_game)
    # The engine must never name a game: its week, title words or tagline (from its identity).
    file(READ ${CMAKE_CURRENT_SOURCE_DIR}/${G_IDENTITY} identity)
    string(REGEX MATCH "\\.Tagline = \"([^\"]*)\"" tagline "${identity}")
    string(REPLACE " " ";" words "${G_TITLE}")
    add_test(NAME engine.names_no_game.${name}
             COMMAND ${CMAKE_COMMAND} -DENGINE=${VQ_ENGINE_DIR} -DWEEK=${G_WEEK} "-DWORDS=${words}"
                     "-DTAGLINE=${CMAKE_MATCH_1}" -P ${VQ_ENGINE_DIR}/tests/no_game_names.cmake)
    if(G_TESTS)
      add_executable(test_${name} ${G_TESTS})
      target_link_libraries(test_${name} PRIVATE vq_test_support ${name}_tested GTest::gtest_main)
      add_dependencies(test_${name} ${name}_files common_files vq-test-score-server)
      gtest_discover_tests(test_${name} DISCOVERY_MODE PRE_TEST
        PROPERTIES ENVIRONMENT "VQ_BUILD_DIR=${CMAKE_BINARY_DIR}" TIMEOUT 300)
    endif()
    add_executable(${name}_e2e_probe ${VQ_ENGINE_DIR}/tests/e2e_probe/e2e_probe.cpp)
    target_link_libraries(${name}_e2e_probe PRIVATE ${name}_tested PkgConfig::X11)
    set_property(GLOBAL APPEND PROPERTY VQ_SERIES_TEST_ARGS ${name} ${G_WEEK} $<TARGET_FILE:${name}_e2e_probe>)
    if(G_E2E)
      foreach(script ${G_E2E})
        get_filename_component(script_name ${script} NAME_WE)
        add_test(NAME e2e.${name}.${script_name}
                 COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/${script} $<TARGET_FILE:${name}> ${VQ_FILES_DIR}
                         $<TARGET_FILE:${name}_e2e_probe>)
        # Serial: keyboard focus on the shared X server belongs to one program at a time.
        set_tests_properties(e2e.${name}.${script_name} PROPERTIES TIMEOUT 120 LABELS e2e RUN_SERIAL TRUE
                             ENVIRONMENT "VQ_ENGINE_DIR=${VQ_ENGINE_DIR};VQ_BUILD_DIR=${CMAKE_BINARY_DIR}")
      endforeach()
    endif()
  endif()
  if(VQ_BUILD_BENCH)
    foreach(source ${G_BENCH})
      get_filename_component(bench ${source} NAME_WE)
      add_executable(${bench} ${source})
      target_link_libraries(${bench} PRIVATE ${name}_game)
      set_target_properties(${bench} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
      add_dependencies(${bench} ${name}_files common_files)
    endforeach()
  endif()
endfunction()

# After the last game: the score server's list of the games it serves, and the list of generator
# runs that the data tree's tests repeat.
function(vq_finish_series)
  get_property(identities GLOBAL PROPERTY VQ_SERVED_IDENTITIES)
  get_property(libraries GLOBAL PROPERTY VQ_SERVED_LIBRARIES)
  vq_served_games(vq-score-server "${identities}" "${libraries}")
  # The tests' own server serves the test game as well as every game of the series.
  if(TARGET vq-test-score-server)
    vq_served_games(vq-test-score-server "TestGameIdentity;${identities}" "vq_test_game;${libraries}")
  endif()

  # Every game installed side by side, played and online against one server.
  get_property(series GLOBAL PROPERTY VQ_SERIES_TEST_ARGS)
  if(VQ_BUILD_TESTS AND series)
    add_test(NAME e2e.series.side_by_side
             COMMAND bash ${VQ_ENGINE_DIR}/tests/series/side_by_side.sh ${CMAKE_BINARY_DIR} ${series})
    set_tests_properties(e2e.series.side_by_side PROPERTIES TIMEOUT 300 LABELS e2e RUN_SERIAL TRUE)
    # The Debian packages of scripts/build-debs.sh in a fresh Debian root: run by ./test.sh --packages
    # alone (label packages), since it needs those packages built and the network for apt-get.
    add_test(NAME packages.debian_root
             COMMAND bash ${VQ_ENGINE_DIR}/tests/packaging/debian_root.sh ${CMAKE_SOURCE_DIR}/build-deb/packages
                     ${CMAKE_BINARY_DIR}/debian-root-cache ${series})
    set_tests_properties(packages.debian_root PROPERTIES TIMEOUT 1200 LABELS packages RUN_SERIAL TRUE
                         SKIP_REGULAR_EXPRESSION "not root: skipped")
  endif()

  get_property(lines GLOBAL PROPERTY VQ_GENERATOR_LINES)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/tools/generators.txt CONTENT "${lines}")

  # A Debian package per game and one for the server (scripts/build-debs.sh).
  vq_debian_packages()
endfunction()

# Gives a score server program the list of the games it serves (ServedGames).
function(vq_served_games server identities libraries)
  set(content "// The games this score server serves (made by the build from each game's vq_add_game).\n")
  string(APPEND content "#include \"server/served_games.h\"\n\n")
  foreach(identity ${identities})
    string(APPEND content "extern const GameIdentity ${identity};\n")
  endforeach()
  string(APPEND content "\nconst std::vector<const GameIdentity*>& ServedGames() {\n  static const std::vector<const GameIdentity*> games{")
  foreach(identity ${identities})
    string(APPEND content "&${identity}, ")
  endforeach()
  string(APPEND content "};\n  return games;\n}\n")
  set(file ${CMAKE_BINARY_DIR}/${server}_games.cpp)
  file(WRITE ${file}.in "${content}")
  configure_file(${file}.in ${file} COPYONLY)
  target_sources(${server} PRIVATE ${file})
  target_link_libraries(${server} PRIVATE ${libraries})
endfunction()
