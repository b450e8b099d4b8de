# Fails when a file of the portable core names a header other than a standard
# C++ one or the core's own, or holds conditional compilation: either would
# tie the core to one platform. Fails too on an include that goes up the
# core's layers (app, then pages, then browser, then ui): each folder builds
# only on those before it, so none can be taken out without the ones above.
# Also fails when the Linux program's own folder names a GTK or WebKit header.
#   cmake -DSOURCE_DIR=<repo>/src -P check_core_includes.cmake

cmake_minimum_required(VERSION 3.25)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR is not set")
endif()

set(STANDARD_HEADERS
  algorithm any array atomic barrier bit bitset cassert cctype cerrno cfenv cfloat charconv chrono
  cinttypes climits clocale cmath codecvt compare complex concepts condition_variable coroutine csetjmp
  csignal cstdarg cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype deque exception
  execution expected filesystem format forward_list fstream functional future initializer_list iomanip
  ios iosfwd iostream istream iterator latch limits list locale map memory memory_resource mutex new
  numbers numeric optional ostream queue random ranges ratio regex scoped_allocator semaphore set
  shared_mutex source_location span sstream stack stdexcept stop_token streambuf string string_view
  syncstream system_error thread tuple type_traits typeindex typeinfo unordered_map unordered_set
  utility valarray variant vector version)
# In layer order: a folder may include its own headers and those of the
# folders before it.
set(CORE_FOLDERS app pages browser ui)

set(failures "")
set(checked 0)
foreach(folder IN LISTS CORE_FOLDERS)
  list(FIND CORE_FOLDERS "${folder}" layer)
  file(GLOB_RECURSE files "${SOURCE_DIR}/${folder}/*")
  foreach(path IN LISTS files)
    math(EXPR checked "${checked} + 1")
    # Read as one text and split by hand: semicolons and brackets would
    # otherwise be taken for list syntax and merge or split lines.
    file(READ "${path}" content)
    string(REPLACE ";" "<semicolon>" content "${content}")
    string(REPLACE "[" "<open>" content "${content}")
    string(REPLACE "]" "<close>" content "${content}")
    string(REPLACE "\n" ";" lines "${content}")
    set(number 0)
    foreach(line IN LISTS lines)
      math(EXPR number "${number} + 1")
      if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*<([^>]*)>")
        if(NOT CMAKE_MATCH_1 IN_LIST STANDARD_HEADERS)
          string(APPEND failures "${path}:${number}: not a standard header: <${CMAKE_MATCH_1}>\n")
        endif()
      elseif(line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\"")
        set(name "${CMAKE_MATCH_1}")
        if(NOT name MATCHES "^(app|ui|browser|pages)/[^.][^\"]*$" OR name MATCHES "\\.\\.")
          string(APPEND failures "${path}:${number}: not a core header: \"${name}\"\n")
        else()
          string(REGEX MATCH "^[a-z]+" top "${name}")
          list(FIND CORE_FOLDERS "${top}" included)
          if(included GREATER layer)
            string(APPEND failures "${path}:${number}: ${folder}/ includes \"${name}\" from a layer above it\n")
          endif()
        endif()
      elseif(line MATCHES "^[ \t]*#[ \t]*include")
        string(APPEND failures "${path}:${number}: include of a computed name\n")
      elseif(line MATCHES "^[ \t]*#[ \t]*(if|ifdef|ifndef|elif|elifdef|elifndef)([^a-z_]|$)")
        string(APPEND failures "${path}:${number}: conditional compilation: ${line}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

# The Linux program loads GTK and WebKit only with its window module: its own
# folder names none of their headers, nor a header of the module's own.
file(GLOB launcher_files "${SOURCE_DIR}/platform/x11/*")
foreach(path IN LISTS launcher_files)
  file(STRINGS "${path}" includes REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS includes)
    if(line MATCHES "[<\"](gtk|gdk|webkit2|javascriptcore|JavaScriptCore)/" OR
       line MATCHES "\"platform/gtk/" AND NOT line MATCHES "\"platform/gtk/WindowModule\\.h\"")
      string(APPEND failures "${path}: the program names a header of its window: ${line}\n")
    endif()
  endforeach()
endforeach()

if(checked EQUAL 0)
  message(FATAL_ERROR "no core files found under ${SOURCE_DIR}")
endif()
if(failures)
  message(FATAL_ERROR "The core must name only standard headers and its own, each from its own layer or one below:\n${failures}")
endif()
message(STATUS "${checked} core files checked")
