; The start and the end of a player whose records follow it in its own program (the TI-83 and the
; TI-82): at player_data their size (a word), then the records. The model file includes this
; file before decoder.s and defines saved_sp, kOsFlags and what decoder.s asks for.

; Plays the records at player_data, then ends. In: IY = kOsFlags, IM 1, interrupts on, the return
; address into the OS or the shell on the stack.
player_start:
        ld (saved_sp),sp
        call save_os_state
        di
        call start_playback
        ld hl,player_data
        ld c,(hl)
        inc hl
        ld b,(hl)
        inc hl
        ex de,hl                        ; DE = the first record
        ld h,b
        ld l,c
        add hl,de
        ld b,h
        ld c,l                          ; BC = HL = the end of the records
        call play_records
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
