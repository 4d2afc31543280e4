# Writes the C++ source of the players the packer embeds: cmake -DOUT=... [-DBIN=... -DSYM=...]
# -P embed.cmake. Each player is its bytes up to the label player_data (first byte at ORIGIN);
# without BIN the build has no player and the array is empty.
set(ORIGIN 0x9D95)
set(bytes "")
if(BIN)
    file(STRINGS ${SYM} data_line REGEX " player_data$")
    if(NOT data_line)
        message(FATAL_ERROR "${SYM} has no label player_data")
    endif()
    string(REGEX MATCH "^[0-9A-Fa-f]+" address ${data_line})
    math(EXPR length "0x${address} - ${ORIGIN}")
    file(READ ${BIN} hex HEX)
    string(LENGTH "${hex}" digits)
    math(EXPR available "${digits} / 2")
    if(length LESS 1 OR length GREATER available)
        message(FATAL_ERROR "player_data at 0x${address} lies outside the ${available} bytes of ${BIN}")
    endif()
    math(EXPR digits "${length} * 2")
    string(SUBSTRING "${hex}" 0 ${digits} hex)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
endif()
file(WRITE ${OUT}.new
"// Made by pack/embed.cmake from the assembled player; do not edit.
#include \"players.hpp\"

namespace pack {

namespace {
const std::uint8_t kTi83Plus[] = {${bytes}0};
}  // namespace

std::span<const std::uint8_t> builtPlayer(Model model) {
    if (model == Model::Ti83Plus) return {kTi83Plus, sizeof kTi83Plus - 1};
    return {};
}

}  // namespace pack
")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${OUT}.new ${OUT})
file(REMOVE ${OUT}.new)
