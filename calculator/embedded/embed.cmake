# Writes the C++ source of the calculator programs the packer and the emulator embed:
# cmake -DOUT=... [-DBIN=... -DSYM=...] [-DBIN83=... -DBIN83_PAGE=... -DBIN83_ONE=... -DSYM83=...]
# [-DBIN82=... -DBIN82_PAGE=... -DBIN82_ONE=... -DSYM82=...] -P embed.cmake. Each program is its
# bytes up to the label player_data. BIN is the 83 Plus program (first byte at 0x9D95); BIN83,
# BIN83_PAGE and BIN83_ONE are the TI-83 program linked at 0, 0x100 and 1, SYM83 its labels at 0;
# BIN82... the same of the TI-82 program. Without them the build has no such program and the
# arrays are empty.

# Sets out_var to the C array items of the bytes of bin up to player_data, which sym lists;
# origin is where the first byte lies.
function(program_bytes out_var bin sym origin)
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
function(program_labels out_var sym)
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
    program_bytes(bytes ${BIN} ${SYM} 0x9D95)
    program_labels(labels ${SYM})
endif()
# The programs linked at 0: the TI-83 one (suffix 83) and the TI-82 one (suffix 82).
foreach(model 83 82)
    set(bytes${model} "")
    set(bytes${model}_page "")
    set(bytes${model}_one "")
    set(labels${model} "{}")
    if(BIN${model})
        program_labels(labels${model} ${SYM${model}})
        program_bytes(bytes${model} ${BIN${model}} ${SYM${model}} 0)
        # The same length of the builds at 0x100 and 1.
        program_bytes(bytes${model}_page ${BIN${model}_PAGE} ${SYM${model}} 0)
        program_bytes(bytes${model}_one ${BIN${model}_ONE} ${SYM${model}} 0)
    endif()
endforeach()
file(WRITE ${OUT}.new
"// Made by calculator/embedded/embed.cmake from the assembled programs; do not edit.
#include \"calcprograms.hpp\"

namespace pack {

namespace {
const std::uint8_t kTi83Plus[] = {${bytes}0};
const std::uint8_t kTi83[] = {${bytes83}0};
const std::uint8_t kTi83AtPage[] = {${bytes83_page}0};
const std::uint8_t kTi83AtOne[] = {${bytes83_one}0};
const std::uint8_t kTi82[] = {${bytes82}0};
const std::uint8_t kTi82AtPage[] = {${bytes82_page}0};
const std::uint8_t kTi82AtOne[] = {${bytes82_one}0};
constexpr ProgramLabels kTi83PlusLabels${labels};
constexpr ProgramLabels kTi83Labels${labels83};
constexpr ProgramLabels kTi82Labels${labels82};
}  // namespace

// The bytes of a program array, without the 0 that ends it.
template <std::size_t N>
std::span<const std::uint8_t> bytesOf(const std::uint8_t (&program)[N]) {
    return {program, N - 1};
}

std::span<const std::uint8_t> builtProgram(Model model) {
    if (model == Model::Ti83Plus) return bytesOf(kTi83Plus);
    return model == Model::Ti82 ? bytesOf(kTi82) : bytesOf(kTi83);
}

ProgramLabels builtProgramLabels(Model model) {
    if (model == Model::Ti82) return kTi82Labels;
    return model == Model::Ti83Plus ? kTi83PlusLabels : kTi83Labels;
}

std::span<const std::uint8_t> builtProgramMoved(Model model, std::uint16_t by) {
    if (model == Model::Ti83Plus || (by != 0x100 && by != 1)) return {};
    if (model == Model::Ti82) return by == 1 ? bytesOf(kTi82AtOne) : bytesOf(kTi82AtPage);
    return by == 1 ? bytesOf(kTi83AtOne) : bytesOf(kTi83AtPage);
}

}  // namespace pack
")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${OUT}.new ${OUT})
file(REMOVE ${OUT}.new)
