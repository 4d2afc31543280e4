# Writes the C++ source of the players the packer embeds: cmake -DOUT=... [-DBIN=... -DSYM=...]
# [-DBIN83=... -DBIN83_PAGE=... -DBIN83_ONE=... -DSYM83=...] [-DBIN82=... -DBIN82_PAGE=...
# -DBIN82_ONE=... -DSYM82=...] -P embed.cmake. Each player is its
# bytes up to the label player_data. BIN is the 83 Plus player (first byte at 0x9D95); BIN83,
# BIN83_PAGE and BIN83_ONE are the TI-83 player linked at 0, 0x100 and 1, SYM83 its labels at 0; BIN82... the same of the TI-82 player. Without them the build has no such player and the arrays are empty.

# Sets out_var to the C array items of the bytes of bin up to player_data, which sym lists;
# origin is where the first byte lies.
function(player_bytes out_var bin sym origin)
    file(STRINGS ${sym} data_line REGEX " player_data$")
    if(NOT data_line)
        message(FATAL_ERROR "${sym} has no label player_data")
    endif()
    string(REGEX MATCH "^[0-9A-Fa-f]+" address ${data_line})
    math(EXPR length "0x${address} - ${origin}")
    file(READ ${bin} hex HEX)
    string(LENGTH "${hex}" digits)
    math(EXPR available "${digits} / 2")
    if(length LESS 1 OR length GREATER available)
        message(FATAL_ERROR "player_data at 0x${address} lies outside the ${available} bytes of ${bin}")
    endif()
    math(EXPR digits "${length} * 2")
    string(SUBSTRING "${hex}" 0 ${digits} hex)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    set(${out_var} "${bytes}" PARENT_SCOPE)
endfunction()

# Sets out_var to the C initializer of the labels the emulated calculator follows: their addresses
# as sym lists them, 0 for a label the player lacks.
function(player_labels out_var sym)
    set(items "")
    foreach(label frame_begin frame_shown frame_waited player_data)
        file(STRINGS ${sym} line REGEX " ${label}$")
        if(line)
            string(REGEX MATCH "^[0-9A-Fa-f]+" address ${line})
            string(APPEND items "0x${address}, ")
        else()
            string(APPEND items "0, ")
        endif()
    endforeach()
    set(${out_var} "{${items}}" PARENT_SCOPE)
endfunction()

set(bytes "")
set(labels "{}")
if(BIN)
    player_bytes(bytes ${BIN} ${SYM} 0x9D95)
    player_labels(labels ${SYM})
endif()
set(bytes83 "")
set(bytes83_page "")
set(bytes83_one "")
set(labels83 "{}")
if(BIN83)
    player_labels(labels83 ${SYM83})
    player_bytes(bytes83 ${BIN83} ${SYM83} 0)
    # The same length of the builds at 0x100 and 1.
    player_bytes(bytes83_page ${BIN83_PAGE} ${SYM83} 0)
    player_bytes(bytes83_one ${BIN83_ONE} ${SYM83} 0)
endif()
set(bytes82 "")
set(bytes82_page "")
set(bytes82_one "")
set(labels82 "{}")
if(BIN82)
    player_labels(labels82 ${SYM82})
    player_bytes(bytes82 ${BIN82} ${SYM82} 0)
    player_bytes(bytes82_page ${BIN82_PAGE} ${SYM82} 0)
    player_bytes(bytes82_one ${BIN82_ONE} ${SYM82} 0)
endif()
file(WRITE ${OUT}.new
"// Made by pack/embed.cmake from the assembled players; do not edit.
#include \"players.hpp\"

namespace pack {

namespace {
const std::uint8_t kTi83Plus[] = {${bytes}0};
const std::uint8_t kTi83[] = {${bytes83}0};
const std::uint8_t kTi83AtPage[] = {${bytes83_page}0};
const std::uint8_t kTi83AtOne[] = {${bytes83_one}0};
const std::uint8_t kTi82[] = {${bytes82}0};
const std::uint8_t kTi82AtPage[] = {${bytes82_page}0};
const std::uint8_t kTi82AtOne[] = {${bytes82_one}0};
constexpr PlayerLabels kTi83PlusLabels${labels};
constexpr PlayerLabels kTi83Labels${labels83};
constexpr PlayerLabels kTi82Labels${labels82};
}  // namespace

std::span<const std::uint8_t> builtPlayer(Model model) {
    if (model == Model::Ti83Plus) return {kTi83Plus, sizeof kTi83Plus - 1};
    if (model == Model::Ti82) return {kTi82, sizeof kTi82 - 1};
    return {kTi83, sizeof kTi83 - 1};
}

PlayerLabels builtPlayerLabels(Model model) {
    if (model == Model::Ti82) return kTi82Labels;
    return model == Model::Ti83Plus ? kTi83PlusLabels : kTi83Labels;
}

std::span<const std::uint8_t> builtTi83PlayerMoved(std::uint16_t by) {
    if (by == 0x100) return {kTi83AtPage, sizeof kTi83AtPage - 1};
    if (by == 1) return {kTi83AtOne, sizeof kTi83AtOne - 1};
    return {};
}

std::span<const std::uint8_t> builtPlayerMoved(Model model, std::uint16_t by) {
    if (model != Model::Ti82) return model == Model::Ti83 ? builtTi83PlayerMoved(by) : std::span<const std::uint8_t>{};
    if (by == 0x100) return {kTi82AtPage, sizeof kTi82AtPage - 1};
    if (by == 1) return {kTi82AtOne, sizeof kTi82AtOne - 1};
    return {};
}

}  // namespace pack
")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${OUT}.new ${OUT})
file(REMOVE ${OUT}.new)
