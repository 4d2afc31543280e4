; The player for the TI-83 (ROM 1.x), run with Send(9prgmNAME). The program variable holds a hex
; part, which the OS turns into code and runs: it finds the program with _ChkFindSym and jumps to
; player_entry, the first byte of the binary part, with HL = its address. The player runs there,
; in place: it is linked at 0 and first moves its absolute addresses to where it lies.
;
; kelvonar-pack appends to player_data: the records' size (a word), the records, then the table
; of the words to move: their count, then each word's offset from player_entry. The binary part
; keeps the address it was last moved to (moved_to), so a second run, after the OS moved the
; program, moves it by the difference.
;
; This file holds what is particular to the TI-83 (RAM areas, interrupt set-up, exit); decoder.s
; holds the player.

        .include "probes.s"

        .equ kScreen, 0x8E29            ; plotSScreen, the graph buffer: the screen buffer
        .equ kSaveScreen, 0x8265        ; saveSScreen, 768 bytes: variables and IM 2 vectors
        .equ kVars, kSaveScreen
        ; The auto power-down saves the screen into saveSScreen, which holds the player's variables:
        ; save_os_state stops its count. The OS's key bytes: ti83asm.inc names apdvar 0x800A,
        ; contrastvar 0x8008 and CURROW 0x800C, the 83 Plus's 0x8449, 0x8447 and 0x844B moved down
        ; by 0x43F; its key bytes lie that far below the 83 Plus's (see docs/calculator.md).
        .equ kKbdScanCode, 0x8000
        .equ kKbdKey, 0x8005
        .equ kKbdGetKy, 0x8006

        .text
        .globl player_entry
        .globl player_start
        .globl player_stop
        .globl player_data

; Entry from the hex part: HL = player_entry's address, IY = kOsFlags, IM 1, interrupts on, the
; return address into the OS on the stack. Position-independent up to the final jump, whose
; address it has moved by then.
player_entry:
        push hl
        pop ix                          ; IX = where the player lies
        ld de,moved_to - player_entry
        add hl,de
        ld c,(hl)
        inc hl
        ld b,(hl)                       ; BC = where it was moved to before
        push ix
        pop de
        ld (hl),d
        dec hl
        ld (hl),e
        ex de,hl
        or a
        sbc hl,bc
        ld b,h
        ld c,l                          ; BC = how far to move
        ld de,player_data - player_entry
        push ix
        pop hl
        add hl,de                       ; HL = the records' size
        ld e,(hl)
        inc hl
        ld d,(hl)
        inc hl
        add hl,de                       ; HL = the table
        ld e,(hl)
        inc hl
        ld d,(hl)
        inc hl                          ; DE = words to move
1:      ld a,d
        or e
        jr z,3f
        dec de
        push de
        ld e,(hl)
        inc hl
        ld d,(hl)
        inc hl
        push hl
        push ix
        pop hl
        add hl,de                       ; HL = the word
        ld a,(hl)
        add a,c
        ld (hl),a
        inc hl
        ld a,(hl)
        adc a,b
        ld (hl),a
        pop hl
        pop de
        jr 1b
3:      jp player_start
moved_to:
        .dw 0

        .include "inprogram.s"

        .include "decoder.s"

; The records' size, the records and the table of words to move; kelvonar-pack places them here.
player_data:
