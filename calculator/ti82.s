; The player for the TI-82, run from a shell's menu. The program variable holds the shell's
; header, the description the menu shows and the code; the shell moves the program so that the
; description lies at its start address and calls the code right after the description's zero.
; kelvonar-pack links the player there: the player is built at 0 and the packer adds the code's
; address to every absolute word.
;
; kelvonar-pack appends to player_data the records' size (a word), then the records.
;
; This file holds what is particular to the TI-82 (RAM areas, interrupt set-up, exit); decoder.s
; holds the player.

        .include "probes.s"

        .equ kOsFlags, 0x8528           ; IY while the OS runs (the shells' include files)
        .equ kScreen, 0x88B8            ; GRAPH_MEM, the graph buffer: the screen buffer
        .equ kApdBuffer, 0x8228         ; APD_BUF, 768 bytes: variables and IM 2 vectors
        .equ kVars, kApdBuffer
        ; The auto power-down saves the screen into APD_BUF, which holds the player's variables:
        ; save_os_state stops its count. The OS's key bytes are not known: restore_os_state
        ; leaves them (see docs/calculator.md).
        .equ kKbdScanCode, 0
        .equ kKbdKey, 0
        .equ kKbdGetKy, 0

        .text
        .globl player_start
        .globl player_stop
        .globl player_data

; Entry from the shell: IY = kOsFlags, IM 1, interrupts on, the return address into the shell on
; the stack. Plays the records at player_data and returns to the shell.
        .include "inprogram.s"

        .include "decoder.s"

; The records' size and the records; kelvonar-pack places them here.
player_data:
