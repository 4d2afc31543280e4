; The start and the end of a player whose records follow it in its own program (the TI-83 and the
; TI-82): at player_data their size (a word), then the records. The model file includes this
; file before decoder.s and defines kVars, kOsFlags and the rest of what decoder.s asks for.

        .include "sizedrecords.s"

        .equ saved_sp, kVars + kDecoderVarBytes ; 2 bytes: SP at entry
        ; IM 2 vectors inside the RAM area at kVars (APD_BUF on the TI-82, saveSScreen on the TI-83)
        .equ kVectorTable, 0x8300       ; 257 bytes of kVectorByte
        .equ kVectorByte, 0x84
        .equ kVectorTarget, 0x8484      ; whatever byte the bus gives, the vector points here
        .equ kTimerStatusPort, 3        ; both read their interrupt status from port 3
        .equ kFixedInterruptMask, 0x0B  ; ON key, timer and LCD power: port 3 as the OS keeps it

; Plays the records at player_data, then ends. In: IY = kOsFlags, IM 1, interrupts on, the return
; address into the OS or the shell on the stack.
player_start:
        ld (saved_sp),sp
        call save_os_state
        di
        call start_playback
        ld hl,player_data
        play_sized_records
        ; fall through

; Ends the player from anywhere: the OS state as at entry, the screen and its buffer cleared.
player_stop:
        ld sp,(saved_sp)
        di
        im 1
        ld iy,kOsFlags
        ei
        xor a
        call fill_screen
        call show_screen
        jp restore_os_state
