# What the Windows build takes from sources, where the Linux build finds Debian's packages: pugixml (its one
# source file, from Debian's source package: scripts/install-deps --windows DIR unpacks it into DIR/pugixml)
# and nlohmann-json's headers. GoogleTest is built from its sources in tests/.
set(QUILLMARK_PUGIXML_SOURCE "" CACHE PATH "pugixml's sources, the folder that holds src/pugixml.cpp")
if(NOT EXISTS "${QUILLMARK_PUGIXML_SOURCE}/src/pugixml.cpp")
  message(FATAL_ERROR "QUILLMARK_PUGIXML_SOURCE must name pugixml's sources (found no src/pugixml.cpp in "
                      "\"${QUILLMARK_PUGIXML_SOURCE}\"): scripts/install-deps --windows DIR puts them in DIR/pugixml")
endif()
add_library(pugixml STATIC ${QUILLMARK_PUGIXML_SOURCE}/src/pugixml.cpp)
target_include_directories(pugixml SYSTEM PUBLIC ${QUILLMARK_PUGIXML_SOURCE}/src)
target_compile_options(pugixml PRIVATE $<IF:$<CXX_COMPILER_ID:MSVC>,/w,-w>)
add_library(pugixml::pugixml ALIAS pugixml)

# Only nlohmann's own folder: the rest of the system's include folder is Linux's.
set(QUILLMARK_NLOHMANN_JSON_INCLUDE /usr/include CACHE PATH "the folder that holds nlohmann/json.hpp")
if(NOT EXISTS "${QUILLMARK_NLOHMANN_JSON_INCLUDE}/nlohmann/json.hpp")
  message(FATAL_ERROR "no nlohmann/json.hpp in ${QUILLMARK_NLOHMANN_JSON_INCLUDE} (apt-get install nlohmann-json3-dev)")
endif()
file(COPY ${QUILLMARK_NLOHMANN_JSON_INCLUDE}/nlohmann DESTINATION ${CMAKE_BINARY_DIR}/third_party/include)
add_library(nlohmann_json INTERFACE)
target_include_directories(nlohmann_json SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/third_party/include)
add_library(nlohmann_json::nlohmann_json ALIAS nlohmann_json)

# Windows 10's interfaces (FileRenameInfoEx among them), the wide ones by default, and no
# min and max macros.
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 UNICODE _UNICODE NOMINMAX
                        WIN32_LEAN_AND_MEAN)
