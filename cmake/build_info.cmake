# Runs at every build: records the git revision the program is built from. configure_file
# rewrites the output only when the text changes, so an unchanged tree recompiles nothing.
# Inputs: SOURCE_DIR, INPUT, OUTPUT, KORVAN_STB_IMAGE_VERSION.
set(revision "unknown")
set(revision_date "unknown")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} rev-parse --short=12 HEAD
                  OUTPUT_VARIABLE rev OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE rev_failed)
  if(NOT rev_failed AND rev)
    set(revision "${rev}")
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} log -1 --format=%cd --date=short
                    OUTPUT_VARIABLE day OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(day)
      set(revision_date "${day}")
    endif()
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} diff --quiet HEAD
                    RESULT_VARIABLE changed ERROR_QUIET)
    if(changed)
      string(APPEND revision "-modified")
    endif()
  endif()
endif()
configure_file(${INPUT} ${OUTPUT} @ONLY)
